#include "protocol/frame.hpp"
#include "protocol/tokens.hpp"
#include "server/Room.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace parlana {

namespace {

/// The strings of the packets queued for a participant, taken off its queue.
std::vector<std::string> received(Participant& p)
{
    return decodeTexts(p.takeQueued());
}

class RoomTest : public ::testing::Test {
protected:
    Participant* join(const std::string& uid) { return room.join(std::make_unique<Participant>(), uid).admitted; }
    std::vector<std::string> logLines()
    {
        std::vector<std::string> lines;
        std::istringstream in(log.str());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        log.str("");
        return lines;
    }
    void drainAll()
    {
        for (const auto& p : room.members())
            p->takeQueued();
    }

    std::ostringstream log;
    Room room{log};
};

} // namespace

TEST_F(RoomTest, JoinsAreSilentOnTheWireAndBuildTheRoster)
{
    Participant* alice = join("alice");
    Participant* bob = join("bob");
    ASSERT_TRUE(alice && bob);
    EXPECT_EQ(room.roster(), "$%$uids$%$,alice,bob,");
    EXPECT_EQ(alice->queued(), 0u);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[*] alice : JOIN", "[*] CONNECTED USERS : 1", "[*] bob : JOIN",
                                                    "[*] CONNECTED USERS : 2"}));
}

TEST_F(RoomTest, RelayGoesToEveryoneInAcceptanceOrderSenderIncluded)
{
    Participant* alice = join("alice");
    Participant* nameless = join("");
    Participant* bob = join("bob");
    room.relay(encodeBody("bob: hi @alice"));
    room.relay(encodeBody(""));                // an empty string: roster alone
    room.relay(std::string());                 // an empty packet: roster alone
    room.relay(encodeBody("$%$uid_error$%$")); // relayed without a look inside
    const std::string roster = "$%$uids$%$,alice,bob,";
    const std::vector<std::string> expected{roster, "bob: hi @alice", roster, roster, roster, "$%$uid_error$%$"};
    EXPECT_EQ(received(*alice), expected);
    EXPECT_EQ(received(*nameless), expected);
    EXPECT_EQ(received(*bob), expected);
}

TEST_F(RoomTest, RefusalsAndTheLimitCountNamelessConnections)
{
    join("alice");
    EXPECT_EQ(room.join(std::make_unique<Participant>(), "Alice").admitted != nullptr, true); // case matters
    for (int i = 0; i < 20; ++i)
        join("");
    logLines();

    Room::JoinResult duplicate = room.join(std::make_unique<Participant>(), "alice");
    ASSERT_TRUE(duplicate.refused);
    EXPECT_EQ(duplicate.admitted, nullptr);
    EXPECT_EQ(received(*duplicate.refused), std::vector<std::string>{kUidErrorToken});
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[!] UID NOT VALID : disconnected", "[!] JOIN ATTEMPT : FAILED",
                                                    "[*] CONNECTED USERS : 22"}));

    for (int i = 0; i < 24; ++i)
        join("");
    ASSERT_EQ(room.members().size(), Room::MAX_UID_LIMIT);
    logLines();
    // Full and a duplicate at once: only the limit refusal goes out.
    Room::JoinResult full = room.join(std::make_unique<Participant>(), "alice");
    ASSERT_TRUE(full.refused);
    EXPECT_EQ(received(*full.refused), std::vector<std::string>{kLimitToken});
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[!] MAX_UID_LIMIT reached : disconnected",
                                                    "[!] JOIN ATTEMPT : FAILED", "[*] CONNECTED USERS : 46"}));
    EXPECT_EQ(room.members().size(), Room::MAX_UID_LIMIT);
    EXPECT_EQ(room.roster(), "$%$uids$%$,alice,Alice,");
}

TEST_F(RoomTest, DepartureCutsOutExactlyItsOwnItem)
{
    Participant* malice = join("malice");
    Participant* bob = join("bob");
    Participant* alice = join("alice");
    Participant* comma = join("x,bob"); // shows as two UIDs, but is one item here
    Participant* nameless = join("");
    logLines();

    room.depart(*alice);
    EXPECT_EQ(room.roster(), "$%$uids$%$,malice,bob,x,bob,");
    room.depart(*bob);
    EXPECT_EQ(room.roster(), "$%$uids$%$,malice,x,bob,");
    room.depart(*nameless);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[*] alice, : LEAVE", "[*] CONNECTED USERS : 4", "[*] bob, : LEAVE",
                                                    "[*] CONNECTED USERS : 3", "[*] CONNECTED USERS : 2"}));
    // Each departure sent the remaining clients the new roster, and nothing else.
    EXPECT_EQ(received(*malice), (std::vector<std::string>{"$%$uids$%$,malice,bob,x,bob,", "$%$uids$%$,malice,x,bob,",
                                                           "$%$uids$%$,malice,x,bob,"}));
    EXPECT_EQ(received(*comma).size(), 3u);
    // The freed UID can join again, at the end of the roster.
    join("bob");
    EXPECT_EQ(room.roster(), "$%$uids$%$,malice,x,bob,bob,");
}

TEST_F(RoomTest, FailedJoinKeepsNothing)
{
    join("alice");
    logLines();
    room.joinFailed();
    EXPECT_EQ(room.members().size(), 1u);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[!] JOIN ATTEMPT : FAILED", "[*] CONNECTED USERS : 1"}));
}

} // namespace parlana
