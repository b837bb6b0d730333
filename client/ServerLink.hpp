#pragma once

#include "client/PacketKind.hpp"
#include "client/RejoinSchedule.hpp"
#include "client/ServerTrust.hpp"
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
/// Longest an attempt to connect (over TLS: and to shake hands) may take
/// before it is abandoned.
inline constexpr std::chrono::seconds kConnectLimit{3};
/// A connection made this long ago and not joined yet is not joined on: the
/// server gives a newcomer 5 s for its join, so a fresh one is made.
inline constexpr std::chrono::seconds kUnjoinedLimit{4};
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
///
/// Over TLS, every connection's key is judged (`ServerTrust`) before the join
/// goes: an unknown key waits for the user's word, any other refusal ends the
/// run, rejoins included. A server that does not complete a handshake ends it
/// too, unless one has completed before in this run: that server spoke TLS,
/// and a rejoin that fails is tried again.
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
        Unverified,   ///< connected over TLS to a key the user must judge
        Untrusted,    ///< the server's key, or its lack of TLS, is refused: for good
    };

    /// One whole packet from the server.
    struct Packet {
        PacketKind kind = PacketKind::ChatLine;
        std::string text;
    };

    ServerLink(std::string uid, std::string address, unsigned short port, std::unique_ptr<Transport> transport,
               ServerTrust trust = ServerTrust());

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

    /// The user trusts the key asked about (`Unverified`): for good (see
    /// `ServerTrust::trust`, whose false and `error` come back), and the
    /// join goes at once, on a fresh connection if the server may have given
    /// up waiting for it.
    bool trustKey(Clock::time_point now, std::string& error);

    /// How the connection stands.
    State state() const { return m_state; }
    /// True while chatting: lines may be offered.
    bool admitted() const { return m_state == State::Admitted; }
    /// True while connected over TLS to a key that passed.
    bool secured() const { return m_secured; }
    /// What was last decided of the server's key (the question of
    /// `Unverified`, the reason of `Untrusted`).
    const ServerTrust::Decision& keyDecision() const { return m_decision; }
    const ServerTrust& trust() const { return m_trust; }
    const std::string& address() const { return m_address; }
    unsigned short port() const { return m_port; }
    /// True when received bytes wait inside the transport: a frame loop
    /// that rests must not, as the socket will not wake it for them.
    bool inputWaiting() const { return m_transport->hasBufferedInput(); }
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
    /// Acts on how the attempt stands.
    void progressed(Transport::Progress progress, Clock::time_point now);
    /// Judges the key of a connection just made over TLS.
    void checkKey();
    /// Ends the run for `decision`, nothing sent.
    void untrusted(ServerTrust::Decision decision);
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
    ServerTrust m_trust;
    ServerTrust::Decision m_decision;

    State m_state = State::NotConnected;
    bool m_everAdmitted = false;
    /// The peer closed or failed; what it sent before is still handed out.
    bool m_peerGone = false;
    bool m_established = false;
    /// A TLS handshake has completed in this run.
    bool m_everSecured = false;
    bool m_secured = false;
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
