#pragma once

#include "net/TlsHandles.hpp"

#include <memory>
#include <string>

namespace parlana {

/// The server's side of TLS: its certificate chain and key, loaded once,
/// shared by every connection it accepts. TLS 1.2 and 1.3 only, with the
/// library's default ciphers, no renegotiation, and sessions that a client
/// may resume.
class TlsServerContext {
public:
    /// From PEM files: a certificate chain (the server's first) and its
    /// private key, not encrypted. Nothing, with `error` set, when either
    /// cannot be read or they do not belong together.
    static std::unique_ptr<TlsServerContext> fromFiles(const std::string& certificateChain,
                                                       const std::string& privateKey, std::string& error);

    /// From the server's own key in `directory`, created there at first
    /// start (see prepareKeyDirectory).
    static std::unique_ptr<TlsServerContext> fromDirectory(const std::string& directory, std::string& error);

    /// The fingerprint of the server's key, for clients to pin.
    const std::string& fingerprint() const { return m_fingerprint; }

    /// The library's context, for TlsStream.
    ssl_ctx_st* native() const { return m_context.get(); }

private:
    TlsServerContext(NativeContext context, std::string fingerprint);

    NativeContext m_context;
    std::string m_fingerprint;
};

} // namespace parlana
