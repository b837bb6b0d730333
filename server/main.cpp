#include "protocol/Version.hpp"
#include "server/Help.hpp"
#include "server/Port.hpp"
#include "server/RelayServer.hpp"

#include <csignal>
#include <iostream>
#include <optional>

using parlana::parsePort;
using parlana::RelayServer;

int main(int argc, char** argv)
{
    if (const std::optional<int> status =
            parlana::answerInfoRequest(argc, argv, "parlana-server", parlana::serverHelp, std::cout))
        return *status;
    const std::optional<unsigned short> port = argc > 1 ? parsePort(argv[1]) : std::nullopt;
    if (!port) {
        std::cerr << "usage: server PORT (a number; values above 65535 keep their low 16 bits)" << std::endl;
        return 2;
    }
    // A client that vanishes mid-send must cost us an error code, not the process.
    std::signal(SIGPIPE, SIG_IGN);

    RelayServer relay(std::cout);
    if (!relay.listen(*port)) {
        std::cout << "impossibile creare server tcp..." << std::endl;
        return 1;
    }
    std::cout << "-------- Parlana server --------" << std::endl;
    std::cout << "[*] UP :: PORT :: " << argv[1] << std::endl;
    relay.run();
}
