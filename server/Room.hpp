#pragma once

#include "server/AddressMemory.hpp"
#include "server/Clock.hpp"
#include "server/RoomRules.hpp"
#include "server/Session.hpp"

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace parlana {

/// The relay's decisions: who is admitted, what the roster says, which lines
/// go out, and what the console says about it. Knows nothing of sockets.
///
/// Every byte a member is sent is also sent to every other member, so the
/// room builds those bytes once per pass, in one broadcast that each member
/// is handed from the point at which it was admitted. Only a refusal is
/// meant for one connection; it is queued on that connection's session.
class Room {
public:
    /// Most UIDs admitted at once.
    static constexpr std::size_t MAX_UID_LIMIT = 46;
    /// Joins from one address, loopback aside, with flood control on: this
    /// many at once (a class behind one NAT fills the room), then one every
    /// `kJoinInterval`.
    static constexpr unsigned kJoinBurst = 50;
    static constexpr std::chrono::seconds kJoinInterval{6};
    /// How long a member whose connection closed is still served the packets
    /// it sent, at its budget, before it leaves.
    static constexpr std::chrono::seconds kCloseDrain{5};

    /// What became of a newcomer's join. `admitted` points into `members()`;
    /// otherwise `refused` holds the connection with its one refusal packet
    /// queued, to be sent and closed.
    struct JoinResult {
        Session* admitted = nullptr;
        std::unique_ptr<Session> refused;
    };

    /// What became of a member's input once the room took what it could.
    enum class Intake {
        Open,     ///< the rest, if any, waits for the member's budget
        Broken,   ///< its framing broke: it must leave
        Flooding, ///< more than `Session::kMaxWaitingInput` waits: it must leave
        Closed,   ///< its connection closed and what it sent is served or dropped: it must leave
    };

    /// Log lines go to `log`, each flushed as soon as it is written.
    explicit Room(std::ostream& log, RoomRules rules = {});

    /// Judges a newcomer whose join packet carried `uid` (empty when the
    /// packet held no string), at `now`: refused when its address is past its
    /// joins (with one throttled console line), when the room is full, when
    /// its address already has as many members as the rules allow, then when
    /// the UID is not valid or already admitted; admitted otherwise, with the
    /// budget its address was left with, if any. Nothing is sent to the
    /// members: the roster reaches them with the newcomer's empty packet.
    JoinResult join(std::unique_ptr<Session> newcomer, const std::string& uid, TimePoint now);

    /// True when a newcomer from `address` may be waited for at `now` while
    /// `awaited` others from there are: no more than the joins it has left,
    /// and one more, to be refused. So no one address holds every place.
    bool mayAwaitJoin(const std::string& address, std::size_t awaited, TimePoint now) const;

    /// A newcomer from `address` that closed, broke its framing or ran out of
    /// time before its join packet was whole: it is not kept, it counts
    /// among its address's joins, and the console says so.
    void joinFailed(const std::string& address, TimePoint now);

    /// Takes the packets waiting whole in `member`'s input, in order, at most
    /// `most` of them and as many as its budget allows at `now`, and relays
    /// each. With flood control on, a member that leaves more than
    /// `Session::kMaxWaitingInput` bytes waiting for its budget is logged as
    /// flooding. A member whose connection closed is Closed once nothing
    /// waits; at its leaving time it is served all its budget allows, and
    /// what still waits is dropped with a console line.
    Intake serve(Session& member, TimePoint now, std::size_t most);

    /// `member`'s connection has closed: it is handed nothing more, and what
    /// it sent is served at its budget until `leaveBy` (see `serve`).
    void closed(Session& member, TimePoint leaveBy);

    /// One packet body received from `sender`, a member, at `now`. An empty
    /// string brings the roster to everyone; a line written in the sender's
    /// own name brings the roster and the line; anything else reaches nobody
    /// and is logged as refused, at most once per member per
    /// `NoticeThrottle::kPeriod`.
    void relay(Session& sender, std::string_view body, TimePoint now);

    /// Removes a departed member: its roster item and its session; everyone
    /// left is sent the new roster. Its address keeps its budget until
    /// whole again.
    void depart(const Session& leaver);

    /// The bytes of this pass's broadcast that `member` is owed; none once
    /// its connection has closed.
    std::string_view broadcastFor(const Session& member) const;

    /// True while some broadcast bytes wait for `endPass`.
    bool broadcasting() const { return !m_broadcast.empty(); }

    /// Every member has been handed its share: the next pass starts a new
    /// broadcast, in the same memory.
    void endPass();

    /// The roster text: header, then each admitted UID with its comma.
    const std::string& roster() const { return uids; }

    /// Every member, in order of admission.
    const std::vector<std::unique_ptr<Session>>& members() const { return clients; }

private:
    JoinResult refuse(std::unique_ptr<Session> newcomer, const std::string& token, const std::string& line);
    bool joinsExceeded(const std::string& address, TimePoint now);
    bool addressFull(const std::string& address) const;
    TokenBucket startingBudget(const std::string& address) const;
    void rememberBudget(const Session& leaver);
    bool flooding(const Session& member, TimePoint now) const;
    void dropWaiting(Session& member);
    void rebuildRoster();
    void logCount();
    void logLine(const std::string& line);

    std::ostream& m_log;
    const RoomRules m_rules;
    AddressMemory m_addresses;
    std::vector<std::unique_ptr<Session>> clients;
    /// Roster item (the UID and its comma) to its member.
    std::map<std::string, const Session*> uids_sockets;
    std::string uids;
    std::string m_rosterFrame;
    std::string m_broadcast;
    /// The packet being handled; its capacity is kept from packet to packet.
    std::string m_body;
    const std::string uid_error;
    const std::string uid_limit_reached;
};

} // namespace parlana
