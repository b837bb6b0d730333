// The client's connection without a socket: its joins, its rejoin schedule,
// which refusals it believes, the lines it keeps across a rejoin, and how a
// frame takes in what has arrived. A loopback test covers the real
// transport's refusal to connect anywhere for a name that does not resolve.
#include "client/PacketReceiver.hpp"
#include "client/ServerLink.hpp"

#include "protocol/frame.hpp"
#include "tests/support/FakeTransport.hpp"
#include "tests/support/RecordingPanels.hpp"

#include <SFML/Network/TcpListener.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace parlana {
namespace {

using namespace std::chrono_literals;
using Clock = ServerLink::Clock;
using State = ServerLink::State;
using Progress = Transport::Progress;

const std::string kJoin = encodeFrame("alice") + encodeEmptyFrame();
const std::string kRoster = encodeFrame("$%$uids$%$,alice,bob,");

class LinkTest : public ::testing::Test {
protected:
    /// Pumps the link at `offset` after the start and returns the packets it
    /// then hands out, their strings.
    std::vector<std::string> at(Clock::duration offset)
    {
        link.pump(t0 + offset);
        std::vector<std::string> texts;
        ServerLink::Packet packet;
        while (link.takePacket(packet))
            texts.push_back(packet.text);
        return texts;
    }

    /// Starts with a connection made at once and lets the roster admit it.
    void admitted()
    {
        link.start(t0);
        at(3s);
        wire.inbound = kRoster;
        at(3s);
        ASSERT_TRUE(link.admitted());
    }

