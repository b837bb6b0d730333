#pragma once

#include <string>

namespace parlana {

/// The client's command line, read once at start-up.
struct Arguments {
    std::string uid;
    /// A host name or dotted address, also shown as the server's name.
    std::string address;
    unsigned short port = 0;
};

/// The port a command-line argument names: its leading decimal digits
/// (0 when there are none), taken modulo 65536.
unsigned short port_from_arg(const char* arg);

/// UID, server address and port from the first three arguments after the
/// program's name, which the caller has checked are there.
Arguments read_arguments(const char* const* argv);

} // namespace parlana
