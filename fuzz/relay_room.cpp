// The relay core driven by a script of joins (UIDs from the input, or drawn
// from a small set so that the room fills up and UIDs collide, from a few
// addresses), failed joins, packets from members (any body, lines in the
// sender's own name, lines in another member's name), input taken through
// the members' budgets, time passing, departures and flush steps in which
// each member takes some bytes, none, or fails. The room's rules (flood
// control on or off, its rate and burst, a cap per address) come from the
// first byte. After every step it is checked against a model of the room:
// - the roster lists the admitted UIDs in admission order, each with its
//   comma, and never more than 46;
// - only valid, unused UIDs are admitted while there is room and while their
//   address has fewer members than the cap, and every refusal is exactly one
//   packet, the limit refusals first;
// - a packet is relayed (roster, then the line unless it is empty) exactly
//   when its string is empty or a line in the sender's own name of at most
//   112 typable bytes; nothing else reaches anyone;
// - a member's input is taken whole packet by whole packet, in order, as far
//   as a budget refilled at the rate and capped at the burst allows (modelled
//   as credit, apart from the room's own bookkeeping); more than 64 KiB left
//   waiting is flooding, with flood control on;
// - every member is handed, in order and without a byte lost or repeated,
//   the bytes owed to it since its admission, whatever it takes at a time;
//   what it has not taken stays queued, and past 1 MiB it is given up;
// - the console says exactly what happened, line by line, with refusal
//   notices at most once per member per 10 s and the count held back.
//
// Input: the rules byte, then a sequence of steps, each an opcode byte
// followed by its operands.

#include "fuzz/fuzz_support.hpp"

#include "protocol/frame.hpp"
#include "protocol/tokens.hpp"
#include "protocol/uid.hpp"
#include "server/Room.hpp"

#include <algorithm>
#include <chrono>
#include <optional>
#include <sstream>
#include <vector>

using namespace parlana;

namespace {

using std::chrono::nanoseconds;

/// A budget as credit: time saved up, each packet costing one interval.
struct Credit {
    nanoseconds interval{0}; ///< zero: no flood control
    nanoseconds cap{0};
    nanoseconds saved{0};
    TimePoint at{};

    bool spend(TimePoint now)
    {
        saved = std::min(cap, saved + (now - at));
        at = now;
        if (interval.count() != 0 && saved < interval)
            return false;
        saved -= interval;
        return true;
    }
};

struct Member {
    Session* session;
    std::string uid;
    std::string address;
    /// Bytes the member should have been handed and has not taken yet.
    std::string owed;
    /// Bytes it sent that the room has not taken.
    std::string waiting;
    Credit credit;
    std::optional<TimePoint> noticed;
    std::size_t heldBack = 0;
};

class Model {
public:
    RoomRules rules;
    TimePoint now{};
    std::string address = "a0";
    std::vector<Member> members;
    std::string log;

    std::string roster() const
    {
        std::string text = kRosterToken + ",";
        for (const Member& member : members)
            text += member.uid + ",";
        return text;
    }

    bool admitted(const std::string& uid) const
    {
        return std::any_of(members.begin(), members.end(), [&](const Member& m) { return m.uid == uid; });
    }

    void broadcast(const std::string& bytes)
    {
        for (Member& member : members)
            member.owed += bytes;
    }

    std::size_t from(const std::string& where) const
    {
        return static_cast<std::size_t>(
            std::count_if(members.begin(), members.end(), [&](const Member& m) { return m.address == where; }));
    }

    void line(const std::string& text) { log += text + "\n"; }
    void count() { line("[*] CONNECTED USERS : " + std::to_string(members.size())); }
};

RoomRules rulesFrom(std::uint8_t byte)
{
    static constexpr unsigned kRates[] = {10, 0, 1, 1000};
    static constexpr unsigned kBursts[] = {20, 1, 2, 5};
    return {kRates[byte & 3], kBursts[(byte >> 2) & 3], static_cast<std::size_t>((byte >> 4) & 3)};
}

bool relayable(const std::string& uid, const std::string& text)
{
    if (text.empty())
        return true;
    const std::string prefix = uid + ": ";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.size() - prefix.size() > kMaxTypedBytes)
        return false;
    return text.find_first_of("\t\n\r\b", prefix.size()) == std::string::npos;
}

void checkRoom(const Room& room, const Model& model, std::ostringstream& log)
{
    FUZZ_CHECK(room.members().size() <= Room::MAX_UID_LIMIT, "more than 46 members kept");
    FUZZ_CHECK(room.members().size() == model.members.size(), "member count differs from the model");
    for (std::size_t i = 0; i < model.members.size(); ++i)
        FUZZ_CHECK(room.members()[i].get() == model.members[i].session, "members out of admission order");
    FUZZ_CHECK(room.roster() == model.roster(), "roster text differs from the admitted UIDs in order");
    FUZZ_CHECK(log.str() == model.log, "console differs from the events");
}

