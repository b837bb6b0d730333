// The client over TLS without a socket: which keys pass, nothing of the join
// before the verdict, the user's word, rejoins, and the TLS options.
#include "client/Arguments.hpp"
#include "client/ServerLink.hpp"

#include "protocol/frame.hpp"
#include "tests/support/FakeTransport.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace parlana {
namespace {

using namespace std::chrono_literals;
using Verdict = ServerTrust::Verdict;
using State = ServerLink::State;

const std::string kKey = "SHA256:" + std::string(64, 'a');
const std::string kOtherKey = "SHA256:" + std::string(64, 'b');
const std::string kJoin = encodeFrame("alice") + encodeEmptyFrame();

class Trust : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(root); }

    /// A link started at t0 over a played TLS connection that shows `key`.
    ServerLink& start(const std::string& key)
    {
        wire.key = PeerKey{key, false};
        wire.sent.clear();
        link = std::make_unique<ServerLink>("alice", "h", 1, std::make_unique<test::FakeTransport>(wire),
                                            ServerTrust(known));
        link->start(t0);
        return *link;
    }

    const std::string root = "/tmp/parlana-trust-" + std::to_string(::getpid());
    KnownServers known{root + "/parlana/known_servers"};
    test::WireScript wire;
    std::unique_ptr<ServerLink> link;
    const ServerLink::Clock::time_point t0 = ServerLink::Clock::time_point{} + 1h;
    std::string error;
};

TEST_F(Trust, WhichKeysPass)
{
    const ServerTrust pinned(known, kKey);
    EXPECT_EQ(pinned.decide("h", 1, {kKey, false}).verdict, Verdict::Accepted);
    EXPECT_EQ(pinned.decide("h", 1, {kOtherKey, true}).verdict, Verdict::NotPinned) << "the pin outranks authorities";

    ServerTrust trust(known);
    EXPECT_EQ(trust.decide("h", 1, {"", true}).verdict, Verdict::NoKey);
    EXPECT_EQ(trust.decide("h", 1, {kKey, true}).verdict, Verdict::Accepted) << "vouched for by an authority";
    EXPECT_EQ(trust.decide("h", 1, {kKey, false}).verdict, Verdict::Unknown);
    ASSERT_TRUE(trust.trust("h", 1, kKey, error)) << error;
    EXPECT_EQ(trust.decide("h", 1, {kKey, false}).verdict, Verdict::Accepted);
    EXPECT_EQ(trust.decide("h", 1, {kOtherKey, false}).expected, kKey) << "changed";

    std::ofstream(root + "/file") << "not a directory";
    ServerTrust nowhere(KnownServers(root + "/file/parlana"));
    EXPECT_FALSE(nowhere.trust("h", 1, kKey, error));
    EXPECT_EQ(nowhere.decide("h", 1, {kKey, false}).verdict, Verdict::Accepted) << "no file: trusted for the run";
    EXPECT_EQ(nowhere.decide("h", 1, {kOtherKey, false}).expected, kKey) << "changed, file or not";
}

// Not a byte before the user's word, then the join at once; on a fresh connection if the server may have given up.
TEST_F(Trust, AnUnknownKeyWaitsForTheUsersWord)
{
    for (const auto answeredAt : {1s, kUnjoinedLimit}) {
        std::filesystem::remove(known.path());
        ServerLink& link = start(kKey);
        link.pump(t0 + 500ms);
        ASSERT_EQ(link.state(), State::Unverified);
        EXPECT_EQ(wire.sent, std::vector<std::string>{""});
        EXPECT_TRUE(link.trustKey(t0 + answeredAt, error)) << error;
        link.pump(t0 + answeredAt);
        EXPECT_EQ(wire.sent.size(), answeredAt < kUnjoinedLimit ? 1u : 2u);
        EXPECT_EQ(wire.sent.back(), kJoin) << "not after the pause";
    }
}

TEST_F(Trust, AChangedKeyStopsTheRejoinsAndAFailedHandshakeDoesNot)
{
    for (const bool changed : {true, false}) {
        ASSERT_TRUE(known.trust("h", 1, kKey, error));
        ServerLink& link = start(kKey);
        wire.inbound = encodeFrame("$%$uids$%$,alice,");
        link.pump(t0 + 3s);
        ServerLink::Packet packet;
        ASSERT_TRUE(link.takePacket(packet) && link.admitted() && link.secured());
        wire.peerGone = true;
        wire.key->fingerprint = changed ? kOtherKey : kKey;
        wire.onConnect = changed ? Transport::Progress::Done : Transport::Progress::NotTls;
        for (const auto at : {4s, 5s, 60s})
            link.pump(t0 + at);
        EXPECT_EQ(link.state(), changed ? State::Untrusted : State::Lost);
        EXPECT_EQ(wire.sent[1], "") << "nothing to the changed key";
        EXPECT_EQ(wire.sent.size(), changed ? 2u : 3u) << "rejoins go on after a failed handshake alone";
    }
    EXPECT_EQ(known.check("h", 1, kOtherKey).known, kKey) << "the file is left as it was";
}

TEST(ClientArguments, TlsOptionsFollowThePort)
{
    std::string error;
    const std::string pin = "SHA256:" + std::string(64, 'A');
    const char* argv[] = {"client", "a", "h", "1", "--pin", pin.c_str(), "--tls", "-x"};
    const std::optional<Arguments> args = parseArguments(7, argv, error);
    ASSERT_TRUE(args && args->tls) << error;
    EXPECT_EQ(args->pin, kKey);
    EXPECT_TRUE(parseArguments(6, argv, error)->tls) << "a pin implies TLS";
    for (const int argc : {3, 5, 8})
        EXPECT_FALSE(parseArguments(argc, argv, error)) << "missing, a pin without its fingerprint, not an option";
    argv[5] = "SHA256:ab";
    EXPECT_FALSE(parseArguments(6, argv, error)) << "not a fingerprint";
}

} // namespace
} // namespace parlana
