#pragma once

#include <optional>
#include <string>

namespace parlana {

/// The client's command line, read once at start-up.
struct Arguments {
    std::string uid;
    /// A host name or dotted address, also shown as the server's name.
    std::string address;
    unsigned short port = 0;
    /// Speak TLS only (--tls, or --pin).
    bool tls = false;
    /// The one key accepted (--pin), as parsePin writes it.
    std::optional<std::string> pin;
};

/// The command line's shape, for the usage message.
inline constexpr const char* kClientUsage = "client UID SERVER_ADDRESS PORT [--tls] [--pin SHA256:HEX]";

/// The port a command-line argument names: its leading decimal digits
/// (0 when there are none), taken modulo 65536.
unsigned short port_from_arg(const char* arg);

/// Reads the arguments after the program's name: UID, server address and
/// port, then options, each an exact word: `--tls` alone, `--pin` followed by
/// a fingerprint ("SHA256:" and 64 hex digits, in either case), which implies
/// `--tls`. Empty on a usage error (fewer than three arguments, anything else
/// after them), which `error` then names.
std::optional<Arguments> parseArguments(int argc, const char* const* argv, std::string& error);

} // namespace parlana
