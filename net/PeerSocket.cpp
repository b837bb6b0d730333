#include "net/PeerSocket.hpp"

#include "net/keepalive.hpp"

#include <sys/socket.h>

#include <cerrno>

namespace parlana {

namespace {

// The content type of a TLS handshake record. As the top byte of a plain
// frame's size it would announce over 350 MiB.
constexpr unsigned char kHandshakeRecord = 0x16;

sf::Socket::Status statusOf(TlsStatus status)
{
    switch (status) {
    case TlsStatus::Done:
        return sf::Socket::Done;
    case TlsStatus::WantRead:
    case TlsStatus::WantWrite:
        return sf::Socket::NotReady;
    case TlsStatus::Closed:
        return sf::Socket::Disconnected;
    case TlsStatus::Failed:
        break;
    }
    return sf::Socket::Error;
}

} // namespace

PeerSocket::~PeerSocket()
{
    if (m_tls)
        m_tls->close();
}

void PeerSocket::watchForVanishing()
{
    detectVanishedPeer(getHandle());
}

void PeerSocket::offerTls(const TlsServerContext& context)
{
    m_tlsContext = &context;
    m_layer = Layer::Undecided;
}

sf::Socket::Status PeerSocket::open()
{
    if (m_layer == Layer::Undecided) {
        const sf::Socket::Status looked = lookAtFirstByte();
        if (looked != sf::Socket::Done)
            return looked;
    }
    return m_layer == Layer::Handshaking ? handshake() : sf::Socket::Done;
}

sf::Socket::Status PeerSocket::lookAtFirstByte()
{
    unsigned char first = 0;
    const ssize_t peeked = ::recv(getHandle(), &first, 1, MSG_PEEK);
    if (peeked < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? sf::Socket::NotReady : sf::Socket::Error;
    if (peeked == 0)
        return sf::Socket::Disconnected;
    if (first != kHandshakeRecord) {
        m_layer = Layer::Plain;
        return sf::Socket::Done;
    }
    m_tls = TlsStream::accept(*m_tlsContext, getHandle());
    if (!m_tls)
        return sf::Socket::Error;
    m_layer = Layer::Handshaking;
    return sf::Socket::Done;
}

sf::Socket::Status PeerSocket::handshake()
{
    const TlsStatus status = m_tls->handshake();
    m_waitsToWrite = status == TlsStatus::WantWrite;
    if (status == TlsStatus::Done)
        m_layer = Layer::Encrypted;
    return statusOf(status);
}

sf::Socket::Status PeerSocket::receiveBytes(char* data, std::size_t size, std::size_t& received)
{
    // SFML and TLS report a timeout as they report a close; only the
    // keepalive and the user timeout end a connection with one.
    errno = 0;
    sf::Socket::Status status = sf::Socket::Done;
    if (m_tls) {
        const TlsStream::Transfer transfer = m_tls->read(data, size);
        received = transfer.bytes;
        status = statusOf(transfer.status);
    } else {
        status = receive(data, size, received);
    }
    m_vanished = errno == ETIMEDOUT && (status == sf::Socket::Disconnected || status == sf::Socket::Error);
    return status;
}

sf::Socket::Status PeerSocket::sendBytes(const char* data, std::size_t size, std::size_t& sent)
{
    if (!m_tls)
        return send(data, size, sent);
    const TlsStream::Transfer transfer = m_tls->write(data, size);
    sent = transfer.bytes;
    return statusOf(transfer.status);
}

} // namespace parlana
