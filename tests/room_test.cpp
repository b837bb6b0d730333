#include "protocol/frame.hpp"
#include "protocol/line.hpp"
#include "protocol/tokens.hpp"
#include "server/Outbox.hpp"
#include "server/Room.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace parlana {

namespace {

/// A connection that takes every byte it is offered.
struct TakeAll {
    std::string* into;
    std::optional<std::size_t> operator()(const char* data, std::size_t size) const
    {
        into->append(data, size);
        return size;
    }
};

/// A room on the test's clock.
struct ClockedRoom : Room {
    using Room::Room;
    JoinResult join(std::unique_ptr<Session> s, const std::string& uid) { return Room::join(std::move(s), uid, now); }
    void relay(Session& sender, std::string_view body) { Room::relay(sender, body, now); }
    TimePoint now{};
};

class RoomTest : public ::testing::Test {
protected:
    Session* join(const std::string& uid) { return room.join(std::make_unique<Session>("127.0.0.1"), uid).admitted; }

    /// Puts `count` lines of 12 bytes in the input of `member`, whose UID is one letter.
    static void send(Session& member, std::size_t count)
    {
        for (const std::string line = encodeFrame(member.uid() + ": x"); count-- > 0;)
            member.inbox().append(line.data(), line.size());
    }

    /// One flush step in which every member takes everything: the strings
    /// each member was sent.
    std::map<const Session*, std::vector<std::string>> flush()
    {
        std::map<const Session*, std::vector<std::string>> sent;
        for (const auto& member : room.members()) {
            std::string bytes;
            EXPECT_EQ(member->flush(room.broadcastFor(*member), TakeAll{&bytes}), Session::FlushResult::Flushed);
            sent[member.get()] = decodeTexts(bytes);
        }
        room.endPass();
        return sent;
    }

    std::vector<std::string> logLines()
    {
        std::vector<std::string> lines;
        std::istringstream in(log.str());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        log.str("");
        return lines;
    }

    /// The one packet queued for a refused connection.
    static std::vector<std::string> refusal(Session& refused)
    {
        std::string bytes;
        refused.flush({}, TakeAll{&bytes});
        return decodeTexts(bytes);
    }

    std::ostringstream log;
    ClockedRoom room{log};
};

} // namespace

TEST_F(RoomTest, JoinsAreSilentOnTheWireAndBuildTheRoster)
{
    Session* alice = join("alice");
    Session* bob = join("bob");
    ASSERT_TRUE(alice && bob);
    EXPECT_EQ(room.roster(), "$%$uids$%$,alice,bob,");
    EXPECT_FALSE(room.broadcasting());
    EXPECT_EQ(flush()[alice], std::vector<std::string>{});
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[*] alice : JOIN", "[*] CONNECTED USERS : 1", "[*] bob : JOIN",
                                                    "[*] CONNECTED USERS : 2"}));
}

TEST_F(RoomTest, OwnLinesAndEmptyPacketsGoToEveryoneInAdmissionOrderSenderIncluded)
{
    Session* alice = join("alice");
    Session* bob = join("bob");
    room.relay(*bob, encodeBody("bob: hi @alice"));
    room.relay(*bob, encodeBody(""));  // an empty string: roster alone
    room.relay(*alice, std::string()); // an empty packet: roster alone
    room.relay(*alice, encodeSize(9)); // a length past the end reads as empty
    room.relay(*alice, encodeBody("alice: " + std::string(kMaxTypedBytes, '~')) + "trailing bytes ignored");
    room.relay(*alice, encodeBody("alice: ")); // nothing typed, still in her name
    const std::string roster = "$%$uids$%$,alice,bob,";
    const std::vector<std::string> expected{
        roster, "bob: hi @alice", roster, roster, roster, roster, "alice: " + std::string(kMaxTypedBytes, '~'),
        roster, "alice: "};
    const auto sent = flush();
    EXPECT_EQ(sent.at(alice), expected);
    EXPECT_EQ(sent.at(bob), expected);
    EXPECT_EQ(logLines().size(), 4u); // the joins only
}

