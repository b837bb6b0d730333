#pragma once

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

    /// Log lines go to `log`, each flushed as soon as it is written.
    explicit Room(std::ostream& log);

    /// Judges a newcomer whose join packet carried `uid` (empty when the
    /// packet held no string): refused when the room is full, then when the
    /// UID is not valid or already admitted; admitted otherwise. Nothing is
    /// sent to the members: the roster reaches them with the newcomer's
    /// empty packet.
    JoinResult join(std::unique_ptr<Session> newcomer, const std::string& uid);

    /// A newcomer that closed, broke its framing or ran out of time before
    /// its join packet was whole: it is not kept, and the console says so.
    void joinFailed();

    /// One packet body received from `sender`, a member. An empty string
    /// brings the roster to everyone; a line written in the sender's own name
    /// brings the roster and the line; anything else reaches nobody and is
    /// logged as refused.
    void relay(const Session& sender, std::string_view body);

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
    JoinResult refuse(std::unique_ptr<Session> newcomer, const std::string& token, const char* line);
    void rebuildRoster();
    void logCount();
    void logLine(const std::string& line);

    std::ostream& m_log;
    std::vector<std::unique_ptr<Session>> clients;
    /// Roster item (the UID and its comma) to its member.
    std::map<std::string, const Session*> uids_sockets;
    std::string uids;
    std::string m_rosterFrame;
    std::string m_broadcast;
    const std::string uid_error;
    const std::string uid_limit_reached;
};

} // namespace parlana
