#pragma once

#include <string_view>

namespace parlana {

/// What `parlana-server --help` prints; the manual page says the rest.
inline constexpr std::string_view serverHelp =
    R"(usage: parlana-server PORT [--flood-rate N] [--flood-burst N] [--max-per-address N]
       parlana-server --help | --version

Runs one chat room: listens on TCP port PORT on every local address, admits
up to 46 users by UID and relays every line to everyone, logging one line per
event on standard output.

  PORT                  a base-10 number; values above 65535 keep their low
                        16 bits
  --flood-rate N        packets a second each member's budget refills with
                        (default 10; 0 turns flood control and the join
                        throttle off)
  --flood-burst N       packets a member may send at once (default 20, at
                        least 1); beyond its budget a member's packets wait,
                        and one with more than 64 KiB waiting is disconnected.
                        A member's budget stays with its address until whole
                        again; a member that closes is still served what it
                        sent, for up to 5 s. An address other than loopback
                        may join 50 times at once, then 10 a minute
  --max-per-address N   members admitted from one address at once (default
                        0: no cap)
  --help                print this text and exit
  --version             print the version and exit

Options follow PORT, each as that exact word and a count in decimal digits.
Exit status: 1 if it cannot listen on PORT, 2 for a missing or unreadable
PORT or option; otherwise it runs until stopped by a signal.
See parlana-server(1).
)";

} // namespace parlana
