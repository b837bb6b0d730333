#pragma once

#include "net/Listener.hpp"
#include "net/PeerSocket.hpp"
#include "net/TlsServerContext.hpp"
#include "server/Clock.hpp"
#include "server/NoticeThrottle.hpp"
#include "server/Poller.hpp"
#include "server/Room.hpp"
#include "server/RoomRules.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlana {

/// The network side of the relay: listens, waits for newcomers' join packets
/// without holding anyone else up, reads whole packets from the members and
/// writes to them without ever blocking on a slow reader, wakes when a held
/// back member's budget allows its next packet, and has every connection
/// watched for a peer that vanished. Owns every socket; the room owns the
/// sessions and decides.
class RelayServer {
public:
    /// Longest wait for a newcomer's whole join packet, from its connection.
    /// The real client sends it about three seconds after connecting.
    static constexpr std::chrono::seconds kJoinTimeout{5};
    /// Most newcomers waited for at once. Beyond that a connection is closed
    /// as soon as it is taken, so silent connections cannot use up the
    /// process's descriptors; so is one from an address that already has as
    /// many waiting as the room allows it (see `Room::mayAwaitJoin`).
    static constexpr std::size_t kMaxPendingJoins = 64;
    /// Connections taken from the listener in one pass, so a flood of
    /// connections cannot hold up the relay.
    static constexpr int kMaxAcceptsPerPass = 16;
    /// Packets relayed from one member in one pass, so a flooding member
    /// cannot starve the others.
    static constexpr std::size_t kMaxPacketsPerPass = 16;
    /// Wait of the poller while some member still has bytes to take.
    static constexpr std::chrono::milliseconds kFlushRetry{1};
    /// Time a busy room is given to deliver more lines before a pass.
    static constexpr std::chrono::microseconds kBusyGather{100};

    /// Log lines go to `log`; the room keeps `rules`.
    RelayServer(std::ostream& log, RoomRules rules);

    /// Starts listening on every local address; false when that failed.
    bool listen(unsigned short port);

    /// Serves TLS with `context` on the same port as the plain protocol, a
    /// connection's first byte telling which it speaks; with `required`, a
    /// plain connection is closed as soon as that byte shows it. Call before
    /// `run`.
    void offerTls(std::unique_ptr<TlsServerContext> context, bool required);

    /// Serves for ever.
    [[noreturn]] void run();

private:
    /// Bytes taken from a socket in one read.
    static constexpr std::size_t kReadChunkBytes = 16 * 1024;

    /// Whether a connection may still be read after a step; Vanished: closed
    /// by the system because its peer stopped answering.
    enum class PeerState { Open, Closed, Vanished };

    /// A connection whose join packet has not arrived yet.
    struct Newcomer {
        std::unique_ptr<PeerSocket> socket;
        std::unique_ptr<Session> session;
        TimePoint deadline;
    };

    void pass();
    /// True when something waits to be read, after sleeping a moment to let
    /// more in; false at once when nothing waits.
    bool gatherWhenBusy();
    std::optional<std::chrono::milliseconds> nextWait() const;
    void acceptNewcomers();
    std::size_t pendingFrom(const std::string& address) const;
    void servePending();
    bool settleJoin(Newcomer& newcomer);
    PeerState openStep(PeerSocket& socket) const;
    bool refusedAsPlain(const Newcomer& newcomer);
    void judgeJoin(Newcomer& newcomer);
    void serveClients();
    bool readable(const PeerSocket& socket) const;
    PeerState serve(Session& client, PeerSocket* socket, bool readable);
    PeerState receiveChunk(PeerSocket& socket, FrameReader& inbox);
    void hangUp(Session& client, TimePoint leaveBy);
    void flushClients();
    void depart(const Session& client);
    void dropSocket(const Session& client);
    PeerSocket* socketOf(const Session& client) const;

    std::ostream& m_log;
    Listener server;
    Poller sock_selector;
    Room m_room;
    std::unique_ptr<TlsServerContext> m_tls;
    bool m_tlsRequired = false;
    /// Console notices of plain connections refused, for the whole server.
    NoticeThrottle m_plainRefusals;
    bool m_listening = false;
    /// Every member's socket, by its session; a member whose connection
    /// closed has none.
    std::unordered_map<const Session*, std::unique_ptr<PeerSocket>> m_sockets;
    /// In order of acceptance, so the first is the first to run out of time.
    std::vector<Newcomer> m_pending;
    /// Members whose connection failed in the flush step.
    std::vector<const Session*> m_gone;
    /// The join packet being handled; its capacity is kept from pass to pass.
    std::string m_body;
    /// The time of this pass, read once the selector has woken.
    TimePoint m_now;
    std::array<char, kReadChunkBytes> m_readBuffer;
};

} // namespace parlana
