#pragma once

#include "server/Participant.hpp"

#include <cstddef>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace parlana {

/// The relay's decisions: who is admitted, what the roster says, who gets
/// which bytes, and what the console says about it. Knows nothing of
/// sockets; every outgoing byte is queued on a participant.
class Room {
public:
    /// Most connections `clients` may hold after an accept step.
    static constexpr std::size_t MAX_UID_LIMIT = 46;

    /// What an accept step did with a newcomer. `admitted` points into
    /// `members()` (named or nameless); otherwise `refused` holds the
    /// connection with its one refusal packet queued, to be sent and closed.
    struct JoinResult {
        Participant* admitted = nullptr;
        std::unique_ptr<Participant> refused;
    };

    /// Log lines go to `log`, each flushed as soon as it is written.
    explicit Room(std::ostream& log);

    /// The accept step for a newcomer whose join packet carried `uid`
    /// (empty when the packet held no string).
    JoinResult join(std::unique_ptr<Participant> newcomer, std::string uid);

    /// The accept step for a newcomer that never delivered a join packet:
    /// it is not kept, and the console says so.
    void joinFailed();

    /// Relays one received packet body: the roster to everybody, in order of
    /// acceptance, each followed by the chat line unless its string is empty.
    void relay(const std::string& body);

    /// Removes a departed connection: its roster item, its place in
    /// `clients`, then tells everyone left the new roster.
    void depart(const Participant& leaver);

    /// The roster text: header, then each admitted UID with its comma.
    const std::string& roster() const { return uids; }

    /// Every live connection, in order of acceptance.
    const std::vector<std::unique_ptr<Participant>>& members() const { return clients; }

private:
    std::unique_ptr<Participant> refuse(const std::string& token, const char* logLine);
    void rebuildRoster();
    void logCount();
    void logLine(const std::string& line);

    std::ostream& m_log;
    std::vector<std::unique_ptr<Participant>> clients;
    std::map<std::string, Participant*> uids_sockets;
    /// Roster items in order of admission, so a departure cuts out exactly
    /// its own item even when UIDs hold commas or end one another.
    std::vector<std::pair<std::string, const Participant*>> m_items;
    std::string uids;
    std::string m_rosterFrame;
    const std::string uid_error;
    const std::string uid_limit_reached;
};

} // namespace parlana
