// The relay core driven by a script of joins (UIDs from the input), failed
// joins, relayed packets and departures, checked after every step against a
// model of who is in the room: the roster text lists the admitted UIDs in
// admission order, each with its comma; never more than 46 connections; and
// every connection's queued bytes are whole frames carrying exactly the
// packets it should have been sent.
//
// Input: a sequence of steps, each an opcode byte followed by its operands.

#include "fuzz/fuzz_support.hpp"

#include "protocol/frame.hpp"
#include "protocol/tokens.hpp"
#include "server/Participant.hpp"
#include "server/Room.hpp"

#include <algorithm>
#include <sstream>
#include <vector>

using namespace parlana;

namespace {

struct Member {
    const Participant* connection;
    std::string uid; // empty for a nameless connection
};

class Model {
public:
    std::vector<Member> members;

    std::string roster() const
    {
        std::string text = parlana::kRosterToken + ",";
        for (const Member& member : members)
            if (!member.uid.empty())
                text += member.uid + ",";
        return text;
    }

    bool named(const std::string& uid) const
    {
        return std::any_of(members.begin(), members.end(),
                           [&](const Member& member) { return !uid.empty() && member.uid == uid; });
    }
};

std::vector<std::string> framesOf(const std::string& bytes)
{
    const DecodedFrames decoded = decodeFrames(bytes);
    FUZZ_CHECK(!decoded.rejected && decoded.leftover == 0, "queued bytes are not whole frames");
    std::vector<std::string> texts;
    for (const std::string& body : decoded.bodies)
        texts.push_back(extractString(body));
    return texts;
}

// Takes every member's queue and compares it with what each should have got.
void expectQueues(const Room& room, const std::vector<std::string>& expected)
{
    for (const auto& member : room.members()) {
        const std::vector<std::string> got = framesOf(member->takeQueued());
        FUZZ_CHECK(got == expected, "a member was sent other packets than the step calls for");
    }
}

void checkRoom(const Room& room, const Model& model)
{
    FUZZ_CHECK(room.members().size() <= Room::MAX_UID_LIMIT, "more than 46 connections kept");
    FUZZ_CHECK(room.members().size() == model.members.size(), "connection count differs from the model");
    for (std::size_t i = 0; i < model.members.size(); ++i)
        FUZZ_CHECK(room.members()[i].get() == model.members[i].connection, "connections out of acceptance order");
    FUZZ_CHECK(room.roster() == model.roster(), "roster text differs from the admitted UIDs in order");
}

void join(Room& room, Model& model, const std::string& uid)
{
    const bool full = model.members.size() >= Room::MAX_UID_LIMIT;
    const bool taken = model.named(uid);
    auto newcomer = std::make_unique<Participant>();
    const Participant* const connection = newcomer.get();
    Room::JoinResult result = room.join(std::move(newcomer), uid);
    if (full || taken) {
        FUZZ_CHECK(result.admitted == nullptr && result.refused.get() == connection, "refusal not handed back");
        const std::string& token = full ? parlana::kLimitToken : parlana::kUidErrorToken;
        FUZZ_CHECK(framesOf(result.refused->takeQueued()) == std::vector<std::string>{token},
                   "refused connection did not get exactly its refusal");
    } else {
        FUZZ_CHECK(result.admitted == connection && !result.refused, "admission not reported");
        model.members.push_back({connection, uid});
    }
    expectQueues(room, {});
}

void relay(Room& room, const Model& model, const std::string& body)
{
    room.relay(body);
    std::vector<std::string> expected{model.roster()};
    const std::string text = parlana::extractString(body);
    if (!text.empty())
        expected.push_back(text);
    expectQueues(room, expected);
}

void depart(Room& room, Model& model, std::size_t index)
{
    if (model.members.empty())
        return;
    const auto leaver = model.members.begin() + static_cast<std::ptrdiff_t>(index % model.members.size());
    const Participant* const connection = leaver->connection;
    model.members.erase(leaver);
    room.depart(*connection);
    expectQueues(room, {model.roster()});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteSource in(data, size);
    std::ostringstream log;
    Room room(log);
    Model model;
    checkRoom(room, model);
    while (!in.empty()) {
        switch (in.byte() % 6) {
        case 0:
        case 1: // joins weigh double, so that the room can fill up
            join(room, model, in.shortString(12));
            break;
        case 2:
            room.joinFailed();
            expectQueues(room, {});
            break;
        case 3: // any body, as a hostile client may send
            relay(room, model, in.shortString(40));
            break;
        case 4: // a well-formed chat packet
            relay(room, model, encodeBody(in.shortString(130)));
            break;
        case 5:
            depart(room, model, in.byte());
            break;
        }
        checkRoom(room, model);
        log.str("");
    }
    return 0;
}
