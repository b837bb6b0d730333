#pragma once

#include "client/KnownServers.hpp"
#include "client/PeerKey.hpp"

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace parlana {

/// Whether the key a server showed over TLS may hear the join, decided before
/// a byte of it is sent. With a pin, that key alone. Otherwise a certificate
/// the system's authorities vouch for, naming the host; else the key the
/// user trusted for that server (known servers), and for a server not listed,
/// the user's word. A key that differs from the one listed is refused, never
/// asked about: that is what a server in the middle would show.
class ServerTrust {
public:
    enum class Verdict {
        Accepted,  ///< join
        Unknown,   ///< not vouched for, not listed: the user decides
        Changed,   ///< listed with another key
        NotPinned, ///< not the pinned key
        NoKey,     ///< the server showed none
        NotTls,    ///< the server did not complete a TLS handshake
    };

    /// What the client learnt of the server's key, for the screens.
    struct Decision {
        Verdict verdict = Verdict::Accepted;
        /// The key the server showed.
        std::string presented;
        /// The key expected instead (Changed: the listed one; NotPinned: the pin).
        std::string expected;
    };

    /// Trusts by the servers listed in `known`, or `pin` alone when given (as
    /// parsePin writes it).
    explicit ServerTrust(KnownServers known = KnownServers({}), std::optional<std::string> pin = std::nullopt)
        : m_known(std::move(known)), m_pin(std::move(pin))
    {}

    /// The verdict on `key` as the key of `host` on `port`.
    Decision decide(const std::string& host, unsigned short port, const PeerKey& key) const;

    /// The user trusts `fingerprint` for `host` on `port`: for good, in the
    /// known servers' file. Should the file not take it, it is trusted for
    /// this run alone, as firmly (another key for the server is a changed
    /// one), and false comes back with `error` set.
    bool trust(const std::string& host, unsigned short port, const std::string& fingerprint, std::string& error);

    const KnownServers& known() const { return m_known; }

private:
    KnownServers m_known;
    std::optional<std::string> m_pin;
    /// The key trusted in this run for a host and port, where the file did
    /// not take it.
    std::map<std::pair<std::string, unsigned short>, std::string> m_trustedThisRun;
};

} // namespace parlana
