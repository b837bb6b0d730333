#pragma once

#include "server/RoomRules.hpp"

#include <optional>
#include <string>

namespace parlana {

/// What the command line asks of the server.
struct ServerArguments {
    unsigned short port = 0;
    RoomRules rules;
};

/// The command line's shape, for the usage message.
inline constexpr const char* kServerUsage = "server PORT [--flood-rate N] [--flood-burst N] [--max-per-address N]";

/// Reads a port argument as a base-10 int (leading white space and a sign
/// accepted, parsing stopping at the first non-digit) and keeps its low 16
/// bits. Empty when the text holds no number or one outside an int's range.
std::optional<unsigned short> parsePort(const std::string& text);

/// Reads the arguments after the program's name: PORT as `parsePort` reads
/// it, then options, each an exact word followed by a count written in
/// decimal digits alone. Empty on a usage error, which `error` then names.
std::optional<ServerArguments> parseArguments(int argc, const char* const* argv, std::string& error);

} // namespace parlana
