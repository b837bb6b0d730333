#include "client/Dispatch.hpp"
#include "tests/support/RecordingPanels.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parlana {
namespace {

using FakePane = test::RecordingPane;
using FakeRoster = test::RecordingRoster;

class DispatchTest : public ::testing::Test {
protected:
    PacketKind dispatch(const std::string& text) { return dispatch_packet(text, pane, roster, state); }

    FakePane pane;
    FakeRoster roster;
    ClientState state;
};

using Uids = std::vector<std::string>;

TEST(SplitRoster, DropsHeaderAndTrailingComma)
{
    EXPECT_EQ(split_roster("$%$uids$%$,alice,bob,"), (Uids{"alice", "bob"}));
    EXPECT_EQ(split_roster("$%$uids$%$,"), Uids{});
    EXPECT_EQ(split_roster("$%$uids$%$"), Uids{});
    EXPECT_EQ(split_roster("$%$uids$%$,alice,bob"), (Uids{"alice", "bob"}));
}

TEST(SplitRoster, AdjacentCommasGiveEmptyUid)
{
    EXPECT_EQ(split_roster("$%$uids$%$,alice,,bob,"), (Uids{"alice", "", "bob"}));
    EXPECT_EQ(split_roster("$%$uids$%$,,"), Uids{""});
}

TEST(SplitRoster, FirstPieceIsDroppedWhateverItHolds)
{
    EXPECT_EQ(split_roster("$%$uids$%$carol,alice,"), Uids{"alice"});
}

TEST(ClassifyPacket, TokensCountOnlyAtTheStart)
{
    EXPECT_EQ(classify_packet("$%$uids$%$,alice,"), PacketKind::Roster);
    EXPECT_EQ(classify_packet("$%$uid_error$%$"), PacketKind::UidRefused);
    EXPECT_EQ(classify_packet("$%$limit_reached$%$"), PacketKind::ServerFull);
    EXPECT_EQ(classify_packet("bob: $%$uids$%$,alice,"), PacketKind::ChatLine);
    EXPECT_EQ(classify_packet(" $%$uid_error$%$"), PacketKind::ChatLine);
    EXPECT_EQ(classify_packet("x$%$limit_reached$%$"), PacketKind::ChatLine);
    EXPECT_EQ(classify_packet("$%$uids"), PacketKind::ChatLine);
    EXPECT_EQ(classify_packet(""), PacketKind::ChatLine);
}

TEST_F(DispatchTest, RosterPacketReplacesTheRoster)
{
    dispatch("$%$uids$%$,alice,bob,");
    EXPECT_EQ(roster.uids, (Uids{"alice", "bob"}));
    dispatch("$%$uids$%$,bob,");
    EXPECT_EQ(roster.uids, Uids{"bob"});
    dispatch("$%$uids$%$,");
    EXPECT_TRUE(roster.uids.empty());
    EXPECT_TRUE(pane.lines.empty());
    EXPECT_TRUE(state.client_status);
}

TEST_F(DispatchTest, ChatLineStartingWithRosterHeaderIsTakenForARoster)
{
    roster.uids = {"alice"};
    EXPECT_EQ(dispatch("$%$uids$%$: hello"), PacketKind::Roster);
    EXPECT_TRUE(roster.uids.empty());
    EXPECT_TRUE(pane.lines.empty());
}

TEST_F(DispatchTest, UidRefusalEntersErrorMode)
{
    dispatch("$%$uid_error$%$");
    EXPECT_FALSE(state.client_status);
    EXPECT_EQ(state.error_msg, "ERROR: UID not valid, try another UID");
    EXPECT_TRUE(pane.lines.empty());
}

TEST_F(DispatchTest, LimitRefusalEntersErrorMode)
{
    dispatch("$%$limit_reached$%$ and more");
    EXPECT_FALSE(state.client_status);
    EXPECT_EQ(state.error_msg, "ERROR: SERVER MAX CONNECTION REACHED");
    EXPECT_TRUE(pane.lines.empty());
}

TEST_F(DispatchTest, TokenLaterInTheStringIsAChatLine)
{
    dispatch("bob: $%$uid_error$%$");
    dispatch("bob: $%$limit_reached$%$");
    dispatch("bob: $%$uids$%$,mallory,");
    EXPECT_TRUE(state.client_status);
    EXPECT_TRUE(state.error_msg.empty());
    EXPECT_TRUE(roster.uids.empty());
    EXPECT_EQ(pane.lines, (Uids{"bob: $%$uid_error$%$", "bob: $%$limit_reached$%$", "bob: $%$uids$%$,mallory,"}));
}

TEST_F(DispatchTest, EmptyStringIsAnEmptyChatLine)
{
    EXPECT_EQ(dispatch(""), PacketKind::ChatLine);
    EXPECT_EQ(pane.lines, Uids{""});
}

} // namespace
} // namespace parlana
