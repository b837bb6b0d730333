#include "client/Connection.hpp"
#include "client/Dispatch.hpp"
#include "client/KeyboardInput.hpp"
#include "client/ServerLink.hpp"

#include "protocol/frame.hpp"
#include "tests/support/RecordingPanels.hpp"
#include "tests/support/TestPeer.hpp"

#include <SFML/Network/TcpListener.hpp>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace parlana {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWait = std::chrono::seconds(5);

/// The server's end of a connection, with its descriptor in reach for the
/// socket options SFML does not offer.
struct FarEnd : sf::TcpSocket {
    using sf::TcpSocket::getHandle;

    /// Closes with a reset instead of an orderly close.
    void reset()
    {
        const linger abort{1, 0};
        ::setsockopt(getHandle(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        disconnect();
    }
};

using test::RecordingPane;
using test::RecordingRoster;

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
        state.connected = true; // as after the join
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

    /// Chats a little, lets `goAway` end the server's side, and checks that the
    /// client stops counting itself connected, empties the roster, keeps the
    /// pane, stays on the chat screen and takes no more lines.
    template <class GoAway>
    void expectLossAfter(GoAway goAway)
    {
        sendRaw(encodeFrame("$%$uids$%$,alice,bob,") + encodeFrame("bob: bye"));
        const auto deadline = Clock::now() + kWait;
        while (pane.lines.empty() && Clock::now() < deadline)
            receive(link, pane, roster, state);
        ASSERT_EQ(roster.uids, (std::vector<std::string>{"alice", "bob"}));
        goAway();
        ASSERT_TRUE(frameUntilLost());
        EXPECT_TRUE(roster.uids.empty()) << "nobody is listed without a connection";
        EXPECT_EQ(pane.lines, std::vector<std::string>{"bob: bye"}) << "the pane's history stays";
        EXPECT_TRUE(state.client_status);
        EXPECT_TRUE(link.lost());
        EXPECT_FALSE(connected());
        EXPECT_FALSE(offer_line(state, link, "alice: into the void"));
        EXPECT_EQ(link.queued(), 0u);
    }

    /// Runs frames' exchanges until the client counts itself disconnected.
    bool frameUntilLost()
    {
        const auto deadline = Clock::now() + kWait;
        while (state.connected && Clock::now() < deadline) {
            receive(link, pane, roster, state);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return !state.connected;
    }

    sf::TcpListener listener;
    FarEnd far;
    ClientState state;
    ServerLink link{*state.client};
    RecordingPane pane;
    RecordingRoster roster;
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
    EXPECT_TRUE(link.lost());
    EXPECT_TRUE(state.client_status) << "a hostile server is a lost connection, not an error screen";
}

TEST_F(LinkTest, ServerClosingIsALostConnection)
{
    expectLossAfter([this] { far.disconnect(); });
}

TEST_F(LinkTest, ServerResettingIsALostConnection)
{
    expectLossAfter([this] { far.reset(); });
}

TEST_F(LinkTest, ReceiveHandlesAtMostOnePacket)
{
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
    sendRaw(encodeFrame("$%$uid_error$%$"));
    const auto deadline = Clock::now() + kWait;
    while (state.client_status && Clock::now() < deadline)
        receive(link, pane, roster, state);
    EXPECT_FALSE(state.client_status);
    EXPECT_EQ(state.error_msg, "ERROR: UID not valid, try another UID");
    EXPECT_FALSE(connected());
}

// A refusal only ever answers a join; a server relaying a member's line that
// begins with a refusal token must not end the chat.
TEST_F(LinkTest, RefusalAfterTheFirstRosterIsIgnored)
{
    sendRaw(encodeFrame("$%$uids$%$,alice,") + encodeFrame("$%$uid_error$%$") + encodeFrame("$%$limit_reached$%$ too") +
            encodeFrame("bob: still here"));
    const auto deadline = Clock::now() + kWait;
    while (pane.lines.empty() && Clock::now() < deadline)
        receive(link, pane, roster, state);
    EXPECT_EQ(pane.lines, std::vector<std::string>{"bob: still here"}) << "ignored, not shown either";
    EXPECT_TRUE(state.client_status);
    EXPECT_TRUE(state.connected);
    EXPECT_TRUE(connected());
    EXPECT_EQ(roster.uids, std::vector<std::string>{"alice"});
}

TEST_F(LinkTest, ChatPacketIsTheLineUnchanged)
{
    send_format_msg(link, "alice: hello");
    const std::string expected = encodeFrame("alice: hello");
    EXPECT_EQ(readFar(expected.size()), expected);
    EXPECT_EQ(readStray(), "");
}

TEST_F(LinkTest, JoinIsTheUidThenExactlyOneEmptyPacket)
{
    send_join(link, "alice");
    send_join(link, "");
    const std::string expected = encodeFrame("alice") + encodeEmptyFrame() + encodeFrame("") + encodeEmptyFrame();
    EXPECT_EQ(readFar(expected.size()), expected);
    EXPECT_EQ(readStray(), "");
}

// Keys as a user presses them, for the typed line's fate when Enter is refused.
struct NoBox {
    bool isFull(const std::string&) const { return false; }
};
struct NoCaret {
    void updatePosition(int, int) {}
    void resetPosition() {}
};
struct NoPages {
    void nextPage() {}
    void prevPage() {}
};

// A server that stops reading: lines pile up in the socket buffers, then in
// the client's queue; past 64 KiB queued Enter keeps the typed line. When the
// server reads again, every line taken arrives whole and in order.
TEST_F(LinkTest, StalledServerGetsEveryLineWholeAndInOrder)
{
    std::vector<std::string> taken;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        std::string line = "alice: line " + std::to_string(taken.size()) + " ";
        line.resize(124, static_cast<char>('a' + taken.size() % 26));
        if (!offer_line(state, link, line))
            break;
        taken.push_back(line);
    }
    ASSERT_GT(link.queued(), kMaxQueuedBytes) << "the queue never filled";
    EXPECT_LE(link.queued(), kMaxQueuedBytes + 200) << "it stops taking lines right past the limit";

    std::string msg = "kept for later";
    sf::Text shown;
    NoBox box;
    NoCaret caret;
    NoPages pages;
    KeyboardInput<NoBox, NoCaret, NoPages> input(
        "alice", msg, shown, box, caret, pages, [](sf::Keyboard::Key key) { return key == sf::Keyboard::Enter; },
        [this](const std::string& line) { return offer_line(state, link, line); });
    sf::Event enter;
    enter.type = sf::Event::KeyPressed;
    enter.key = {};
    enter.key.code = sf::Keyboard::Enter;
    input.handle(enter);
    EXPECT_EQ(msg, "kept for later");

    // The server reads everything now; the client goes on with its frames.
    far.setBlocking(false);
    std::string received;
    const std::size_t expectedBytes = [&] {
        std::size_t total = 0;
        for (const std::string& line : taken)
            total += encodeFrame(line).size();
        return total;
    }();
    const auto readDeadline = Clock::now() + std::chrono::seconds(20);
    while (received.size() < expectedBytes && Clock::now() < readDeadline) {
        receive(link, pane, roster, state);
        char chunk[65536];
        std::size_t got = 0;
        if (far.receive(chunk, sizeof chunk, got) == sf::Socket::Done)
            received.append(chunk, got);
    }
    EXPECT_EQ(link.queued(), 0u);
    const DecodedFrames frames = decodeFrames(received);
    EXPECT_FALSE(frames.rejected);
    EXPECT_EQ(frames.leftover, 0u);
    EXPECT_EQ(decodeTexts(received), taken);
    EXPECT_TRUE(state.connected);
    input.handle(enter);
    EXPECT_EQ(msg, "") << "taken once the server has caught up";
}

struct FakeBar {
    void setServerName(std::string name) { serverName = std::move(name); }
    std::string serverName = "unset";
};

/// One run of connect with a short pause, as the program would call it.
class ConnectTest : public ::testing::Test {
protected:
    void join(std::string uid, unsigned short port, sf::Time pause = sf::milliseconds(300))
    {
        std::string address = "127.0.0.1";
        std::string portArg = std::to_string(port);
        char* argv[] = {nullptr, uid.data(), address.data(), portArg.data(), nullptr};
        const auto start = Clock::now();
        connect(state, link, address, argv, bar, pause);
        took = Clock::now() - start;
    }

