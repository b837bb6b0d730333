#include "server/Room.hpp"

#include "protocol/line.hpp"
#include "protocol/tokens.hpp"
#include "protocol/uid.hpp"

#include <algorithm>
#include <optional>

namespace parlana {

Room::Room(std::ostream& log, RoomRules rules)
    : m_log(log), m_rules(rules), uid_error(kUidErrorToken), uid_limit_reached(kLimitToken)
{
    rebuildRoster();
}

Room::JoinResult Room::join(std::unique_ptr<Session> newcomer, const std::string& uid)
{
    // The limit comes first: a full room sends only the limit refusal, even
    // for a UID that is also invalid or in use.
    if (clients.size() >= MAX_UID_LIMIT)
        return refuse(std::move(newcomer), uid_limit_reached, "[!] MAX_UID_LIMIT reached : disconnected");
    if (addressFull(newcomer->address())) {
        const std::string line = "[!] MAX_PER_ADDRESS reached (" + newcomer->address() + ") : disconnected";
        return refuse(std::move(newcomer), uid_limit_reached, line);
    }
    if (!isValidUid(uid) || uids_sockets.count(uid + ",") != 0)
        return refuse(std::move(newcomer), uid_error, "[!] UID NOT VALID : disconnected");
    logLine("[*] " + uid + " : JOIN");
    newcomer->m_uid = uid;
    newcomer->m_linePrefix = linePrefix(uid);
    newcomer->m_budget = TokenBucket(m_rules.floodRate, m_rules.floodBurst);
    // What was broadcast before the admission is not the newcomer's.
    newcomer->m_broadcastFrom = m_broadcast.size();
    uids_sockets[uid + ","] = newcomer.get();
    clients.push_back(std::move(newcomer));
    rebuildRoster();
    logCount();
    return {clients.back().get(), nullptr};
}

void Room::joinFailed()
{
    logLine("[!] JOIN ATTEMPT : FAILED");
    logCount();
}

bool Room::addressFull(const std::string& address) const
{
    if (m_rules.maxPerAddress == 0)
        return false;
    const auto members =
        std::count_if(clients.begin(), clients.end(), [&](const auto& client) { return client->address() == address; });
    return static_cast<std::size_t>(members) >= m_rules.maxPerAddress;
}

Room::JoinResult Room::refuse(std::unique_ptr<Session> newcomer, const std::string& token, const std::string& line)
{
    newcomer->queue(encodeFrame(token));
    logLine(line);
    logLine("[!] JOIN ATTEMPT : FAILED");
    logCount();
    return {nullptr, std::move(newcomer)};
}

Room::Intake Room::serve(Session& member, TimePoint now, std::size_t most)
{
    for (std::size_t n = 0; n < most && member.m_inbox.hasFrame() && member.m_budget.take(now); ++n) {
        member.m_inbox.next(m_body);
        relay(member, m_body, now);
    }
    if (member.m_inbox.rejected())
        return Intake::Broken;
    if (member.m_budget.unlimited() || member.m_inbox.buffered() <= Session::kMaxWaitingInput)
        return Intake::Open;
    logLine("[!] " + member.uid() + " : FLOODING : disconnected");
    return Intake::Flooding;
}

void Room::relay(Session& sender, std::string_view body, TimePoint now)
{
    const std::string_view text = bodyString(body);
    if (!text.empty() && !isOwnLine(text, sender.m_linePrefix)) {
        // The UID was valid at admission, so it is safe to print.
        if (const std::optional<std::size_t> heldBack = sender.m_refusals.pass(now))
            logLine("[!] " + sender.uid() + " : LINE REFUSED" +
                    (*heldBack > 0 ? " (x" + std::to_string(*heldBack) + ")" : std::string()));
        return;
    }
    m_broadcast += m_rosterFrame;
    if (!text.empty())
        appendFrame(m_broadcast, text);
}

void Room::depart(const Session& leaver)
{
    const auto place =
        std::find_if(clients.begin(), clients.end(), [&](const auto& client) { return client.get() == &leaver; });
    if (place == clients.end())
        return;
    logLine("[*] " + leaver.uid() + ", : LEAVE");
    uids_sockets.erase(leaver.uid() + ",");
    clients.erase(place);
    rebuildRoster();
    m_broadcast += m_rosterFrame;
    logCount();
}

std::string_view Room::broadcastFor(const Session& member) const
{
    return std::string_view(m_broadcast).substr(member.m_broadcastFrom);
}

void Room::endPass()
{
    m_broadcast.clear();
    for (const auto& client : clients)
        client->m_broadcastFrom = 0;
}

void Room::rebuildRoster()
{
    uids = kRosterToken + ",";
    for (const auto& client : clients)
        uids += client->uid() + ",";
    m_rosterFrame = encodeFrame(uids);
}

void Room::logCount()
{
    logLine("[*] CONNECTED USERS : " + std::to_string(clients.size()));
}

void Room::logLine(const std::string& line)
{
    m_log << line << std::endl;
}

} // namespace parlana
