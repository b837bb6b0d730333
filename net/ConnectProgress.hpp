#pragma once

namespace parlana {

/// How an attempt to reach a server stands.
enum class ConnectProgress {
    Done,    ///< connected (over TLS: the handshake completed too)
    Pending, ///< under way: the name's lookup, the connect or the handshake
    Failed,  ///< nothing answered, the name did not resolve, or the connection broke
    NotTls,  ///< connected, but the server did not complete a TLS handshake
};

} // namespace parlana
