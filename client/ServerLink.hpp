#pragma once

#include "client/PacketKind.hpp"
#include "client/RejoinSchedule.hpp"
#include "client/Transport.hpp"
#include "protocol/frame.hpp"

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>

namespace parlana {

/// How long after it starts connecting for the first time the client sends
/// its join: users and the server's tests know this pause.
inline constexpr std::chrono::seconds kJoinPause{3};
/// Longest an attempt to connect may take before it is abandoned.
inline constexpr std::chrono::seconds kConnectLimit{3};
/// Most bytes of chat lines the client keeps for a server that is not
/// reading; past it Enter leaves the typed line with the user.
inline constexpr std::size_t kMaxOutgoingBytes = 64 * 1024;

/// The connection to the server and the one account of how it stands. It
/// joins as `uid`, takes lines to send, hands out whole packets in arrival
/// order, and when the connection is lost it tries again by itself: 1 s
/// later, then twice as long each time up to 15 s, for as long as it lives.
///
/// A refusal is believed only while this client has never been admitted:
/// after that, a UID in use is most likely its own ghost that the server has
/// not yet seen go, and a full room may empty, so it tries again.
class ServerLink {
public:
    using Clock = std::chrono::steady_clock;

    enum class State {
        NotConnected, ///< not started
        Connecting,   ///< an attempt is under way, or waits out the first pause
        Joining,      ///< the join has gone out; no roster yet
        Admitted,     ///< a roster has come: chatting
        Refused,      ///< the server refused the first join: for good
        Lost,         ///< waiting for the next attempt
    };

    /// One whole packet from the server.
    struct Packet {
        PacketKind kind = PacketKind::ChatLine;
        std::string text;
    };

    ServerLink(std::string uid, std::string address, unsigned short port, std::unique_ptr<Transport> transport);

    /// Starts the first attempt at `now`; its join goes out `pause` later.
    void start(Clock::time_point now, Clock::duration pause = kJoinPause);

    /// Once a frame: moves the attempts along, sends what is queued, then
    /// takes in what has arrived.
    void pump(Clock::time_point now);

    /// Takes the next whole packet for the screen, in arrival order, and
    /// acts on it for the connection: a roster admits; a refusal is handed
    /// out only when it ends the run (`Refused`), otherwise it drops the
    /// connection or is skipped. False when no packet is whole.
    bool takePacket(Packet& packet);

    /// True when a whole packet waits for `takePacket`.
    bool hasPacket() const;

    /// Queues a finished chat line while admitted and while no more than
    /// `kMaxOutgoingBytes` wait; false, having taken nothing, otherwise. A
    /// line taken is sent whole and once: if the connection drops before all
    /// its bytes were handed over, it goes again after the rejoin.
    bool offerLine(const std::string& line);

    /// Drops the connection for good (the window was closed).
    void close();

    State state() const { return m_state; }
    bool admitted() const { return m_state == State::Admitted; }
    /// Bytes queued and not yet handed over.
    std::size_t queued() const { return m_queuedBytes - m_frontSent; }
    /// When the next attempt starts (meaningful while `Lost`).
    Clock::time_point nextAttempt() const { return m_nextAttempt; }

private:
    struct Outgoing {
        std::string frame;
        /// False for a join, which is dropped with its connection.
        bool chatLine;
    };

    void attempt(Clock::time_point now);
    void advanceAttempt(Clock::time_point now);
    void join();
    void lose(Clock::time_point now);
    void flush();
    void readAll();
    /// Queues a chat line behind the others, or a join ahead of them.
    void enqueue(std::string frame, bool chatLine);
    /// The connection is up and the join has gone out.
    bool joined() const { return m_state == State::Joining || m_state == State::Admitted; }

    const std::string m_uid;
    const std::string m_address;
    const unsigned short m_port;
    std::unique_ptr<Transport> m_transport;

    State m_state = State::NotConnected;
    bool m_everAdmitted = false;
    /// The peer closed or failed; what it sent before is still handed out.
    bool m_peerGone = false;
    bool m_established = false;
    Clock::time_point m_now{};
    Clock::time_point m_attemptStarted{};
    Clock::time_point m_joinAt{};
    Clock::time_point m_nextAttempt{};
    RejoinSchedule m_schedule;

    FrameReader m_reader;
    /// The body of the packet last taken, kept for its capacity.
    std::string m_body;
    std::deque<Outgoing> m_outgoing;
    /// Bytes of the first queued frame already handed over.
    std::size_t m_frontSent = 0;
    /// Bytes of every queued frame, whole.
    std::size_t m_queuedBytes = 0;
};

} // namespace parlana
