#include "client/Arguments.hpp"

#include "net/Fingerprint.hpp"

#include <cstdlib>
#include <string_view>

namespace parlana {

unsigned short port_from_arg(const char* arg)
{
    // Same digits as atoi, but an overlong number saturates instead of
    // being undefined; the conversion to 16 bits then wraps it.
    return static_cast<unsigned short>(std::strtol(arg, nullptr, 10));
}

std::optional<Arguments> parseArguments(int argc, const char* const* argv, std::string& error)
{
    if (argc < 4) {
        error = "UID, SERVER_ADDRESS and PORT are needed";
        return std::nullopt;
    }
    Arguments arguments;
    arguments.uid = argv[1];
    arguments.address = argv[2];
    arguments.port = port_from_arg(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--tls") {
            arguments.tls = true;
            continue;
        }
        std::optional<std::string> pin = option == "--pin" && i + 1 < argc ? parsePin(argv[i + 1]) : std::nullopt;
        if (!pin) {
            error = "unknown option or bad value: " + std::string(option) +
                    (option == "--pin" && i + 1 < argc ? " " + std::string(argv[i + 1]) : "");
            return std::nullopt;
        }
        arguments.pin = std::move(pin);
        arguments.tls = true;
        ++i;
    }
    return arguments;
}

} // namespace parlana
