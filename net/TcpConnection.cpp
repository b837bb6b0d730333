#include "net/TcpConnection.hpp"

#include "net/keepalive.hpp"

#include <poll.h>
#include <sys/socket.h>

namespace parlana {

namespace {

bool gone(sf::Socket::Status status)
{
    return status == sf::Socket::Disconnected || status == sf::Socket::Error;
}

} // namespace

ConnectProgress TcpConnection::connect(const std::string& address, unsigned short port)
{
    close();
    m_port = port;
    m_lookup.start(address);
    return connectSocket();
}

ConnectProgress TcpConnection::connectSocket()
{
    const std::optional<sf::IpAddress> address = m_lookup.result();
    if (!address)
        return ConnectProgress::Pending;
    // A name that did not resolve must not fall back to any address: the
    // client would join whatever listens on this host.
    if (*address == sf::IpAddress::None)
        return ConnectProgress::Failed;
    m_socket.setBlocking(false);
    m_socketConnecting = true;
    const sf::Socket::Status status = m_socket.connect(*address, m_port, sf::Time::Zero);
    if (gone(status)) {
        close();
        return ConnectProgress::Failed;
    }
    detectVanishedPeer(m_socket.getHandle());
    return status == sf::Socket::Done ? ConnectProgress::Done : ConnectProgress::Pending;
}

ConnectProgress TcpConnection::connecting()
{
    if (!m_socketConnecting)
        return connectSocket();
    // A non-blocking connect has finished once the socket is writable; its
    // outcome is then the socket's pending error.
    pollfd watched{m_socket.getHandle(), POLLOUT, 0};
    if (::poll(&watched, 1, 0) <= 0)
        return ConnectProgress::Pending;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_socket.getHandle(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        close();
        return ConnectProgress::Failed;
    }
    return ConnectProgress::Done;
}

std::optional<std::size_t> TcpConnection::send(const char* data, std::size_t size)
{
    std::size_t sent = 0;
    if (gone(m_socket.send(data, size, sent)))
        return std::nullopt;
    return sent;
}

std::optional<std::size_t> TcpConnection::receive(char* data, std::size_t size)
{
    std::size_t received = 0;
    const sf::Socket::Status status = m_socket.receive(data, size, received);
    if (gone(status))
        return std::nullopt;
    return status == sf::Socket::Done ? received : 0;
}

void TcpConnection::close()
{
    m_socket.disconnect();
    m_socketConnecting = false;
}

} // namespace parlana
