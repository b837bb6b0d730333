#pragma once

#include "client/PeerKey.hpp"
#include "net/ConnectProgress.hpp"
#include "net/TcpConnection.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace parlana {

/// A byte stream to the server that never makes its caller wait: what
/// `ServerLink` needs of a connection, so that its rules can be run without
/// one.
class Transport {
public:
    using Progress = ConnectProgress;

    virtual ~Transport() = default;

    /// Starts connecting to `address` (a host name or dotted address) and
    /// `port`, dropping any connection held before: Done when connected at
    /// once, Pending while the attempt (the name's lookup included) is under
    /// way, Failed or NotTls otherwise.
    virtual Progress connect(const std::string& address, unsigned short port) = 0;
    /// How the attempt started by `connect` stands.
    virtual Progress connecting() = 0;
    /// Hands bytes to the connection: the count taken (possibly none), or
    /// nothing once the connection has failed. After none were taken, the
    /// next call offers the same bytes again.
    virtual std::optional<std::size_t> send(const char* data, std::size_t size) = 0;
    /// Takes the bytes that have arrived into `data`: the count (none when
    /// nothing waits), or nothing once the peer closed or the connection failed.
    virtual std::optional<std::size_t> receive(char* data, std::size_t size) = 0;
    /// Drops the connection, if any.
    virtual void close() = 0;
    /// The server's key over TLS (empty before the handshake); nothing for a
    /// plain connection, which has none.
    virtual std::optional<PeerKey> peerKey() const { return std::nullopt; }
    /// True when received bytes wait inside the transport although the
    /// socket has nothing more: whoever waits for the socket must not.
    virtual bool hasBufferedInput() const { return false; }
};

/// A transport over one of net/'s connections, whose steps are the same.
template <class Connection>
class ConnectionTransport : public Transport {
public:
    template <class... Arguments>
    explicit ConnectionTransport(Arguments&&... arguments) : m_connection(std::forward<Arguments>(arguments)...)
    {}

    Progress connect(const std::string& address, unsigned short port) override
    {
        return m_connection.connect(address, port);
    }
    Progress connecting() override { return m_connection.connecting(); }
    std::optional<std::size_t> send(const char* data, std::size_t size) override
    {
        return m_connection.send(data, size);
    }
    std::optional<std::size_t> receive(char* data, std::size_t size) override
    {
        return m_connection.receive(data, size);
    }
    void close() override { m_connection.close(); }

protected:
    Connection m_connection;
};

/// The plain protocol over TCP.
using TcpTransport = ConnectionTransport<TcpConnection>;

} // namespace parlana
