#pragma once

#include "protocol/frame.hpp"

#include <SFML/Network/TcpSocket.hpp>

#include <string>

namespace parlana {

/// The receiving side of the connection to the server: whole packets only,
/// at most one per call, with the same size limit the server applies.
class ServerLink {
public:
    /// Reads from `socket`, which must outlive the link and be non-blocking.
    explicit ServerLink(sf::TcpSocket& socket);

    /// Puts the string of the next whole packet into `text` and returns true,
    /// or returns false when no whole packet is there yet. The socket is read
    /// at most once, and only when no whole packet is already buffered. A
    /// packet announced above the size limit disconnects the socket; from then
    /// on nothing more is returned, as after any lost connection.
    bool poll(std::string& text);

private:
    void readOnce();

    sf::TcpSocket& m_socket;
    FrameReader m_reader;
};

} // namespace parlana
