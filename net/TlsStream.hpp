#pragma once

#include "net/TlsHandles.hpp"

#include <cstddef>
#include <memory>
#include <string>

namespace parlana {

class TlsClientContext;
class TlsServerContext;

/// How a step of a TlsStream ended.
enum class TlsStatus {
    Done,      ///< finished, or some bytes moved
    WantRead,  ///< nothing moved: try again once the descriptor can be read
    WantWrite, ///< nothing moved: try again once the descriptor can be written
    Closed,    ///< the peer ended the connection
    Failed,    ///< broken for good: a refused handshake, a protocol or socket error
};

/// TLS over a connected, non-blocking TCP descriptor that its owner keeps and
/// closes. No step ever blocks: each says whether it waits to read or to
/// write, so a poller or a frame loop drives the stream. The handshake runs
/// by itself within the first reads and writes, or through `handshake`.
class TlsStream {
public:
    /// Bytes moved by `read` or `write`, and how the step ended: Done when
    /// `bytes` is not zero.
    struct Transfer {
        TlsStatus status;
        std::size_t bytes;
    };

    /// The server's end of a connection whose first byte starts a TLS
    /// handshake. Null when the library failed.
    static std::unique_ptr<TlsStream> accept(const TlsServerContext& context, int descriptor);

    /// The client's end, to the server known as `host` (a name, checked
    /// against its certificate and sent as the server name, or a dotted
    /// address) on `port`; resumes the context's latest session with that
    /// server. Null when the library failed.
    static std::unique_ptr<TlsStream> connect(TlsClientContext& context, int descriptor, const std::string& host,
                                              unsigned short port);

    /// Moves the handshake along: Done once it has completed.
    TlsStatus handshake();

    /// Takes up to `size` received bytes into `data`, as many as have come.
    Transfer read(char* data, std::size_t size);

    /// Hands up to `size` bytes over; Done with the count taken. When nothing
    /// was taken (WantWrite), the next write must offer the same bytes again,
    /// at least as many, though they may lie elsewhere in memory.
    Transfer write(const char* data, std::size_t size);

    /// True when received bytes wait inside the stream, so `read` has more
    /// to give even when the descriptor is not readable.
    bool hasBufferedInput() const;

    /// True once the handshake has completed.
    bool established() const;

    /// True when this connection resumed an earlier session.
    bool resumed() const;

    /// The fingerprint of the peer's key (see fingerprintOfPublicKey); empty
    /// before the handshake or when the peer showed no certificate.
    std::string peerFingerprint() const;

    /// Client end: true when authorities the system trusts vouch for the
    /// server's certificate and it names the host connected to.
    bool peerVouchedFor() const;

    /// Tells the peer the stream ends (one attempt, never waiting); nothing
    /// moves after it.
    void close();

private:
    TlsStream(NativeConnection connection, std::string peer);

    /// How the library's result `result` of the step just taken ends it;
    /// sets `broken` when it ends the stream (or its writing) for good.
    TlsStatus statusOf(int result, bool& broken);
    bool writeBroken() const;

    NativeConnection m_connection;
    /// "host:port" of a client end, by which its context keeps its session.
    const std::string m_peer;
    /// The last read or handshake step found the descriptor drained:
    /// whatever the library holds is part of a record still on its way.
    bool m_drained = false;
    bool m_failed = false;
    /// A write failed (the peer reset or closed): nothing more can be sent,
    /// but records that came before it are still read, as from a socket.
    bool m_writeFailed = false;
};

} // namespace parlana
