#include "server/Room.hpp"

#include "protocol/line.hpp"
#include "protocol/tokens.hpp"
#include "protocol/uid.hpp"

#include <algorithm>
#include <limits>
#include <optional>

namespace parlana {

namespace {

// Local scripts, tests and benchmarks join from here as often as they like.
bool isLoopback(const std::string& address)
{
    return address.compare(0, 4, "127.") == 0 || address == "::1";
}

} // namespace

Room::Room(std::ostream& log, RoomRules rules)
    : m_log(log), m_rules(rules),
      m_addresses(TokenBucket(kJoinInterval, kJoinBurst), TokenBucket(rules.floodRate, rules.floodBurst)),
      uid_error(kUidErrorToken), uid_limit_reached(kLimitToken)
{
    rebuildRoster();
}

Room::JoinResult Room::join(std::unique_ptr<Session> newcomer, const std::string& uid, TimePoint now)
{
    // A join beyond its address's rate is told so in one throttled line, so
    // a script that reconnects in a loop cannot fill the console either.
    if (joinsExceeded(newcomer->address(), now)) {
        newcomer->queue(encodeFrame(uid_limit_reached));
        return {nullptr, std::move(newcomer)};
    }
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
    newcomer->m_budget = startingBudget(newcomer->address());
    // What was broadcast before the admission is not the newcomer's.
    newcomer->m_broadcastFrom = m_broadcast.size();
    uids_sockets[uid + ","] = newcomer.get();
    clients.push_back(std::move(newcomer));
    rebuildRoster();
    logCount();
    return {clients.back().get(), nullptr};
}

void Room::joinFailed(const std::string& address, TimePoint now)
{
    if (joinsExceeded(address, now))
        return;
    logLine("[!] JOIN ATTEMPT : FAILED");
    logCount();
}

bool Room::mayAwaitJoin(const std::string& address, std::size_t awaited, TimePoint now) const
{
    if (m_rules.floodRate == 0 || isLoopback(address) || awaited == 0)
        return true;
    const AddressMemory::Record* const record = m_addresses.find(address);
    const TokenBucket joins = record ? record->joins : TokenBucket(kJoinInterval, kJoinBurst);
    return joins.allows(now, static_cast<unsigned>(awaited));
}

bool Room::joinsExceeded(const std::string& address, TimePoint now)
{
    if (m_rules.floodRate == 0 || isLoopback(address))
        return false;
    m_addresses.forgetFresh(now);
    AddressMemory::Record& record = m_addresses.at(address);
    if (record.joins.take(now))
        return false;
    if (const std::optional<std::size_t> heldBack = record.refusals.pass(now))
        logLine("[!] JOIN_RATE reached (" + address + ") : disconnected" + NoticeThrottle::heldBackSuffix(*heldBack));
    return true;
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

TokenBucket Room::startingBudget(const std::string& address) const
{
    // Reconnecting does not renew a budget: a newcomer starts where the
    // emptiest member from its address left off. A rejoin after a dropped
    // network finds its budget about whole anyway.
    const AddressMemory::Record* const record = m_addresses.find(address);
    return record ? record->budget : TokenBucket(m_rules.floodRate, m_rules.floodBurst);
}

void Room::rememberBudget(const Session& leaver)
{
    if (m_rules.floodRate == 0)
        return;
    TokenBucket& kept = m_addresses.at(leaver.address()).budget;
    if (leaver.m_budget.fullAgain() > kept.fullAgain())
        kept = leaver.m_budget;
}

Room::Intake Room::serve(Session& member, TimePoint now, std::size_t most)
{
    // At its leaving time a closed member is served all its budget allows,
    // not one pass's share.
    const bool leaving = member.m_leaveBy && now >= *member.m_leaveBy;
    if (leaving)
        most = std::numeric_limits<std::size_t>::max();
    for (std::size_t n = 0; n < most && member.m_inbox.hasFrame() && member.m_budget.take(now); ++n) {
        member.m_inbox.next(m_body);
        relay(member, m_body, now);
    }
    if (member.m_inbox.rejected())
        return Intake::Broken;
    if (flooding(member, now)) {
        logLine("[!] " + member.uid() + " : FLOODING : disconnected");
        return Intake::Flooding;
    }
    if (!member.closing() || (member.m_inbox.hasFrame() && !leaving))
        return Intake::Open;
    dropWaiting(member);
    return Intake::Closed;
}

bool Room::flooding(const Session& member, TimePoint now) const
{
    // Only input that waits for the budget counts: packets left for the next
    // pass by the caller's cap are taken then, and a frame still arriving
    // behind no whole packet waits for nothing but its own bytes.
    return member.m_inbox.hasFrame() && !member.m_budget.allows(now) &&
           member.m_inbox.buffered() > Session::kMaxWaitingInput;
}

void Room::dropWaiting(Session& member)
{
    std::size_t dropped = 0;
    while (member.m_inbox.next(m_body) == FrameReader::Result::Frame)
        ++dropped;
    if (dropped > 0)
        logLine("[!] " + member.uid() + " : " + std::to_string(dropped) + " PACKETS DROPPED AT CLOSE");
}

void Room::closed(Session& member, TimePoint leaveBy)
{
    if (!member.m_leaveBy || leaveBy < *member.m_leaveBy)
        member.m_leaveBy = leaveBy;
    // It will never take what it is still owed.
    member.m_outbox.consume(member.m_outbox.size());
}

void Room::relay(Session& sender, std::string_view body, TimePoint now)
{
    const std::string_view text = bodyString(body);
    if (!text.empty() && !isOwnLine(text, sender.m_linePrefix)) {
        // The UID was valid at admission, so it is safe to print.
        if (const std::optional<std::size_t> heldBack = sender.m_refusals.pass(now))
            logLine("[!] " + sender.uid() + " : LINE REFUSED" + NoticeThrottle::heldBackSuffix(*heldBack));
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
    rememberBudget(leaver);
    uids_sockets.erase(leaver.uid() + ",");
    clients.erase(place);
    rebuildRoster();
    m_broadcast += m_rosterFrame;
    logCount();
}

std::string_view Room::broadcastFor(const Session& member) const
{
    if (member.closing())
        return {};
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
