#pragma once

#include "server/Clock.hpp"
#include "server/RoomRules.hpp"
#include "server/Session.hpp"

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
    };

    /// Log lines go to `log`, each flushed as soon as it is written.
    explicit Room(std::ostream& log, RoomRules rules = {});

    /// Judges a newcomer whose join packet carried `uid` (empty when the
    /// packet held no string): refused when the room is full, then when its
    /// address already has as many members as the rules allow, then when the
    /// UID is not valid or already admitted; admitted otherwise. Nothing is
    /// sent to the members: the roster reaches them with the newcomer's
    /// empty packet.
    JoinResult join(std::unique_ptr<Session> newcomer, const std::string& uid);

    /// A newcomer that closed, broke its framing or ran out of time before
    /// its join packet was whole: it is not kept, and the console says so.
    void joinFailed();

    /// Takes the packets waiting whole in `member`'s input, in order, at most
    /// `most` of them and as many as its budget allows at `now`, and relays
    /// each. With flood control on, a member that leaves more than
    /// `Session::kMaxWaitingInput` bytes waiting is logged as flooding.
    Intake serve(Session& member, TimePoint now, std::size_t most);

    /// One packet body received from `sender`, a member, at `now`. An empty
    /// string brings the roster to everyone; a line written in the sender's
    /// own name brings the roster and the line; anything else reaches nobody
    /// and is logged as refused, at most once per member per
    /// `NoticeThrottle::kPeriod`.
    void relay(Session& sender, std::string_view body, TimePoint now);

    /// Removes a departed member: its roster item and its session; everyone
    /// left is sent the new roster.
    void depart(const Session& leaver);

    /// The bytes of this pass's broadcast that `member` is owed.
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
    bool addressFull(const std::string& address) const;
    void rebuildRoster();
    void logCount();
    void logLine(const std::string& line);

    std::ostream& m_log;
    const RoomRules m_rules;
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
