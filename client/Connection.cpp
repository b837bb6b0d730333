#include "client/Connection.hpp"

#include <SFML/Network/Packet.hpp>

#include <cstdlib>

namespace parlana {

bool uid_fits(const char* uid)
{
    return std::strlen(uid) <= kMaxUidBytes;
}

unsigned short port_from_arg(const char* arg)
{
    // Same digits as atoi, but an overlong number saturates instead of
    // being undefined; the conversion to 16 bits then wraps it.
    return static_cast<unsigned short>(std::strtol(arg, nullptr, 10));
}

void send_join(sf::TcpSocket& socket, const std::string& uid)
{
    sf::Packet join;
    join << uid;
    socket.send(join);
    sf::Packet empty;
    socket.send(empty);
}

void send_format_msg(sf::TcpSocket* socket, char** /*argv*/, std::string& line)
{
    sf::Packet packet;
    packet << line;
    socket->send(packet);
}

} // namespace parlana
