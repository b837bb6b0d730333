#pragma once

#include "client/AddressLookup.hpp"

#include <SFML/Network/TcpSocket.hpp>

#include <cstddef>
#include <optional>
#include <string>

namespace parlana {

/// A byte stream to the server that never makes its caller wait: what
/// `ServerLink` needs of a TCP connection, so that its rules can be run
/// without one.
class Transport {
public:
    enum class Progress { Done, Pending, Failed };

    virtual ~Transport() = default;

    /// Starts connecting to `address` (a host name or dotted address) and
    /// `port`, dropping any connection held before: Done when connected at
    /// once, Pending while the attempt (the name's lookup included) is under
    /// way, Failed otherwise.
    virtual Progress connect(const std::string& address, unsigned short port) = 0;
    /// How the attempt started by `connect` stands.
    virtual Progress connecting() = 0;
    /// Hands bytes to the connection: the count taken (possibly none), or
    /// nothing once the connection has failed.
    virtual std::optional<std::size_t> send(const char* data, std::size_t size) = 0;
    /// Takes the bytes that have arrived into `data`: the count (none when
    /// nothing waits), or nothing once the peer closed or the connection failed.
    virtual std::optional<std::size_t> receive(char* data, std::size_t size) = 0;
    /// Drops the connection, if any.
    virtual void close() = 0;
};

/// The real connection: a non-blocking TCP socket, behind a lookup that
/// never blocks, that detects a vanished server within a minute.
class TcpTransport : public Transport {
public:
    Progress connect(const std::string& address, unsigned short port) override;
    Progress connecting() override;
    std::optional<std::size_t> send(const char* data, std::size_t size) override;
    std::optional<std::size_t> receive(char* data, std::size_t size) override;
    void close() override;

private:
    /// SFML keeps the descriptor to itself; the options and the completion
    /// test of a non-blocking connect need it.
    struct Socket : sf::TcpSocket {
        using sf::TcpSocket::getHandle;
    };

    /// Connects the socket once the lookup has ended.
    Progress connectSocket();

    Socket m_socket;
    AddressLookup m_lookup;
    unsigned short m_port = 0;
    /// Whether the socket's connect has begun, the lookup being over.
    bool m_socketConnecting = false;
};

} // namespace parlana