void join(Room& room, Model& model, const std::string& uid)
{
    auto newcomer = std::make_unique<Session>(model.address);
    Session* const session = newcomer.get();
    Room::JoinResult result = room.join(std::move(newcomer), uid);
    const bool full = model.members.size() >= Room::MAX_UID_LIMIT;
    const bool capped = model.rules.maxPerAddress != 0 && model.from(model.address) >= model.rules.maxPerAddress;
    if (full || capped || !isValidUid(uid) || model.admitted(uid)) {
        FUZZ_CHECK(result.admitted == nullptr && result.refused.get() == session, "refusal not handed back");
        std::string bytes;
        result.refused->flush({}, [&](const char* data, std::size_t size) -> std::optional<std::size_t> {
            bytes.append(data, size);
            return size;
        });
        const std::string& token = full || capped ? kLimitToken : kUidErrorToken;
        FUZZ_CHECK(bytes == encodeFrame(token), "a refused connection did not get exactly its refusal");
        model.line(full     ? "[!] MAX_UID_LIMIT reached : disconnected"
                   : capped ? "[!] MAX_PER_ADDRESS reached (" + model.address + ") : disconnected"
                            : "[!] UID NOT VALID : disconnected");
        model.line("[!] JOIN ATTEMPT : FAILED");
    } else {
        FUZZ_CHECK(result.admitted == session && !result.refused, "admission not reported");
        const nanoseconds interval =
            model.rules.floodRate == 0 ? nanoseconds(0) : nanoseconds(std::chrono::seconds(1)) / model.rules.floodRate;
        const nanoseconds cap = interval * std::max(model.rules.floodBurst, 1u);
        model.members.push_back({session, uid, model.address, {}, {}, {interval, cap, cap, model.now}, {}, 0});
        model.line("[*] " + uid + " : JOIN");
    }
    model.count();
}

// What the model expects of one packet body from `sender`.
void expectRelay(Model& model, Member& sender, const std::string& body)
{
    const std::string text = extractString(body);
    if (relayable(sender.uid, text)) {
        model.broadcast(encodeFrame(model.roster()) + (text.empty() ? std::string() : encodeFrame(text)));
        return;
    }
    if (sender.noticed && model.now - *sender.noticed < std::chrono::seconds(10)) {
        ++sender.heldBack;
        return;
    }
    model.line("[!] " + sender.uid + " : LINE REFUSED" +
               (sender.heldBack ? " (x" + std::to_string(sender.heldBack) + ")" : ""));
    sender.noticed = model.now;
    sender.heldBack = 0;
}

void relay(Room& room, Model& model, std::size_t index, const std::string& body)
{
    if (model.members.empty())
        return;
    Member& sender = model.members[index % model.members.size()];
    room.relay(*sender.session, body, model.now);
    expectRelay(model, sender, body);
}

void depart(Room& room, Model& model, std::size_t index)
{
    const auto leaver = model.members.begin() + static_cast<std::ptrdiff_t>(index);
    const Session* const session = leaver->session;
    model.line("[*] " + leaver->uid + ", : LEAVE");
    model.members.erase(leaver);
    room.depart(*session);
    model.broadcast(encodeFrame(model.roster()));
    model.count();
}

// `bytes` arrive from a member and the room takes what it may, at most
// `most` packets; a member whose input broke or floods leaves, as the server
// makes it.
void serve(Room& room, Model& model, std::size_t index, const std::string& bytes, std::size_t most)
{
    if (model.members.empty())
        return;
    index %= model.members.size();
    Member& member = model.members[index];
    if (member.waiting.size() < 2 * kMaxFrameBytes) { // as the server stops reading
        member.session->inbox().append(bytes.data(), bytes.size());
        member.waiting += bytes;
    }
    const Room::Intake intake = room.serve(*member.session, model.now, most);
    std::string& waiting = member.waiting;
    std::size_t at = 0; // the first byte not taken
    // A header is judged as soon as it is whole and next in line.
    const auto announced = [&] { return waiting.size() - at < kFrameHeaderBytes ? 0 : decodeSize(&waiting[at]); };
    for (std::size_t taken = 0; taken < most && waiting.size() - at >= kFrameHeaderBytes; ++taken) {
        const std::size_t size = announced();
        if (size > kMaxFrameBytes || waiting.size() - at - kFrameHeaderBytes < size || !member.credit.spend(model.now))
            break;
        expectRelay(model, member, waiting.substr(at + kFrameHeaderBytes, size));
        at += kFrameHeaderBytes + size;
    }
    const bool broken = announced() > kMaxFrameBytes;
    waiting.erase(0, at);
    const bool flooding = !broken && model.rules.floodRate != 0 && waiting.size() > Session::kMaxWaitingInput;
    FUZZ_CHECK(intake == (broken     ? Room::Intake::Broken
                          : flooding ? Room::Intake::Flooding
                                     : Room::Intake::Open),
               "input taken otherwise than the budget allows");
    FUZZ_CHECK(broken || member.session->inbox().buffered() == waiting.size(), "waiting input differs");
    if (flooding)
        model.line("[!] " + member.uid + " : FLOODING : disconnected");
    if (broken || flooding)
        depart(room, model, index);
}

