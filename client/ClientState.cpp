#include "client/ClientState.hpp"

namespace parlana {

void ClientState::enterErrorMode(const std::string& message)
{
    client_status = false;
    error_msg = message;
}

} // namespace parlana
