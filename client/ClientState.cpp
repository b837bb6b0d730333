#include "client/ClientState.hpp"

namespace parlana {

void ClientState::enterErrorMode(const std::string& message, std::vector<std::string> details)
{
    client_status = false;
    error_msg = message;
    error_details = std::move(details);
}

} // namespace parlana
