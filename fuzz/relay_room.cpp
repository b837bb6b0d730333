// The relay core driven by a script of joins (UIDs from the input, or drawn
// from a small set so that the room fills up and UIDs collide), failed joins,
// packets from members (any body, lines in the sender's own name, lines in
// another member's name), closes, departures and flush steps in which each member
// takes some bytes, none, or fails, and time passing. After every step it is
// checked against a model of the room:
// - the roster lists the admitted UIDs in admission order, each with its
//   comma, and never more than 46;
// - only valid, unused UIDs are admitted while there is room and joins are
//   left (50, then 1 in 6 s); every refusal is one packet, the limit first;
// - a packet is relayed (roster, then the line unless it is empty) exactly
//   when its string is empty or a line in the sender's own name of at most
//   112 typable bytes; nothing else reaches anyone;
// - a member's packets are taken in order, 16 a pass, as far as its budget
//   (rate and burst from the first byte; at a join, the emptiest left) allows,
//   and a closed member's until its time is up, the rest then dropped;
// - every member is handed, in order and without a byte lost or repeated,
//   the bytes owed to it since its admission, whatever it takes at a time;
//   what it has not taken stays queued, and past 1 MiB it is given up;
// - the console says exactly what happened, line by line (refusals throttled).
//
// Input: a sequence of steps, each an opcode byte followed by its operands.

#include "fuzz/fuzz_support.hpp"

#include "protocol/frame.hpp"
#include "protocol/line.hpp"
#include "protocol/tokens.hpp"
#include "protocol/uid.hpp"
#include "server/Room.hpp"

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

using namespace parlana;

namespace {

using std::chrono::nanoseconds;
using namespace std::chrono_literals;

struct Member {
    Session* session;
    std::string uid;
    /// Bytes the member should have been handed and has not taken yet.
    std::string owed;
    nanoseconds cost, cap, saved; ///< its budget: time saved up to `cap`
    TimePoint savedAt;
    std::deque<std::string> waiting; ///< strings it sent that the room has not taken
    std::optional<TimePoint> noticed;
    std::size_t heldBack;
    std::optional<TimePoint> leaveBy; ///< set once its connection closed
};

class Model {
public:
    RoomRules rules;
    TimePoint now{};
    std::vector<Member> members;
    std::optional<Member> left;  ///< the member that left the emptiest budget
    nanoseconds joinTime = 300s; ///< saved up to 300 s, 6 s a join
    TimePoint joinTimeAt{};
    NoticeThrottle joinNotices;
    std::string log;

    bool throttled()
    {
        joinTime = std::min<nanoseconds>(300s, joinTime + (now - std::exchange(joinTimeAt, now)));
        if (!rules.floodRate || joinTime >= 6s) {
            joinTime -= rules.floodRate ? 6s : 0s;
            return false;
        }
        if (const std::optional<std::size_t> n = joinNotices.pass(now))
            line("[!] JOIN_RATE reached () : disconnected" + (*n ? " (x" + std::to_string(*n) + ")" : ""));
        return true;
    }

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
            member.owed += member.leaveBy ? "" : bytes;
    }

    void line(const std::string& text) { log += text + "\n"; }
    void count() { line("[*] CONNECTED USERS : " + std::to_string(members.size())); }
};

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
    auto newcomer = std::make_unique<Session>();
    Session* const session = newcomer.get();
    Room::JoinResult result = room.join(std::move(newcomer), uid, model.now);
    const bool throttled = model.throttled();
    const bool full = throttled || model.members.size() >= Room::MAX_UID_LIMIT;
    if (full || !isValidUid(uid) || model.admitted(uid)) {
        FUZZ_CHECK(result.admitted == nullptr && result.refused.get() == session, "refusal not handed back");
        std::string bytes;
        result.refused->flush({}, [&](const char* data, std::size_t size) -> std::optional<std::size_t> {
            bytes.append(data, size);
            return size;
        });
        const std::string& token = full ? kLimitToken : kUidErrorToken;
        FUZZ_CHECK(bytes == encodeFrame(token), "a refused connection did not get exactly its refusal");
        if (throttled)
            return;
        model.line(full ? "[!] MAX_UID_LIMIT reached : disconnected" : "[!] UID NOT VALID : disconnected");
        model.line("[!] JOIN ATTEMPT : FAILED");
    } else {
        FUZZ_CHECK(result.admitted == session && !result.refused, "admission not reported");
        const nanoseconds cost =
            model.rules.floodRate ? nanoseconds(std::chrono::seconds(1)) / model.rules.floodRate : nanoseconds(0);
        const nanoseconds cap = cost * model.rules.floodBurst;
        const auto [saved, at] =
            model.left ? std::pair(model.left->saved, model.left->savedAt) : std::pair(cap, model.now);
        model.members.push_back({session, uid, {}, cost, cap, saved, at, {}, {}, 0, {}});
        model.line("[*] " + uid + " : JOIN");
    }
    model.count();
}