    test::WireScript wire;
    ServerLink link{"alice", "chat.example", 5000, std::make_unique<test::FakeTransport>(wire)};
    const Clock::time_point t0 = Clock::time_point{} + 1h;
};

TEST(RejoinSchedule, OneSecondThenDoublingUpToFifteen)
{
    RejoinSchedule schedule;
    std::vector<long> delays;
    for (int i = 0; i < 7; ++i)
        delays.push_back(schedule.next().count());
    EXPECT_EQ(delays, (std::vector<long>{1, 2, 4, 8, 15, 15, 15}));
    schedule.reset();
    EXPECT_EQ(schedule.next().count(), 1);
}

TEST_F(LinkTest, FirstJoinWaitsOutThePauseAndTheRosterAdmits)
{
    link.start(t0);
    at(2900ms);
    EXPECT_EQ(link.state(), State::Connecting);
    EXPECT_EQ(wire.sent.back(), "") << "nothing before the pause is over";
    at(3s);
    EXPECT_EQ(wire.sent.back(), kJoin);
    EXPECT_EQ(link.state(), State::Joining);
    EXPECT_FALSE(link.offerLine("alice: too early")) << "lines are taken once the bar shows the UID";
    wire.inbound = kRoster + encodeFrame("bob: hi");
    EXPECT_EQ(at(3100ms), (std::vector<std::string>{"$%$uids$%$,alice,bob,", "bob: hi"}));
    EXPECT_TRUE(link.admitted());
}

TEST_F(LinkTest, AttemptsFollowTheScheduleAndARejoinJoinsAtOnce)
{
    wire.onConnect = Progress::Failed;
    link.start(t0);
    EXPECT_EQ(link.state(), State::Lost);
    at(999ms);
    EXPECT_EQ(wire.sent.size(), 1u);
    at(1s);
    EXPECT_EQ(wire.sent.size(), 2u) << "tried again after 1 s";
    EXPECT_EQ(link.nextAttempt(), t0 + 3s) << "then after 2 s";

    // An attempt that is not established within 3 s is abandoned.
    wire.onConnect = wire.onConnecting = Progress::Pending;
    at(3s);
    at(5900ms);
    EXPECT_EQ(link.state(), State::Connecting);
    const int closes = wire.closes;
    at(6s);
    EXPECT_EQ(link.state(), State::Lost);
    EXPECT_EQ(wire.closes, closes + 1);
    EXPECT_EQ(link.nextAttempt(), t0 + 10s);

    wire.onConnecting = Progress::Done;
    at(10s);
    EXPECT_EQ(wire.sent.back(), kJoin) << "no pause for a rejoin";
    EXPECT_EQ(link.state(), State::Joining);
}

// A refusal ends the run only while the client has never been admitted;
// after that it is its own ghost or a room that may empty: it tries again.
TEST_F(LinkTest, WhichRefusalsAreBelieved)
{
    link.start(t0);
    at(3s);
    wire.inbound = encodeFrame("$%$uid_error$%$");
    wire.peerGone = true; // the server closes right after refusing
    EXPECT_EQ(at(3100ms), std::vector<std::string>{"$%$uid_error$%$"}) << "what came before the close is read";
    EXPECT_EQ(link.state(), State::Refused);
    at(60s);
    EXPECT_EQ(wire.sent.size(), 1u) << "a refused client never tries again";
}

TEST_F(LinkTest, RefusedRejoinsAreTriedAgainAndLateRefusalsIgnored)
{
    admitted();
    wire.inbound = encodeFrame("$%$uid_error$%$") + encodeFrame("$%$limit_reached$%$ x") + encodeFrame("bob: still");
    EXPECT_EQ(at(4s), std::vector<std::string>{"bob: still"})
        << "refusals after the roster are neither shown nor acted on";
    EXPECT_TRUE(link.admitted());

    wire.peerGone = true;
    at(5s);
    EXPECT_EQ(link.state(), State::Lost);
    EXPECT_EQ(link.nextAttempt(), t0 + 6s);
    for (const char* refusal : {"$%$uid_error$%$", "$%$limit_reached$%$"}) {
        at(link.nextAttempt() - t0);
        ASSERT_EQ(link.state(), State::Joining);
        wire.inbound = encodeFrame(refusal);
        EXPECT_TRUE(at(link.nextAttempt() - t0).empty());
        EXPECT_EQ(link.state(), State::Lost) << refusal;
    }
    EXPECT_EQ(link.nextAttempt(), t0 + 6s + 2s + 4s) << "the schedule goes on doubling";
    at(12s);
    wire.inbound = kRoster;
    at(12s);
    EXPECT_TRUE(link.admitted());
}

TEST_F(LinkTest, LinesNotHandedOverWholeGoAgainAfterTheRejoin)
{
    admitted();
    ASSERT_TRUE(link.offerLine("alice: zero"));
    const std::string one = encodeFrame("alice: one");
    const std::string two = encodeFrame("alice: two");
    wire.sendRoom = 5;
    ASSERT_TRUE(link.offerLine("alice: one"));
    ASSERT_TRUE(link.offerLine("alice: two"));
    EXPECT_EQ(wire.sent.back(), kJoin + encodeFrame("alice: zero") + one.substr(0, 5));

    wire.peerGone = true;
    at(4s);
    EXPECT_EQ(link.state(), State::Lost);
    EXPECT_EQ(link.queued(), one.size() + two.size()) << "both kept whole; the one handed over is not";
    EXPECT_FALSE(link.offerLine("alice: three")) << "Enter keeps the typed line while away";

    wire.sendRoom = std::numeric_limits<std::size_t>::max();
    at(5s);
    EXPECT_EQ(wire.sent.back(), kJoin) << "kept lines wait for the roster";
    wire.inbound = kRoster;
    at(5s);
    at(5s);
    EXPECT_EQ(wire.sent.back(), kJoin + one + two);
}

TEST_F(LinkTest, StalledServerGetsEveryLineWholeAndInOrderUpToTheCap)
{
    admitted();
    wire.sendRoom = 0;
    std::string expected = kJoin;
    int taken = 0;
    while (link.offerLine("alice: line " + std::to_string(taken))) {
        expected += encodeFrame("alice: line " + std::to_string(taken));
        ++taken;
    }
    EXPECT_GT(link.queued(), kMaxOutgoingBytes);
    EXPECT_LE(link.queued(), kMaxOutgoingBytes + 30) << "it stops taking lines right past the cap";
    wire.sendRoom = std::numeric_limits<std::size_t>::max();
    at(4s);
    EXPECT_EQ(wire.sent.back(), expected);
    EXPECT_EQ(link.queued(), 0u);
}

TEST_F(LinkTest, OversizedPacketLosesTheConnection)
{
    admitted();
    wire.inbound = encodeFrame(std::string(kMaxFrameBytes - 3, 'x')).substr(0, 8);
    EXPECT_TRUE(at(4s).empty());
    EXPECT_EQ(link.state(), State::Lost);
}

TEST_F(LinkTest, AFrameTakesEveryPacketInOrderAndListsOnlyWhileAdmitted)
{
    test::RecordingPane pane;
    test::RecordingRoster roster;
    ClientState state;
    PacketReceiver receiver;
    link.start(t0);
    receiver.receive(link, pane, roster, state, t0 + 3s);
    wire.inbound = kRoster + encodeFrame("bob: 1") + kRoster + encodeFrame("bob: 2") +
                   encodeFrame("$%$uids$%$,alice,") + encodeEmptyFrame();
    EXPECT_EQ(receiver.receive(link, pane, roster, state, t0 + 3s, 1h), 6u);
    EXPECT_EQ(pane.lines, (std::vector<std::string>{"bob: 1", "bob: 2", ""}));
    EXPECT_EQ(roster.uids, std::vector<std::string>{"alice"});

    wire.inbound = encodeFrame("bob: 3") + encodeFrame("bob: 4");
    EXPECT_EQ(receiver.receive(link, pane, roster, state, t0 + 4s, 0s), 1u) << "the budget spent, the rest waits";
    EXPECT_TRUE(link.hasPacket());

    wire.peerGone = true;
    receiver.receive(link, pane, roster, state, t0 + 5s);
    EXPECT_EQ(pane.lines.back(), "bob: 4") << "what arrived before the loss is shown";
    EXPECT_TRUE(roster.uids.empty()) << "nobody is listed without a connection";
    EXPECT_EQ(link.state(), State::Lost);
}

// A server that moved is found where it is now: every attempt looks the
// name up afresh.
TEST(AddressLookup, EveryStartLooksTheNameUpAgain)
{
    std::atomic<int> lookups{0};
    AddressLookup lookup(
        [&](const std::string&) { return sf::IpAddress(127, 0, 0, static_cast<sf::Uint8>(++lookups)); });
    for (int attempt = 1; attempt <= 2; ++attempt) {
        lookup.start("chat.example");
        for (int waited = 0; !lookup.result() && waited < 10000; ++waited)
            std::this_thread::sleep_for(1ms);
        EXPECT_EQ(lookup.result(), sf::IpAddress(127, 0, 0, static_cast<sf::Uint8>(attempt)));
    }
}

// An unresolved name must not fall back to 0.0.0.0, this very host.
TEST(TcpTransport, NamesAreLookedUpAndAnUnresolvedOneConnectsNowhere)
{
    sf::TcpListener listener;
    ASSERT_EQ(listener.listen(sf::Socket::AnyPort), sf::Socket::Done);
    listener.setBlocking(false);
    TcpTransport transport;
    EXPECT_EQ(transport.connect("", listener.getLocalPort()), Progress::Failed);
    sf::TcpSocket arrived;
    EXPECT_NE(listener.accept(arrived), sf::Socket::Done);

    Progress progress = transport.connect("localhost", listener.getLocalPort());
    for (int waited = 0; progress == Progress::Pending && waited < 10000; ++waited, std::this_thread::sleep_for(1ms))
        progress = transport.connecting();
    EXPECT_EQ(progress, Progress::Done);
    EXPECT_EQ(listener.accept(arrived), sf::Socket::Done);
}

} // namespace
} // namespace parlana
