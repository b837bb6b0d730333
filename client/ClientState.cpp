#include "client/ClientState.hpp"

namespace parlana {

ClientState::ClientState() : client(std::make_unique<sf::TcpSocket>()) {}

void ClientState::enterErrorMode(const std::string& message)
{
    client_status = false;
    connected = false;
    error_msg = message;
    client->disconnect();
}

} // namespace parlana
