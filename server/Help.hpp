#pragma once

#include <string_view>

namespace parlana {

/// What `parlana-server --help` prints; the manual page says the rest.
inline constexpr std::string_view serverHelp = R"(usage: parlana-server PORT
       parlana-server --help | --version

Runs one chat room: listens on TCP port PORT on every local address, admits
up to 46 users by UID and relays every line to everyone, logging one line per
event on standard output.

  PORT       a base-10 number; values above 65535 keep their low 16 bits
  --help     print this text and exit
  --version  print the version and exit

Exit status: 1 if it cannot listen on PORT, 2 for a missing or unreadable
PORT; otherwise it runs until stopped by a signal.
See parlana-server(1).
)";

} // namespace parlana