TEST_F(RoomTest, LinesNotInTheSendersOwnNameOrNotTypableReachNobodyAndAreNoticedOncePerTenSeconds)
{
    Session* alice = join("alice");
    Session* bob = join("bob");
    logLines();
    const std::string refused[] = {
        kUidErrorToken,
        kLimitToken,
        kRosterToken + ",ghost,",
        "bob: I quit",
        "alic: hi",
        "alicex: hi",
        "Alice: hi",
        "alice:hi",
        "alice",
        " alice: hi",
        "alice: " + std::string(kMaxTypedBytes + 1, '~'),
        "alice: tab\there",
        "alice: two\nlines",
        "alice: back\rto the start",
        "alice: erase\b",
    };
    for (const std::string& line : refused)
        room.relay(*alice, encodeBody(line));
    EXPECT_FALSE(room.broadcasting());
    const auto sent = flush();
    EXPECT_TRUE(sent.at(alice).empty());
    EXPECT_TRUE(sent.at(bob).empty());
    EXPECT_EQ(logLines(), std::vector<std::string>{"[!] alice : LINE REFUSED"});
    room.now += NoticeThrottle::kPeriod - std::chrono::nanoseconds(1);
    room.relay(*alice, encodeBody(kLimitToken)); // held back too
    room.relay(*bob, encodeBody(kLimitToken));   // bob's own
    room.now += std::chrono::nanoseconds(1);
    room.relay(*alice, encodeBody(kLimitToken));
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[!] bob : LINE REFUSED", "[!] alice : LINE REFUSED (x15)"}));
    ASSERT_EQ(room.members().size(), 2u); // the sender stays
    room.relay(*alice, encodeBody("alice: still here"));
    EXPECT_EQ(flush().at(bob), (std::vector<std::string>{"$%$uids$%$,alice,bob,", "alice: still here"}));
}

TEST_F(RoomTest, PacketsBeyondTheBudgetWaitInOrderAndMoreThan64KiBWaitingForItIsFlooding)
{
    Session* alice = join("alice");
    Session* mallory = join("mallory");
    std::string frames; // 60 of 19 bytes
    for (int i = 10; i < 70; ++i)
        frames += encodeFrame("mallory: " + std::to_string(i));
    mallory->inbox().append(frames.data(), frames.size());
    // At most what one pass takes, the rest of the burst, a refill 100 ms on; a minute on, a burst, no more.
    const int after[] = {0, 0, 99, 100, 60000}, most[] = {16, 16, 16, 16, 99}, taken[] = {16, 20, 20, 21, 41};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(room.serve(*mallory, room.now + std::chrono::milliseconds(after[i]), most[i]), Room::Intake::Open);
        EXPECT_EQ(mallory->inbox().buffered(), (60u - taken[i]) * 19);
    }
    const std::vector<std::string> sent = flush().at(alice);
    ASSERT_EQ(sent.size(), 2u * 41);
    EXPECT_EQ(sent[1] + sent.back(), "mallory: 10mallory: 50");
    const std::string partial = encodeSize(kMaxFrameBytes) + std::string(Session::kMaxWaitingInput - 19 * 19 - 4, '.');
    mallory->inbox().append(partial.data(), partial.size()); // 64 KiB waits, the last frame not yet whole
    EXPECT_EQ(room.serve(*mallory, room.now, 0), Room::Intake::Open);
    mallory->inbox().append(".", 1);
    EXPECT_EQ(room.serve(*mallory, room.now + std::chrono::hours(1), 0), Room::Intake::Open); // waiting for a pass
    EXPECT_EQ(room.serve(*mallory, room.now, 0), Room::Intake::Flooding);
    EXPECT_EQ(logLines().back(), "[!] mallory : FLOODING : disconnected");
}

TEST_F(RoomTest, AClosedMemberIsServedAtItsBudgetForFiveSecondsAndItsAddressKeepsWhatItLeftWith)
{
    Session* m = room.join(std::make_unique<Session>("10.0.0.1"), "m").admitted;
    send(*m, 100);
    room.closed(*m, room.now + Room::kCloseDrain);
    logLines();
    EXPECT_EQ(room.serve(*m, room.now, 16), Room::Intake::Open);                       // one pass's share
    EXPECT_EQ(room.serve(*m, room.now + Room::kCloseDrain, 16), Room::Intake::Closed); // its whole budget, no more
    EXPECT_EQ(logLines(), std::vector<std::string>{"[!] m : 64 PACKETS DROPPED AT CLOSE"});
    room.depart(*m); // its budget whole 2 s on
    room.now += std::chrono::seconds(6);
    Session* newcomers[] = {room.join(std::make_unique<Session>("10.0.0.1"), "m").admitted,
                            room.join(std::make_unique<Session>("10.0.0.2"), "e").admitted};
    for (Session* newcomer : newcomers) {
        send(*newcomer, 20);
        room.serve(*newcomer, room.now, 20);
    }
    EXPECT_EQ(newcomers[0]->inbox().buffered(), 10 * 12u); // 1 s after m's budget ran out
    EXPECT_EQ(newcomers[1]->inbox().buffered(), 0u);
}

