// The client over TLS without a socket: which keys it trusts, that nothing of
// the join goes before the verdict, the user's word on an unknown key, and the
// options that ask for TLS.
#include "client/Arguments.hpp"
#include "client/ServerLink.hpp"

#include "protocol/frame.hpp"
#include "tests/support/FakeTransport.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace parlana {
namespace {

using namespace std::chrono_literals;
using Verdict = ServerTrust::Verdict;
using State = ServerLink::State;

const std::string kKey = "SHA256:" + std::string(64, 'a');
const std::string kOtherKey = "SHA256:" + std::string(64, 'b');

std::string temporaryDirectory()
{
    char pattern[] = "/tmp/parlana-trust-XXXXXX";
    return ::mkdtemp(pattern);
}

class Trust : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(root); }

    /// A link to chat.example:5000 over a played TLS connection showing
    /// `key`, started at t0.
    ServerLink& start(const std::string& key, bool vouchedFor = false)
    {
        wire.key = PeerKey{key, vouchedFor};
        link = std::make_unique<ServerLink>("alice", "chat.example", 5000, std::make_unique<test::FakeTransport>(wire),
                                            ServerTrust(known));
        link->start(t0);
        return *link;
    }

    const std::string root = temporaryDirectory();
    KnownServers known{root + "/parlana/known_servers"};
    test::WireScript wire;
    std::unique_ptr<ServerLink> link;
    const ServerLink::Clock::time_point t0 = ServerLink::Clock::time_point{} + 1h;
};

TEST_F(Trust, WhichKeysPass)
{
    std::string error;
    const ServerTrust pinned(known, kKey);
    EXPECT_EQ(pinned.decide("h", 1, {kKey, false}).verdict, Verdict::Accepted);
    const ServerTrust::Decision other = pinned.decide("h", 1, {kOtherKey, true});
    EXPECT_EQ(other.verdict, Verdict::NotPinned) << "an authority does not outrank the pin";
    EXPECT_EQ(other.expected, kKey);

    ServerTrust trust(known);
    EXPECT_EQ(trust.decide("h", 1, {"", true}).verdict, Verdict::NoKey);
    EXPECT_EQ(trust.decide("h", 1, {kKey, true}).verdict, Verdict::Accepted) << "vouched for by an authority";
    EXPECT_EQ(trust.decide("h", 1, {kKey, false}).verdict, Verdict::Unknown);
    ASSERT_TRUE(trust.trust("h", 1, kKey, error)) << error;
    EXPECT_EQ(trust.decide("h", 1, {kKey, false}).verdict, Verdict::Accepted);
    const ServerTrust::Decision changed = trust.decide("h", 1, {kOtherKey, false});
    EXPECT_EQ(changed.verdict, Verdict::Changed);
    EXPECT_EQ(changed.expected, kKey);

    // Where no file can be written the user's word holds for the run.
    ServerTrust nowhere(KnownServers(root + "/file/parlana"));
    std::ofstream(root + "/file") << "not a directory";
    EXPECT_FALSE(nowhere.trust("h", 1, kKey, error));
    EXPECT_EQ(nowhere.decide("h", 1, {kKey, false}).verdict, Verdict::Accepted);
    EXPECT_EQ(nowhere.decide("h", 1, {kOtherKey, false}).verdict, Verdict::Unknown);
}

TEST_F(Trust, AnUnknownKeyHearsNothingUntilTrustedThenTheJoinGoesAtOnce)
{
    ServerLink& link = start(kKey);
    link.pump(t0 + 500ms);
    EXPECT_EQ(link.state(), State::Unverified);
    EXPECT_EQ(link.keyDecision().presented, kKey);
    EXPECT_EQ(wire.sent, std::vector<std::string>{""}) << "not a byte before the user's word";

    std::string error;
    EXPECT_TRUE(link.trustKey(t0 + 1s, error)) << error;
    link.pump(t0 + 1s);
    EXPECT_EQ(wire.sent, std::vector<std::string>{encodeFrame("alice") + encodeEmptyFrame()})
        << "on the same connection, without waiting out the pause";
    EXPECT_EQ(known.check("chat.example", 5000, kKey).verdict, KnownServers::Verdict::Trusted);
}

