#pragma once

#include "protocol/frame.hpp"
#include "server/NoticeThrottle.hpp"
#include "server/Outbox.hpp"
#include "server/TokenBucket.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace parlana {

class Room;

/// One connection as the room sees it, without its socket: where it comes
/// from, the bytes it has sent that the room has not yet taken, the bytes it
/// has not yet taken itself, and, once admitted, its UID and its budget.
class Session {
public:
    /// Past this many queued outbound bytes a connection that does not read
    /// is dropped rather than letting it hold the server's memory.
    static constexpr std::size_t kMaxQueuedBytes = 1024 * 1024;
    /// Past this many bytes waiting in its input beyond its budget, a member
    /// is sending faster than it will ever be relayed: it is flooding.
    static constexpr std::size_t kMaxWaitingInput = 64 * 1024;

    /// A connection from `address` (as text; any label the caller compares).
    explicit Session(std::string address = {}) : m_address(std::move(address)) {}

    /// Failed: the connection failed, and was handed nothing more;
    /// Overflowed: more than `kMaxQueuedBytes` are left.
    enum class FlushResult { Flushed, Pending, Failed, Overflowed };

    /// Incoming bytes, reassembled into packets.
    FrameReader& inbox() { return m_inbox; }
    const FrameReader& inbox() const { return m_inbox; }

    /// The admitted UID; empty while the join is pending.
    const std::string& uid() const { return m_uid; }

    /// The address the connection comes from.
    const std::string& address() const { return m_address; }

    /// When the room may next take a packet from this member's input: never
    /// while no whole packet waits, otherwise once its budget allows or, for
    /// a closed connection, its time is up.
    TimePoint readyAt() const
    {
        if (!m_inbox.hasFrame())
            return TimePoint::max();
        return m_leaveBy ? std::min(m_budget.nextToken(), *m_leaveBy) : m_budget.nextToken();
    }

    /// True once the connection has closed: it is handed nothing more, and
    /// the member leaves once the packets it sent are served or its time is up.
    bool closing() const { return m_leaveBy.has_value(); }

    /// Puts bytes meant for this connection alone behind what it still owes.
    void queue(std::string_view bytes) { m_outbox.append(bytes); }

    /// Outbound bytes not yet taken by the connection.
    std::size_t queued() const { return m_outbox.size(); }

    /// Hands the connection what it still owes, then `fresh`, through
    /// `write(data, size)`, which returns the bytes taken (possibly fewer, or
    /// none) or nothing when the connection has failed. `fresh` is sent from
    /// where it lies as long as nothing older waits; only what the connection
    /// does not take is copied.
    template <typename Write>
    FlushResult flush(std::string_view fresh, Write&& write);

private:
    friend class Room;

    /// Writes the front of the outbox until it is empty or the connection
    /// stops taking bytes; false when the connection failed.
    template <typename Write>
    bool drain(Write& write);

    FrameReader m_inbox;
    Outbox m_outbox;
    std::string m_address;
    std::string m_uid;
    /// Packets the room takes from this member; unlimited until admission.
    TokenBucket m_budget{0, 1};
    /// Console notices of this member's refused lines.
    NoticeThrottle m_refusals;
    /// "UID: ", the start of every line this member may send.
    std::string m_linePrefix;
    /// Where this member's share of the room's current broadcast begins.
    std::size_t m_broadcastFrom = 0;
    /// Set once the connection has closed: the last instant at which the
    /// packets it sent are still served.
    std::optional<TimePoint> m_leaveBy;
};

template <typename Write>
bool Session::drain(Write& write)
{
    while (!m_outbox.empty()) {
        const std::string_view front = m_outbox.front();
        const std::optional<std::size_t> taken = write(front.data(), front.size());
        if (!taken)
            return false;
        m_outbox.consume(*taken);
        if (*taken < front.size())
            break;
    }
    return true;
}

template <typename Write>
Session::FlushResult Session::flush(std::string_view fresh, Write&& write)
{
    if (!drain(write))
        return FlushResult::Failed;
    if (m_outbox.empty() && !fresh.empty()) {
        const std::optional<std::size_t> taken = write(fresh.data(), fresh.size());
        if (!taken)
            return FlushResult::Failed;
        fresh.remove_prefix(std::min(*taken, fresh.size()));
    }
    m_outbox.append(fresh);
    if (m_outbox.size() > kMaxQueuedBytes)
        return FlushResult::Overflowed;
    return m_outbox.empty() ? FlushResult::Flushed : FlushResult::Pending;
}

} // namespace parlana
