#include "net/TlsServerContext.hpp"
#include "protocol/Version.hpp"
#include "server/Arguments.hpp"
#include "server/Help.hpp"
#include "server/RelayServer.hpp"

#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

using parlana::RelayServer;
using parlana::ServerArguments;
using parlana::TlsServerContext;
using parlana::TlsSettings;

namespace {

// The key the room serves TLS with, as the command line names it.
std::unique_ptr<TlsServerContext> loadTls(const TlsSettings& tls, std::string& error)
{
    if (!tls.directory.empty())
        return TlsServerContext::fromDirectory(tls.directory, error);
    return TlsServerContext::fromFiles(tls.certificate, tls.key, error);
}

} // namespace

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
    std::string fingerprint;
    if (arguments->tls.enabled()) {
        std::unique_ptr<TlsServerContext> tls = loadTls(arguments->tls, error);
        if (!tls) {
            std::cout << "[!] TLS NOT AVAILABLE : " << error << std::endl;
            return 1;
        }
        fingerprint = tls->fingerprint();
        relay.offerTls(std::move(tls), arguments->tls.required);
    }
    if (!relay.listen(arguments->port)) {
        std::cout << "impossibile creare server tcp..." << std::endl;
        return 1;
    }
    std::cout << "-------- Parlana server --------" << std::endl;
    std::cout << "[*] UP :: PORT :: " << argv[1] << std::endl;
    if (!fingerprint.empty())
        std::cout << "[*] TLS :: " << fingerprint << std::endl;
    relay.run();
}
