#pragma once

#include "protocol/frame.hpp"

#include <SFML/Network/TcpSocket.hpp>

#include <cstddef>
#include <memory>
#include <string>

namespace parlana {

/// One accepted connection: its socket, the bytes it has sent us that do not
/// yet make a whole packet, and the bytes waiting to go out to it.
///
/// The socket may be null, so the relay logic can be exercised without a
/// network; the outbound queue then simply accumulates.
class Participant {
public:
    /// Past this many queued outbound bytes a client that does not read is
    /// dropped rather than letting it hold the server's memory.
    static constexpr std::size_t kMaxQueuedBytes = 1024 * 1024;

    enum class FlushResult { Flushed, Pending, Failed };

    explicit Participant(std::unique_ptr<sf::TcpSocket> socket = nullptr);

    /// The connection, or null for a socketless participant.
    sf::TcpSocket* socket() const { return m_socket.get(); }

    /// Incoming bytes, reassembled into packets.
    FrameReader& inbox() { return m_inbox; }

    /// Appends whole frames to the outbound queue.
    void queue(const std::string& frame) { m_out += frame; }

    /// Outbound bytes not yet accepted by the kernel.
    std::size_t queued() const { return m_out.size() - m_sent; }

    /// Hands the kernel as much of the queue as it takes in one send call,
    /// keeping the rest, resumed at the exact byte, for the next call.
    FlushResult flush();

    /// Takes the whole outbound queue (used where there is no socket).
    std::string takeQueued();

private:
    void compact();

    std::unique_ptr<sf::TcpSocket> m_socket;
    FrameReader m_inbox;
    std::string m_out;
    std::size_t m_sent = 0;
};

} // namespace parlana