// One flush step as the server runs it: every member is offered what it is
// owed, then the broadcast starts afresh, then those that failed depart.
// Member i takes at most allowances[i % n] bytes per write; 0xFF fails it.
void flush(Room& room, Model& model, const std::string& allowances)
{
    std::vector<const Session*> gone;
    for (std::size_t i = 0; i < model.members.size(); ++i) {
        Member& member = model.members[i];
        const unsigned allowance =
            allowances.empty() ? 0xFE : static_cast<unsigned char>(allowances[i % allowances.size()]);
        const auto write = [&](const char* data, std::size_t size) -> std::optional<std::size_t> {
            if (allowance == 0xFF)
                return std::nullopt;
            // 0xFE takes everything; otherwise a few bytes at a time.
            const std::size_t taken = allowance == 0xFE ? size : std::min<std::size_t>(size, allowance % 64);
            FUZZ_CHECK(member.owed.compare(0, taken, data, taken) == 0, "bytes handed out of order or not owed");
            member.owed.erase(0, taken);
            return taken;
        };
        // A broken connection shows only when something is written to it.
        const bool tried = !member.owed.empty();
        const Session::FlushResult result = member.session->flush(room.broadcastFor(*member.session), write);
        const bool overflow = member.owed.size() > Session::kMaxQueuedBytes;
        if ((allowance == 0xFF && tried) || overflow) {
            FUZZ_CHECK(result == Session::FlushResult::Failed, "a failed or overflowing member not given up");
            gone.push_back(member.session);
            continue;
        }
        FUZZ_CHECK(result != Session::FlushResult::Failed, "a healthy member given up");
        FUZZ_CHECK(member.session->queued() == member.owed.size(), "queued bytes differ from those not taken");
        FUZZ_CHECK((result == Session::FlushResult::Flushed) == member.owed.empty(), "flush result misreports");
    }
    room.endPass();
    FUZZ_CHECK(!room.broadcasting(), "broadcast kept after the pass");
    for (const Session* session : gone) {
        const auto place = std::find_if(model.members.begin(), model.members.end(),
                                        [&](const Member& m) { return m.session == session; });
        depart(room, model, static_cast<std::size_t>(place - model.members.begin()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteSource in(data, size);
    std::ostringstream log;
    Model model;
    model.rules = rulesFrom(in.byte());
    Room room(log, model.rules);
    checkRoom(room, model, log);
    while (!in.empty()) {
        switch (in.byte() % 11) {
        case 0: // any bytes as a UID
            join(room, model, in.shortString(14));
            break;
        case 1: // a valid UID from a small set, so the room fills up and UIDs collide
            join(room, model, "u" + std::to_string(in.byte() % 60));
            break;
        case 2:
            room.joinFailed();
            model.line("[!] JOIN ATTEMPT : FAILED");
            model.count();
            break;
        case 3: { // any body, as a hostile member may send
            const std::size_t sender = in.byte();
            relay(room, model, sender, in.shortString(40));
            break;
        }
        case 4: { // a line in the sender's own name, with any text
            const std::size_t sender = in.byte();
            const std::string text = in.shortString(130);
            if (!model.members.empty())
                relay(room, model, sender, encodeBody(model.members[sender % model.members.size()].uid + ": " + text));
            break;
        }
        case 5: { // a line in another member's name
            const std::size_t sender = in.byte();
            const std::size_t other = in.byte();
            if (!model.members.empty())
                relay(room, model, sender,
                      encodeBody(model.members[other % model.members.size()].uid + ": " + in.shortString(20)));
            break;
        }
        case 6:
            if (!model.members.empty())
                depart(room, model, in.byte() % model.members.size());
            break;
        case 7:
            flush(room, model, in.shortString(8));
            break;
        case 8: // up to 12.75 s pass
            model.now += std::chrono::milliseconds(50) * in.byte();
            break;
        case 9: // the next joins come from this address
            model.address = "a" + std::to_string(in.byte() % 4);
            break;
        case 10: { // some bytes, repeated up to 4096 times, arrive from a member
            const std::size_t sender = in.byte();
            const std::size_t most = in.byte();
            const std::size_t times = 1 + in.byte() * 16u;
            const std::string piece = in.shortString(48);
            std::string bytes;
            for (std::size_t i = 0; i < times; ++i)
                bytes += piece;
            serve(room, model, sender, bytes, most);
            break;
        }
        }
        checkRoom(room, model, log);
    }
    flush(room, model, std::string(1, '\xFE'));
    for (const Member& member : model.members)
        FUZZ_CHECK(member.owed.empty() && member.session->queued() == 0, "bytes left after a full flush");
    return 0;
}
