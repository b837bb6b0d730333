#include "protocol/Version.hpp"
#include "server/Arguments.hpp"
#include "server/Help.hpp"
#include "server/RelayServer.hpp"

#include <csignal>
#include <iostream>
#include <optional>
#include <string>

using parlana::RelayServer;
using parlana::ServerArguments;

int main(int argc, char** argv)
{
    if (const std::optional<int> status =
            parlana::answerInfoRequest(argc, argv, "parlana-server", parlana::serverHelp, std::cout))
        return *status;
    std::string error;
    const std::optional<ServerArguments> arguments = parlana::parseArguments(argc, argv, error);
    if (!arguments) {
        std::cerr << "usage: " << parlana::kServerUsage << " (" << error << ")" << std::endl;
        return 2;
    }
    // A client that vanishes mid-send must cost us an error code, not the process.
    std::signal(SIGPIPE, SIG_IGN);

    RelayServer relay(std::cout, arguments->rules);
    if (!relay.listen(arguments->port)) {
        std::cout << "impossibile creare server tcp..." << std::endl;
        return 1;
    }
    std::cout << "-------- Parlana server --------" << std::endl;
    std::cout << "[*] UP :: PORT :: " << argv[1] << std::endl;
    relay.run();
}