    ClientState state;
    ServerLink link{*state.client};
    FakeBar bar;
    Clock::duration took{};
};

TEST_F(ConnectTest, JoinGoesOutAfterThePauseOnAnEstablishedConnection)
{
    sf::TcpListener listener;
    ASSERT_EQ(listener.listen(sf::Socket::AnyPort, sf::IpAddress::LocalHost), sf::Socket::Done);
    join("alice", listener.getLocalPort());
    EXPECT_GE(took, std::chrono::milliseconds(300)) << "the pause is kept";
    EXPECT_TRUE(state.connected);
    EXPECT_TRUE(state.client_status);
    EXPECT_EQ(bar.serverName, "127.0.0.1");

    sf::TcpSocket far;
    ASSERT_EQ(listener.accept(far), sf::Socket::Done);
    const std::string expected = encodeFrame("alice") + encodeEmptyFrame();
    std::string bytes;
    far.setBlocking(false);
    const auto deadline = Clock::now() + kWait;
    while (bytes.size() < expected.size() && Clock::now() < deadline) {
        char chunk[64];
        std::size_t got = 0;
        if (far.receive(chunk, sizeof chunk, got) == sf::Socket::Done)
            bytes.append(chunk, got);
    }
    EXPECT_EQ(bytes, expected);
}

TEST_F(ConnectTest, RefusedConnectionSendsNothingAndIsNotConnected)
{
    join("alice", test::freePort());
    EXPECT_GE(took, std::chrono::milliseconds(300)) << "the pause is kept";
    EXPECT_FALSE(state.connected);
    EXPECT_TRUE(state.client_status) << "the chat screen stays, with its notice";
    EXPECT_EQ(bar.serverName, "127.0.0.1");
    EXPECT_EQ(state.client->getRemotePort(), 0);
    EXPECT_FALSE(offer_line(state, link, "alice: hello?"));
}

// A listener whose accept queue is full drops new connection attempts, so
// the client's stays unanswered past its pause.
TEST_F(ConnectTest, ConnectionNotEstablishedWithinThePauseIsAbandoned)
{
    const int listening = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listening, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length);
    sf::TcpSocket filler;
    ASSERT_EQ(filler.connect(sf::IpAddress::LocalHost, ntohs(address.sin_port), sf::seconds(5)), sf::Socket::Done);

