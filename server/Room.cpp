#include "server/Room.hpp"

#include "protocol/line.hpp"
#include "protocol/tokens.hpp"
#include "protocol/uid.hpp"

#include <algorithm>

namespace parlana {

Room::Room(std::ostream& log) : m_log(log), uid_error(kUidErrorToken), uid_limit_reached(kLimitToken)
{
    rebuildRoster();
}

Room::JoinResult Room::join(std::unique_ptr<Session> newcomer, const std::string& uid)
{
    // The limit comes first: a full room sends only the limit refusal, even
    // for a UID that is also invalid or in use.
    if (clients.size() >= MAX_UID_LIMIT)
        return refuse(std::move(newcomer), uid_limit_reached, "[!] MAX_UID_LIMIT reached : disconnected");
    if (!isValidUid(uid) || uids_sockets.count(uid + ",") != 0)
        return refuse(std::move(newcomer), uid_error, "[!] UID NOT VALID : disconnected");
    logLine("[*] " + uid + " : JOIN");
    newcomer->m_uid = uid;
    newcomer->m_linePrefix = linePrefix(uid);
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

Room::JoinResult Room::refuse(std::unique_ptr<Session> newcomer, const std::string& token, const char* line)
{
    newcomer->queue(encodeFrame(token));
    logLine(line);
    logLine("[!] JOIN ATTEMPT : FAILED");
    logCount();
    return {nullptr, std::move(newcomer)};
}

void Room::relay(const Session& sender, std::string_view body)
{
    const std::string_view text = bodyString(body);
    if (!text.empty() && !isOwnLine(text, sender.m_linePrefix)) {
        // The UID was valid at admission, so it is safe to print.
        logLine("[!] " + sender.uid() + " : LINE REFUSED");
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