TEST_F(RoomTest, AnAddressWithItsShareOfMembersGetsTheLimitRefusalAndItsOwnLine)
{
    ClockedRoom capped(log, RoomRules{10, 20, 2});
    std::vector<Room::JoinResult> joins;
    for (const char* address : {"10.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.1"})
        joins.push_back(capped.join(std::make_unique<Session>(address), "u" + std::to_string(joins.size())));
    ASSERT_TRUE(joins[0].admitted && joins[1].admitted && joins[2].admitted && joins[3].refused);
    EXPECT_EQ(refusal(*joins[3].refused), std::vector<std::string>{kLimitToken});
    EXPECT_EQ(logLines().at(6), "[!] MAX_PER_ADDRESS reached (10.0.0.1) : disconnected");
    capped.depart(*joins[0].admitted);
    EXPECT_TRUE(capped.join(std::make_unique<Session>("10.0.0.1"), "u4").admitted); // a place freed there
}

TEST_F(RoomTest, RefusalsComeInTheOrderLimitValidityDuplicate)
{
    join("alice");
    EXPECT_NE(join("Alice"), nullptr); // case matters
    logLines();

    Room::JoinResult duplicate = room.join(std::make_unique<Session>(), "alice");
    ASSERT_TRUE(duplicate.refused);
    EXPECT_EQ(duplicate.admitted, nullptr);
    EXPECT_EQ(refusal(*duplicate.refused), std::vector<std::string>{kUidErrorToken});
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[!] UID NOT VALID : disconnected", "[!] JOIN ATTEMPT : FAILED",
                                                    "[*] CONNECTED USERS : 2"}));

    for (const std::string uid : {"", "01234567890", "a,b", "a:b", "$%$uids$%$", "tab\t", "caf\xc3\xa9"}) {
        Room::JoinResult invalid = room.join(std::make_unique<Session>(), uid);
        ASSERT_TRUE(invalid.refused) << uid;
        EXPECT_EQ(refusal(*invalid.refused), std::vector<std::string>{kUidErrorToken}) << uid;
        EXPECT_EQ(logLines(), (std::vector<std::string>{"[!] UID NOT VALID : disconnected", "[!] JOIN ATTEMPT : FAILED",
                                                        "[*] CONNECTED USERS : 2"}));
    }

    for (int i = 2; i < 46; ++i)
        join("u" + std::to_string(i));
    ASSERT_EQ(room.members().size(), Room::MAX_UID_LIMIT);
    logLines();
    // Full, and the UID both taken and invalid: only the limit refusal goes out.
    for (const std::string uid : {"alice", "a,b", "fresh"}) {
        Room::JoinResult full = room.join(std::make_unique<Session>(), uid);
        ASSERT_TRUE(full.refused);
        EXPECT_EQ(refusal(*full.refused), std::vector<std::string>{kLimitToken});
        EXPECT_EQ(logLines(), (std::vector<std::string>{"[!] MAX_UID_LIMIT reached : disconnected",
                                                        "[!] JOIN ATTEMPT : FAILED", "[*] CONNECTED USERS : 46"}));
    }
    EXPECT_EQ(room.members().size(), Room::MAX_UID_LIMIT);
    EXPECT_FALSE(room.broadcasting()); // nobody else heard of any of it
}

TEST_F(RoomTest, DepartureCutsOutExactlyItsOwnItemAndTellsTheOthers)
{
    Session* malice = join("malice");
    Session* bob = join("bob");
    Session* alice = join("alice");
    logLines();

    room.depart(*alice);
    EXPECT_EQ(room.roster(), "$%$uids$%$,malice,bob,");
    room.depart(*bob);
    EXPECT_EQ(room.roster(), "$%$uids$%$,malice,");
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[*] alice, : LEAVE", "[*] CONNECTED USERS : 2", "[*] bob, : LEAVE",
                                                    "[*] CONNECTED USERS : 1"}));
    EXPECT_EQ(flush().at(malice), (std::vector<std::string>{"$%$uids$%$,malice,bob,", "$%$uids$%$,malice,"}));
    // The freed UID can join again, at the end of the roster.
    join("bob");
    EXPECT_EQ(room.roster(), "$%$uids$%$,malice,bob,");
}

TEST_F(RoomTest, ANewcomerIsHandedOnlyWhatFollowsItsAdmission)
{
    Session* alice = join("alice");
    room.relay(*alice, encodeBody("alice: before bob"));
    Session* bob = join("bob");
    room.relay(*bob, std::string());
    const auto sent = flush();
    EXPECT_EQ(sent.at(alice),
              (std::vector<std::string>{"$%$uids$%$,alice,", "alice: before bob", "$%$uids$%$,alice,bob,"}));
    EXPECT_EQ(sent.at(bob), std::vector<std::string>{"$%$uids$%$,alice,bob,"});
}

