#pragma once

#include "server/RoomRules.hpp"

#include <optional>
#include <string>

namespace parlana {

/// Where the server's TLS key comes from, if anywhere: a certificate chain
/// and its key, or a directory holding the server's own key.
struct TlsSettings {
    std::string certificate;
    std::string key;
    std::string directory;
    /// Plain connections are refused.
    bool required = false;

    bool enabled() const { return !directory.empty() || !certificate.empty(); }
};

/// What the command line asks of the server.
struct ServerArguments {
    unsigned short port = 0;
    RoomRules rules;
    TlsSettings tls;
};

/// The command line's shape, for the usage message.
inline constexpr const char* kServerUsage = "server PORT [--flood-rate N] [--flood-burst N] [--max-per-address N]\n"
                                            "       [--tls-cert FILE --tls-key FILE | --tls-dir DIR] [--tls-required]";

/// Reads a port argument as a base-10 int (leading white space and a sign
/// accepted, parsing stopping at the first non-digit) and keeps its low 16
/// bits. Empty when the text holds no number or one outside an int's range.
std::optional<unsigned short> parsePort(const std::string& text);

/// Reads the arguments after the program's name: PORT as `parsePort` reads
/// it, then options, each an exact word: a count option followed by a count
/// written in decimal digits alone, a file option by a path that does not
/// begin with "-", a flag alone. The TLS options must make one key source:
/// --tls-cert with --tls-key, or --tls-dir; --tls-required needs one. Empty
/// on a usage error, which `error` then names.
std::optional<ServerArguments> parseArguments(int argc, const char* const* argv, std::string& error);

} // namespace parlana