TEST_F(Trust, AServerThatGaveUpWaitingIsJoinedOnAFreshConnection)
{
    for (const bool gone : {true, false}) {
        ServerLink& link = start(kKey);
        wire.peerGone = gone;
        link.pump(t0);
        std::string error;
        link.trustKey(t0 + (gone ? 1s : kUnjoinedLimit), error);
        link.pump(t0 + 5s);
        ASSERT_EQ(wire.sent.size(), 2u);
        EXPECT_EQ(wire.sent.back(), encodeFrame("alice") + encodeEmptyFrame());
        std::filesystem::remove(known.path());
        wire.sent.clear();
    }
}

TEST_F(Trust, ARefusedKeyEndsTheRunRejoinsIncluded)
{
    std::string error;
    ASSERT_TRUE(known.trust("chat.example", 5000, kOtherKey, error));
    ServerLink& first = start(kKey);
    EXPECT_EQ(first.state(), State::Untrusted);
    EXPECT_EQ(first.keyDecision().expected, kOtherKey);
    wire.sent.clear();

    ServerLink& rejoining = start(kOtherKey);
    rejoining.pump(t0 + 3s);
    wire.inbound = encodeFrame("$%$uids$%$,alice,");
    rejoining.pump(t0 + 3s);
    ServerLink::Packet packet;
    ASSERT_TRUE(rejoining.takePacket(packet) && rejoining.admitted() && rejoining.secured());
    wire.peerGone = true;
    wire.key->fingerprint = kKey;
    rejoining.pump(t0 + 4s);
    rejoining.pump(t0 + 5s);
    EXPECT_EQ(rejoining.state(), State::Untrusted);
    EXPECT_EQ(wire.sent.back(), "") << "nothing to the changed key";
    rejoining.pump(t0 + 60s);
    EXPECT_EQ(wire.sent.size(), 2u) << "no more attempts";
    EXPECT_EQ(known.check("chat.example", 5000, kOtherKey).verdict, KnownServers::Verdict::Trusted);
}

TEST_F(Trust, AHandshakeThatFailsEndsTheRunUnlessOneCompletedBefore)
{
    wire.onConnect = Transport::Progress::NotTls;
    EXPECT_EQ(start(kKey).state(), State::Untrusted);
    EXPECT_EQ(link->keyDecision().verdict, Verdict::NotTls);

    wire.onConnect = Transport::Progress::Done;
    std::string error;
    ASSERT_TRUE(known.trust("chat.example", 5000, kKey, error));
    ServerLink& link = start(kKey);
    wire.onConnect = Transport::Progress::NotTls;
    wire.peerGone = true;
    link.pump(t0 + 3s);
    link.pump(t0 + 5s);
    EXPECT_EQ(link.state(), State::Lost) << "that server spoke TLS: tried again";
}

TEST(ClientArguments, TlsOptionsFollowThePort)
{
    std::string error;
    const char* pinned[] = {"client",
                            "alice",
                            "h",
                            "70000",
                            "--pin",
                            "SHA256:"
                            "ABCDEF0123456789abcdef0123456789"
                            "ABCDEF0123456789abcdef0123456789"};
    const std::optional<Arguments> args = parseArguments(6, pinned, error);
    ASSERT_TRUE(args) << error;
    EXPECT_EQ(args->port, 70000 % 65536);
    EXPECT_TRUE(args->tls) << "a pin implies TLS";
    EXPECT_EQ(args->pin, "SHA256:abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789");

    const char* tls[] = {"client", "alice", "h", "1", "--tls"};
    EXPECT_TRUE(parseArguments(5, tls, error)->tls);
    const char* bad[][6] = {{"client", "alice", "h", "1", "--pin", "SHA256:ab"},
                            {"client", "alice", "h", "1", "--tls", "--pin"},
                            {"client", "alice", "h", "1", "-tls", ""}};
    for (const auto& argv : bad)
        EXPECT_FALSE(parseArguments(6, argv, error)) << argv[4] << " " << argv[5];
    EXPECT_FALSE(parseArguments(3, tls, error));
}

} // namespace
} // namespace parlana
