#pragma once

#include "net/ConnectProgress.hpp"
#include "net/TcpConnection.hpp"
#include "net/TlsStream.hpp"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace parlana {

class TlsClientContext;

/// A client's TLS connection to a server, over a `TcpConnection`, that never
/// makes its caller wait: the handshake runs within `connecting`. It speaks
/// nothing but TLS, and judges nothing of the server's key: it says whether
/// the system's authorities vouch for it and what its fingerprint is.
class TlsConnection {
public:
    /// Connects with `context`, kept for the connection's life: each new
    /// connection resumes the session of the one before.
    explicit TlsConnection(std::unique_ptr<TlsClientContext> context);
    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;
    ~TlsConnection();

    /// Starts connecting to `address` and `port`, dropping any connection
    /// held before; as `connecting`.
    ConnectProgress connect(const std::string& address, unsigned short port);
    /// Done once the handshake has completed; NotTls when the server broke
    /// it off or answered something else; Failed when the TCP connection
    /// failed.
    ConnectProgress connecting();
    /// Hands bytes over: the count taken, or nothing once the connection has
    /// ended. After none were taken, the next call must offer the same bytes
    /// again, at least as many (they may lie elsewhere in memory).
    std::optional<std::size_t> send(const char* data, std::size_t size);
    /// Takes received bytes: the count (none when nothing waits), or nothing
    /// once the server closed or the connection failed.
    std::optional<std::size_t> receive(char* data, std::size_t size);
    /// True when received bytes wait inside TLS, for `receive` to take even
    /// though the socket has nothing more.
    bool hasBufferedInput() const { return m_stream && m_stream->hasBufferedInput(); }
    /// Ends the TLS session (one attempt, never waiting) and the connection.
    void close();

    /// True once the handshake has completed.
    bool established() const { return m_stream && m_stream->established(); }
    /// The fingerprint of the server's key; empty before the handshake.
    std::string peerFingerprint() const { return established() ? m_stream->peerFingerprint() : std::string(); }
    /// True when the system's authorities vouch for the server's certificate
    /// and it names the host as it was given to `connect`.
    bool peerVouchedFor() const { return established() && m_stream->peerVouchedFor(); }

private:
    /// Starts TLS over the TCP connection once `tcp` says it is up.
    ConnectProgress startTls(ConnectProgress tcp);
    ConnectProgress handshake();

    std::unique_ptr<TlsClientContext> m_context;
    std::string m_host;
    unsigned short m_port = 0;
    // The stream goes before the socket it speaks over.
    TcpConnection m_tcp;
    std::unique_ptr<TlsStream> m_stream;
};

} // namespace parlana
