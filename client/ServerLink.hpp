#pragma once

#include "protocol/frame.hpp"

#include <SFML/Network/TcpSocket.hpp>

#include <cstddef>
#include <string>

namespace parlana {

/// Most bytes the outgoing queue may hold before it stops taking lines: a
/// server that has stopped reading gets no more than this kept for it.
constexpr std::size_t kMaxQueuedBytes = 64 * 1024;

/// The connection to the server as the client uses it: whole packets in, at
/// most one per call, with the same size limit the server applies; packets
/// out through a queue that survives partial sends; and whether the
/// connection has been lost.
class ServerLink {
public:
    /// Reads from and writes to `socket`, which must outlive the link and be
    /// non-blocking.
    explicit ServerLink(sf::TcpSocket& socket);

    /// Puts the string of the next whole packet into `text` and returns true,
    /// or returns false when no whole packet is there yet. The socket is read
    /// at most once, and only when no whole packet is already buffered. A
    /// closed or reset connection, a failed read, or a packet announced above
    /// the size limit loses the link; from then on nothing more is returned.
    bool poll(std::string& text);

    /// Puts one packet holding `text` at the end of the outgoing queue.
    void queue(const std::string& text);
    /// Puts one empty packet (nothing written into it) at the end of the queue.
    void queueEmpty();
    /// Sends as much of the queue, in order, as the socket takes now; the rest
    /// waits for the next call. A failed send loses the link.
    void flush();
    /// Bytes queued and not yet handed to the socket.
    std::size_t queued() const;

    /// True once the connection is known to be gone; the socket has then been
    /// disconnected and the queue dropped.
    bool lost() const;

private:
    void readOnce();
    void lose();

    sf::TcpSocket& m_socket;
    FrameReader m_reader;
    std::string m_outgoing;
    bool m_lost = false;
};

} // namespace parlana
