#include "server/Room.hpp"

#include "protocol/tokens.hpp"

#include <algorithm>

namespace parlana {

Room::Room(std::ostream& log) : m_log(log), uid_error(kUidErrorToken), uid_limit_reached(kLimitToken)
{
    rebuildRoster();
}

Room::JoinResult Room::join(std::unique_ptr<Participant> newcomer, std::string uid)
{
    JoinResult result;
    // The newcomer counts before it is judged, so the 47th connection is the
    // one refused. The limit comes first and then empties the UID: a full
    // server sends only the limit refusal, even for a UID already in use,
    // and a refused join is logged as a failed one.
    clients.push_back(std::move(newcomer));
    if (clients.size() > MAX_UID_LIMIT) {
        result.refused = refuse(uid_limit_reached, "[!] MAX_UID_LIMIT reached : disconnected");
        uid.clear();
    }
    if (!uid.empty() && uids_sockets.count(uid + ",") != 0) {
        result.refused = refuse(uid_error, "[!] UID NOT VALID : disconnected");
        uid.clear();
    }
    if (uid.empty()) {
        logLine("[!] JOIN ATTEMPT : FAILED");
    } else {
        logLine("[*] " + uid + " : JOIN");
        const std::string item = uid + ",";
        uids_sockets[item] = clients.back().get();
        m_items.emplace_back(item, clients.back().get());
        rebuildRoster();
    }
    if (!result.refused)
        result.admitted = clients.back().get();
    logCount();
    return result;
}

void Room::joinFailed()
{
    logLine("[!] JOIN ATTEMPT : FAILED");
    logCount();
}

std::unique_ptr<Participant> Room::refuse(const std::string& token, const char* line)
{
    std::unique_ptr<Participant> refused = std::move(clients.back());
    clients.pop_back();
    refused->queue(encodeFrame(token));
    logLine(line);
    return refused;
}

void Room::relay(const std::string& body)
{
    const std::string text = extractString(body);
    const std::string chatFrame = text.empty() ? std::string() : encodeFrame(text);
    for (const auto& client : clients) {
        client->queue(m_rosterFrame);
        client->queue(chatFrame);
    }
}

void Room::depart(const Participant& leaver)
{
    const auto item =
        std::find_if(m_items.begin(), m_items.end(), [&](const auto& entry) { return entry.second == &leaver; });
    if (item != m_items.end()) {
        logLine("[*] " + item->first + " : LEAVE");
        uids_sockets.erase(item->first);
        m_items.erase(item);
        rebuildRoster();
    }
    const auto place =
        std::find_if(clients.begin(), clients.end(), [&](const auto& client) { return client.get() == &leaver; });
    if (place != clients.end())
        clients.erase(place);
    for (const auto& client : clients)
        client->queue(m_rosterFrame);
    logCount();
}

void Room::rebuildRoster()
{
    uids = kRosterToken + ",";
    for (const auto& entry : m_items)
        uids += entry.first;
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
