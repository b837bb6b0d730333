#pragma once

#include "net/TlsHandles.hpp"

#include <map>
#include <memory>
#include <string>

namespace parlana {

/// The client's side of TLS: the certificate authorities the system trusts,
/// TLS 1.2 and 1.3 only with the library's default ciphers, no
/// renegotiation, and the latest session with each server kept, so that a
/// rejoin resumes it. It decides nothing about a server's key: TlsStream says
/// whether the authorities vouch for it and what its fingerprint is.
class TlsClientContext {
public:
    /// Nothing, with `error` set, when the library cannot be set up.
    static std::unique_ptr<TlsClientContext> create(std::string& error);

    /// The library's context, for TlsStream.
    ssl_ctx_st* native() const { return m_context.get(); }

    /// The session to resume with `peer` ("host:port"), still owned here;
    /// null when there is none.
    ssl_session_st* sessionFor(const std::string& peer) const;

    /// Keeps `session`, taken over, as the one to resume with `peer`.
    void remember(const std::string& peer, NativeSession session);

private:
    explicit TlsClientContext(NativeContext context);

    NativeContext m_context;
    std::map<std::string, NativeSession> m_sessions;
};

} // namespace parlana
