#pragma once

#include "net/AddressLookup.hpp"
#include "net/ConnectProgress.hpp"

#include <SFML/Network/TcpSocket.hpp>

#include <cstddef>
#include <optional>
#include <string>

namespace parlana {

/// A client's TCP connection to a server that never makes its caller wait:
/// the name is looked up on a thread of its own, the connect completes in
/// the background, and a server that vanishes is found within a minute.
class TcpConnection {
public:
    /// Starts connecting to `address` (a host name or dotted address) and
    /// `port`, dropping any connection held before: Done when connected at
    /// once, Pending while the attempt (the name's lookup included) is under
    /// way, Failed otherwise.
    ConnectProgress connect(const std::string& address, unsigned short port);
    /// How the attempt started by `connect` stands.
    ConnectProgress connecting();
    /// Hands bytes to the connection: the count taken (possibly none), or
    /// nothing once the connection has failed.
    std::optional<std::size_t> send(const char* data, std::size_t size);
    /// Takes the bytes that have arrived into `data`: the count (none when
    /// nothing waits), or nothing once the peer closed or the connection failed.
    std::optional<std::size_t> receive(char* data, std::size_t size);
    /// Drops the connection, if any.
    void close();
    /// The socket's descriptor, for a layer that speaks over it; this
    /// connection keeps and closes it.
    int descriptor() const { return m_socket.getHandle(); }

private:
    /// SFML keeps the descriptor to itself; the options and the completion
    /// test of a non-blocking connect need it.
    struct Socket : sf::TcpSocket {
        using sf::TcpSocket::getHandle;
    };

    /// Connects the socket once the lookup has ended.
    ConnectProgress connectSocket();

    Socket m_socket;
    AddressLookup m_lookup;
    unsigned short m_port = 0;
    /// Whether the socket's connect has begun, the lookup being over.
    bool m_socketConnecting = false;
};

} // namespace parlana