void expect(Model& model, Member& sender, const std::string& text)
{
    if (relayable(sender.uid, text)) {
        model.broadcast(encodeFrame(model.roster()) + (text.empty() ? std::string() : encodeFrame(text)));
    } else if (sender.noticed && model.now - *sender.noticed < std::chrono::seconds(10)) {
        ++sender.heldBack;
    } else {
        model.line("[!] " + sender.uid + " : LINE REFUSED" +
                   (sender.heldBack ? " (x" + std::to_string(sender.heldBack) + ")" : ""));
        sender.noticed = model.now;
        sender.heldBack = 0;
    }
}

void depart(Room& room, Model& model, std::size_t index);

// A pass takes what waits from `m`: at most 16 packets, as far as its budget allows.
void serve(Room& room, Model& model, Member& m)
{
    const Room::Intake intake = room.serve(*m.session, model.now, 16);
    const bool leaving = m.leaveBy && model.now >= *m.leaveBy;
    for (int n = 0; (n < 16 || leaving) && !m.waiting.empty(); ++n, m.waiting.pop_front()) {
        m.saved = std::min(m.cap, m.saved + (model.now - m.savedAt));
        m.savedAt = model.now;
        if (m.saved < m.cost)
            break;
        m.saved -= m.cost;
        expect(model, m, m.waiting.front());
    }
    const bool gone = m.leaveBy && (leaving || m.waiting.empty());
    FUZZ_CHECK(intake == (gone ? Room::Intake::Closed : Room::Intake::Open), "a member cut off or kept");
    FUZZ_CHECK(gone || m.session->inbox().hasFrame() == !m.waiting.empty(), "packets taken otherwise than allowed");
    if (gone && !m.waiting.empty())
        model.line("[!] " + m.uid + " : " + std::to_string(m.waiting.size()) + " PACKETS DROPPED AT CLOSE");
    if (gone)
        depart(room, model, static_cast<std::size_t>(&m - model.members.data()));
}

void relay(Room& room, Model& model, std::size_t index, const std::string& body)
{
    if (model.members.empty())
        return;
    Member& sender = model.members[index % model.members.size()];
    const std::string frame = encodeSize(static_cast<std::uint32_t>(body.size())) + body;
    sender.session->inbox().append(frame.data(), frame.size());
    sender.waiting.push_back(extractString(body));
    serve(room, model, sender);
}

void depart(Room& room, Model& model, std::size_t index)
{
    const auto leaver = model.members.begin() + static_cast<std::ptrdiff_t>(index);
    const Session* const session = leaver->session;
    model.line("[*] " + leaver->uid + ", : LEAVE");
    const auto saved = [&](const Member& m) { return std::min(m.cap, m.saved + (model.now - m.savedAt)); };
    if (model.rules.floodRate && (!model.left || saved(*leaver) < saved(*model.left)))
        model.left = *leaver;
    model.members.erase(leaver);
    room.depart(*session);
    model.broadcast(encodeFrame(model.roster()));
    model.count();
}

// One flush step: every member is offered what it is
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
            const auto given =
                allowance == 0xFF && tried ? Session::FlushResult::Failed : Session::FlushResult::Overflowed;
            FUZZ_CHECK(result == given, "a failed or overflowing member not given up");
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
    const unsigned rules = in.byte(); // rate 10, 0, 7 or 14 a second; burst 20, 1, 2 or 3
    model.rules = {rules & 3 ? (rules & 3) * 7u - 7 : 10u, rules >> 2 & 3 ? rules >> 2 & 3 : 20u, 0};
    Room room(log, model.rules);
    checkRoom(room, model, log);
    while (!in.empty()) {
        switch (in.byte() % 10) {
        case 0: // any bytes as a UID
            join(room, model, in.shortString(14));
            break;
        case 1: // a valid UID from a small set, so the room fills up and UIDs collide
            join(room, model, "u" + std::to_string(in.byte() % 60));
            break;
        case 2:
            room.joinFailed("127.0.0.1", model.now); // loopback: no join limit
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
        case 8: { // time passes; a pass then takes what each member's budget allows
            const unsigned steps = in.byte();
            model.now += std::chrono::milliseconds(50) * steps;
            const nanoseconds joinTime = std::min<nanoseconds>(300s, model.joinTime + (model.now - model.joinTimeAt));
            FUZZ_CHECK(room.mayAwaitJoin({}, steps % 52, model.now) ==
                           (!model.rules.floodRate || joinTime / 6s >= steps % 52),
                       "newcomers awaited beyond the joins left");
            for (std::size_t i = model.members.size(); i-- > 0;)
                serve(room, model, model.members[i]);
            break;
        }
        case 9: // a member's connection closes; with the high bit its peer vanished
            if (const unsigned byte = in.byte(); !model.members.empty()) {
                Member& m = model.members[byte % model.members.size()];
                const TimePoint leaveBy = model.now + (byte & 0x80 ? 0s : Room::kCloseDrain);
                m.leaveBy = std::min(m.leaveBy.value_or(leaveBy), leaveBy);
                room.closed(*m.session, leaveBy);
                m.owed.clear();
                serve(room, model, m);
            }
            break;
        }
        checkRoom(room, model, log);
    }
    flush(room, model, std::string(1, '\xFE'));
    for (const Member& member : model.members)
        FUZZ_CHECK(member.owed.empty() && member.session->queued() == 0, "bytes left after a full flush");
    return 0;
}
