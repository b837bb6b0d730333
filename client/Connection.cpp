#include "client/Connection.hpp"

#include <cstdlib>

namespace parlana {

unsigned short port_from_arg(const char* arg)
{
    // Same digits as atoi, but an overlong number saturates instead of
    // being undefined; the conversion to 16 bits then wraps it.
    return static_cast<unsigned short>(std::strtol(arg, nullptr, 10));
}

bool establish(sf::TcpSocket& socket, const sf::IpAddress& address, unsigned short port, sf::Time limit)
{
    // A name that did not resolve reads as 0.0.0.0, which the system takes
    // for this host: the client would join whatever listens here.
    if (address == sf::IpAddress::None) {
        socket.setBlocking(false);
        return false;
    }
    // A time limit is only honoured on a blocking socket; on a non-blocking
    // one connect returns while the connection is still being made, and a
    // join sent then would be lost.
    socket.setBlocking(true);
    const sf::Socket::Status status = socket.connect(address, port, limit);
    socket.setBlocking(false);
    if (status == sf::Socket::Done)
        return true;
    // Otherwise an attempt still under way could complete later, unjoined.
    socket.disconnect();
    return false;
}

void send_join(ServerLink& link, const std::string& uid)
{
    link.queue(uid);
    link.queueEmpty();
    link.flush();
}

void send_format_msg(ServerLink& link, const std::string& line)
{
    link.queue(line);
    link.flush();
}

bool offer_line(ClientState& state, ServerLink& link, const std::string& line)
{
    if (!state.connected || link.lost() || link.queued() > kMaxQueuedBytes)
        return false;
    send_format_msg(link, line);
    // A send that finds the connection gone has delivered nothing for sure.
    return !link.lost();
}

} // namespace parlana
