#pragma once

#include <string>

namespace parlana {

/// What a TLS connection shows of the server's key, for the client to judge.
struct PeerKey {
    /// "SHA256:" and 64 lowercase hex digits; empty when the server showed
    /// no key.
    std::string fingerprint;
    /// The system's authorities vouch for the server's certificate, and it
    /// names the host the client was given.
    bool vouchedFor = false;
};

} // namespace parlana