    join("alice", ntohs(address.sin_port));
    EXPECT_FALSE(state.connected);
    EXPECT_TRUE(state.client_status);
    EXPECT_EQ(state.client->getRemotePort(), 0) << "the attempt is abandoned, not left to complete";

    // With the queue emptied, nothing of the client's ever comes: its attempt
    // was dropped, so no later retry can complete it unjoined.
    const int first = ::accept(listening, nullptr, nullptr);
    EXPECT_GE(first, 0);
    timeval wait{1, 500000};
    ::setsockopt(listening, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    const int second = ::accept(listening, nullptr, nullptr);
    EXPECT_LT(second, 0) << "a connection arrived after the client gave up";
    for (const int fd : {first, second, listening})
        if (fd >= 0)
            ::close(fd);
}

// The server's rule, applied before connecting: every UID it would refuse
// gives the error screen at once and costs no connection.
TEST_F(ConnectTest, UidTheServerWouldRefuseIsRefusedWithoutConnecting)
{
    sf::TcpListener listener;
    ASSERT_EQ(listener.listen(sf::Socket::AnyPort, sf::IpAddress::LocalHost), sf::Socket::Done);
    listener.setBlocking(false);
    for (const std::string uid : {"abcdefghijk", "", "a,b", "a:b", "$%$x", "caf\xc3\xa9", "tab\there", "del\x7f"}) {
        state = ClientState();
        bar = FakeBar();
        join(uid, listener.getLocalPort());
        EXPECT_FALSE(state.client_status) << uid;
        EXPECT_EQ(state.error_msg, "ERROR: UID not valid, try another UID") << uid;
        EXPECT_EQ(bar.serverName, "unset") << uid;
        EXPECT_LT(took, std::chrono::milliseconds(300)) << uid << ": no pause for a UID refused at once";
        sf::TcpSocket arrived;
        EXPECT_NE(listener.accept(arrived), sf::Socket::Done) << uid << " connected";
    }
}

TEST_F(ConnectTest, UnresolvableAddressConnectsNowhere)
{
    // An unresolved name must not fall back to 0.0.0.0, this very host.
    sf::TcpListener listener;
    ASSERT_EQ(listener.listen(sf::Socket::AnyPort), sf::Socket::Done);
    listener.setBlocking(false);
    std::string uid = "alice";
    std::string address = "";
    std::string portArg = std::to_string(listener.getLocalPort());
    char* argv[] = {nullptr, uid.data(), address.data(), portArg.data(), nullptr};
    connect(state, link, address, argv, bar, sf::milliseconds(100));
    EXPECT_FALSE(state.connected);
    sf::TcpSocket arrived;
    EXPECT_NE(listener.accept(arrived), sf::Socket::Done);
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
