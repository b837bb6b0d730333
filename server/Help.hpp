#pragma once

#include <string_view>

namespace parlana {

/// What `parlana-server --help` prints; the manual page says the rest.
inline constexpr std::string_view serverHelp =
    R"(usage: parlana-server PORT [--flood-rate N] [--flood-burst N] [--max-per-address N]
                      [--tls-cert FILE --tls-key FILE | --tls-dir DIR] [--tls-required]
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
  --tls-cert FILE       serve TLS too, on the same port, with this PEM
  --tls-key FILE        certificate chain and its key (e.g. from an ACME client)
  --tls-dir DIR         serve TLS too, with the server's own key kept in DIR:
                        made at first start (DIR/key.pem, mode 0600, with a
                        self-signed DIR/cert.pem), reused after
  --tls-required        close a plain connection as soon as its first byte
                        shows it is not TLS
  --help                print this text and exit
  --version             print the version and exit

Options follow PORT, each as that exact word and a count in decimal digits,
a path not beginning with "-", or alone (--tls-required).
With TLS the console prints the key's fingerprint ("[*] TLS :: SHA256:...")
at start: publish it, so members can pin it (parlana-client --pin).
Exit status: 1 if it cannot listen on PORT or load its TLS key, 2 for a
missing or unreadable PORT or option; otherwise it runs until stopped by a
signal.
See parlana-server(1).
)";

} // namespace parlana
