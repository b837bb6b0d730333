#include "client/Connection.hpp"
#include "client/Dispatch.hpp"
#include "client/ServerLink.hpp"

#include "protocol/frame.hpp"

#include <SFML/Network/TcpListener.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace parlana {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWait = std::chrono::seconds(5);

/// A connected loopback pair: `near` is the client's non-blocking socket,
/// `far` the server's end.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(listener.listen(sf::Socket::AnyPort, sf::IpAddress::LocalHost), sf::Socket::Done);
        ASSERT_EQ(state.client->connect(sf::IpAddress::LocalHost, listener.getLocalPort(), sf::seconds(5)),
                  sf::Socket::Done);
        ASSERT_EQ(listener.accept(far), sf::Socket::Done);
        state.client->setBlocking(false);
    }

    void sendRaw(const std::string& bytes) { ASSERT_EQ(far.send(bytes.data(), bytes.size()), sf::Socket::Done); }

    /// Polls until a packet comes or the wait runs out.
    bool pollUntil(std::string& text, Clock::duration wait = kWait)
    {
        const auto deadline = Clock::now() + wait;
        while (Clock::now() < deadline) {
            if (link.poll(text))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    /// Reads from the server's end until `count` bytes came or `wait` ran out.
    std::string readFar(std::size_t count, Clock::duration wait = kWait)
    {
        far.setBlocking(false);
        std::string bytes;
        const auto deadline = Clock::now() + wait;
        while (bytes.size() < count && Clock::now() < deadline) {
            char chunk[256];
            std::size_t got = 0;
            if (far.receive(chunk, sizeof chunk, got) == sf::Socket::Done)
                bytes.append(chunk, got);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return bytes;
    }

    /// Whatever the server's end receives in a short while beyond what was read.
    std::string readStray() { return readFar(1, std::chrono::milliseconds(100)); }

    bool connected() const { return state.client->getRemotePort() != 0; }

    sf::TcpListener listener;
    sf::TcpSocket far;
    ClientState state;
    ServerLink link{*state.client};
};

TEST_F(LinkTest, OnePacketPerPoll)
{
    sendRaw(encodeFrame("$%$uids$%$,alice,") + encodeFrame("alice: hi") + encodeEmptyFrame());
    std::string text;
    ASSERT_TRUE(pollUntil(text));
    EXPECT_EQ(text, "$%$uids$%$,alice,");
    ASSERT_TRUE(link.poll(text)) << "the second packet is already buffered";
    EXPECT_EQ(text, "alice: hi");
    ASSERT_TRUE(link.poll(text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(link.poll(text));
}

TEST_F(LinkTest, PartialPacketWaitsForItsRest)
{
    const std::string frame = encodeFrame("bob: a line cut in two");
    sendRaw(frame.substr(0, 7));
    std::string text = "untouched";
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(link.poll(text));
    EXPECT_EQ(text, "untouched");
    sendRaw(frame.substr(7));
    ASSERT_TRUE(pollUntil(text));
    EXPECT_EQ(text, "bob: a line cut in two");
}

TEST_F(LinkTest, PacketAtTheSizeLimitArrives)
{
    const std::string big(kMaxFrameBytes - 4, 'x');
    sendRaw(encodeFrame(big) + encodeFrame("after"));
    std::string text;
    ASSERT_TRUE(pollUntil(text));
    EXPECT_EQ(text, big);
    ASSERT_TRUE(pollUntil(text));
    EXPECT_EQ(text, "after");
    EXPECT_TRUE(connected());
}

TEST_F(LinkTest, OversizedPacketDropsTheConnectionQuietly)
{
    std::string header = encodeFrame(std::string(kMaxFrameBytes - 3, 'x')).substr(0, 4);
    sendRaw(header + "xxxx");
    std::string text = "untouched";
    const auto deadline = Clock::now() + kWait;
    while (connected() && Clock::now() < deadline)
        EXPECT_FALSE(link.poll(text));
    EXPECT_FALSE(connected());
    EXPECT_EQ(text, "untouched");
    EXPECT_FALSE(link.poll(text));
    EXPECT_TRUE(state.client_status) << "a hostile server is a lost connection, not an error screen";
}

TEST_F(LinkTest, ClosedConnectionGivesNothing)
{
    far.disconnect();
    std::string text;
    EXPECT_FALSE(pollUntil(text, std::chrono::milliseconds(200)));
}

struct RecordingPane {
    void insert_msg(std::string line) { lines.push_back(std::move(line)); }
    std::vector<std::string> lines;
};

struct RecordingRoster {
    void refresh() { uids.clear(); }
    void getUIDS(std::string uid) { uids.push_back(std::move(uid)); }
    std::vector<std::string> uids;
};

TEST_F(LinkTest, ReceiveHandlesAtMostOnePacket)
{
    RecordingPane pane;
    RecordingRoster roster;
    sendRaw(encodeFrame("$%$uids$%$,alice,bob,") + encodeEmptyFrame());
    const auto deadline = Clock::now() + kWait;
    while (roster.uids.empty() && Clock::now() < deadline)
        receive(link, pane, roster, state);
    EXPECT_EQ(roster.uids, (std::vector<std::string>{"alice", "bob"}));
    EXPECT_TRUE(pane.lines.empty());
    receive(link, pane, roster, state);
    EXPECT_EQ(pane.lines, std::vector<std::string>{""}) << "an empty packet is an empty chat line";
}

TEST_F(LinkTest, RefusalDisconnects)
{
    RecordingPane pane;
    RecordingRoster roster;
    sendRaw(encodeFrame("$%$uid_error$%$"));
    const auto deadline = Clock::now() + kWait;
    while (state.client_status && Clock::now() < deadline)
        receive(link, pane, roster, state);
    EXPECT_FALSE(state.client_status);
    EXPECT_EQ(state.error_msg, "ERROR: UID not valid, try another UID");
    EXPECT_FALSE(connected());
}

TEST_F(LinkTest, ChatPacketIsTheLineUnchanged)
{
    std::string line = "alice: hello";
    send_format_msg(state.client.get(), nullptr, line);
    EXPECT_EQ(line, "alice: hello");
    const std::string expected = encodeFrame("alice: hello");
    EXPECT_EQ(readFar(expected.size()), expected);
    EXPECT_EQ(readStray(), "");
}

TEST_F(LinkTest, JoinIsTheUidThenExactlyOneEmptyPacket)
{
    send_join(*state.client, "alice");
    send_join(*state.client, "");
    const std::string expected = encodeFrame("alice") + encodeEmptyFrame() + encodeFrame("") + encodeEmptyFrame();
    EXPECT_EQ(readFar(expected.size()), expected);
    EXPECT_EQ(readStray(), "");
}

struct FakeBar {
    void setServerName(std::string name) { serverName = std::move(name); }
    std::string serverName = "unset";
};

TEST(Connect, UidOfElevenBytesIsRefusedWithoutConnecting)
{
    ClientState state;
    FakeBar bar;
    std::string uid = "abcdefghijk";
    std::string address = "127.0.0.1";
    std::string port = "1";
    char* argv[] = {nullptr, uid.data(), address.data(), port.data(), nullptr};
    connect(state, address, argv, bar);
    EXPECT_FALSE(state.client_status);
    EXPECT_EQ(state.error_msg, "ERROR: UID not valid, try another UID");
    EXPECT_EQ(bar.serverName, "unset");
    EXPECT_EQ(state.client->getRemotePort(), 0);
}

TEST(Connect, UidLengthIsCountedInBytes)
{
    EXPECT_TRUE(uid_fits("abcdefghij"));
    EXPECT_FALSE(uid_fits("abcdefghijk"));
    EXPECT_TRUE(uid_fits(""));
    EXPECT_TRUE(uid_fits("\xc3\xa8\xc3\xa8\xc3\xa8\xc3\xa8\xc3\xa8"));
    EXPECT_FALSE(uid_fits("\xc3\xa8\xc3\xa8\xc3\xa8\xc3\xa8\xc3\xa8x"));
}

TEST(Connect, PortArgument)
{
    EXPECT_EQ(port_from_arg("5000"), 5000);
    EXPECT_EQ(port_from_arg("70000"), 70000 - 65536);
    EXPECT_EQ(port_from_arg("80abc"), 80);
    EXPECT_EQ(port_from_arg("abc"), 0);
    EXPECT_EQ(port_from_arg(""), 0);
}

} // namespace
} // namespace parlana