TEST(AddressMemory, AnAddressWhoseRefusalsWereHeldBackIsForgottenOnceWholeAgain)
{
    AddressMemory memory(TokenBucket(10, 1), TokenBucket(10, 1));
    memory.at("10.0.0.1").refusals.pass({});
    memory.at("10.0.0.1").refusals.pass({}); // held back, and the address never comes back
    for (int i = 0; i < 63; ++i)
        memory.at(std::to_string(i));
    memory.forgetFresh({});
    EXPECT_EQ(memory.find("10.0.0.1"), nullptr);
}

TEST(Outbox, BytesComeOutInOrderAcrossTheRingsEdgeAndItsGrowth)
{
    Outbox outbox;
    std::string in;
    std::string out;
    const auto put = [&](std::size_t count) {
        std::string bytes;
        for (std::size_t i = 0; i < count; ++i)
            bytes.push_back(static_cast<char>('a' + (in.size() + i) % 23));
        in += bytes;
        outbox.append(bytes);
    };
    const auto take = [&](std::size_t count) {
        while (count > 0 && !outbox.empty()) {
            const std::string_view front = outbox.front();
            const std::size_t n = std::min(count, front.size());
            out.append(front.data(), n);
            outbox.consume(n);
            count -= n;
        }
    };
    put(3000);
    take(2500);
    put(3000); // past the edge of the first ring
    const std::size_t capacity = outbox.capacity();
    put(capacity); // grows while its bytes lie in two pieces
    EXPECT_GT(outbox.capacity(), capacity);
    take(1234);
    put(777);
    take(in.size());
    EXPECT_EQ(out, in);
    EXPECT_TRUE(outbox.empty());
}

TEST(Session, ASlowReaderGetsEveryByteInOrderAndAFastOneCostsNoCopy)
{
    // A reader that takes a different amount at every write, often nothing:
    // what it leaves queues up behind what is older and comes out in order.
    Session slow;
    std::string got;
    std::string offered;
    std::size_t writes = 0;
    const auto writer = [&](const char* data, std::size_t size) -> std::optional<std::size_t> {
        const std::size_t taken = std::min(size, writes++ * 37 % 301 % 250);
        got.append(data, taken);
        return taken;
    };
    for (int pass = 0; pass < 400; ++pass) {
        const std::string fresh = encodeFrame("pass " + std::to_string(pass) + std::string(pass % 97, '.'));
        offered += fresh;
        ASSERT_NE(slow.flush(fresh, writer), Session::FlushResult::Failed);
        ASSERT_EQ(got.size() + slow.queued(), offered.size());
    }
    while (slow.flush({}, writer) != Session::FlushResult::Flushed) {
    }
    EXPECT_EQ(got, offered);

    // With nothing older queued, the bytes go out from where they lie.
    bool fromPlace = true;
    const auto takesAll = [&](const char* data, std::size_t size) -> std::optional<std::size_t> {
        fromPlace = fromPlace && data >= offered.data() && data + size <= offered.data() + offered.size();
        return size;
    };
    EXPECT_EQ(slow.flush(offered, takesAll), Session::FlushResult::Flushed);
    EXPECT_TRUE(fromPlace);
}

TEST(Session, AReaderThatFailsOrFallsAMebibyteBehindIsGivenUp)
{
    const auto refuses = [](const char*, std::size_t) -> std::optional<std::size_t> { return 0; };
    const auto broken = [](const char*, std::size_t) -> std::optional<std::size_t> { return std::nullopt; };
    const std::string chunk(64 * 1024, 'x');

    Session sleeper;
    std::size_t offered = 0;
    Session::FlushResult result = Session::FlushResult::Pending;
    while (result == Session::FlushResult::Pending) {
        result = sleeper.flush(chunk, refuses);
        offered += chunk.size();
    }
    EXPECT_EQ(result, Session::FlushResult::Overflowed);
    EXPECT_GT(offered, Session::kMaxQueuedBytes);
    EXPECT_LE(offered, Session::kMaxQueuedBytes + chunk.size());

    Session gone;
    EXPECT_EQ(gone.flush(chunk, broken), Session::FlushResult::Failed);
    Session idle;
    EXPECT_EQ(idle.flush({}, broken), Session::FlushResult::Flushed); // nothing to send, nothing tried
}

} // namespace parlana
