#pragma once

#include "client/Transport.hpp"
#include "net/TlsConnection.hpp"

#include <optional>

namespace parlana {

/// The protocol inside TLS, and nothing outside it: not a byte of the plain
/// protocol goes out, whatever the server answers.
class TlsTransport : public ConnectionTransport<TlsConnection> {
public:
    using ConnectionTransport::ConnectionTransport;

    // Always a key, if an empty one: a TLS connection is never taken for a
    // plain one, whose key there is nothing to judge.
    std::optional<PeerKey> peerKey() const override
    {
        return PeerKey{m_connection.peerFingerprint(), m_connection.peerVouchedFor()};
    }
    bool hasBufferedInput() const override { return m_connection.hasBufferedInput(); }
};

} // namespace parlana
