// The real server process, driven over loopback by raw wire-format peers.
#include "protocol/tokens.hpp"
#include "server/Arguments.hpp"
#include "server/Poller.hpp"
#include "tests/support/HostilePeers.hpp"
#include "tests/support/TestPeer.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

using namespace parlana;
using namespace parlana::test;

namespace {

class Server : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = freePort();
        process = std::make_unique<ServerProcess>(std::to_string(port), options);
        ASSERT_TRUE(process->waitFor("[*] UP :: PORT :: " + std::to_string(port)));
    }

    /// Connects and joins; waits until the server has logged the join and the
    /// peer has seen the roster that answers its empty packet.
    std::unique_ptr<TestPeer> joined(const std::string& uid, int receiveBuffer = 0)
    {
        auto peer = std::make_unique<TestPeer>();
        EXPECT_TRUE(peer->connect(port, receiveBuffer));
        peer->join(uid);
        EXPECT_TRUE(process->waitFor("[*] " + uid + " : JOIN"));
        const auto first = peer->next();
        EXPECT_TRUE(first && parlana::beginsWith(*first, parlana::kRosterToken));
        return peer;
    }

    /// Sends `count` numbered lines from `from` and checks every listener gets
    /// each of them whole and in order, each after a roster packet.
    void chatAndCheck(TestPeer& from, const std::string& uid, const std::vector<TestPeer*>& listeners, int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(from.sendText(uid + ": line " + std::to_string(i)));
        for (TestPeer* peer : listeners) {
            for (int i = 0; i < count; ++i) {
                const auto roster = peer->next();
                ASSERT_TRUE(roster && parlana::beginsWith(*roster, parlana::kRosterToken));
                ASSERT_EQ(peer->next(), uid + ": line " + std::to_string(i));
            }
        }
    }

    std::vector<std::string> options;
    unsigned short port = 0;
    std::unique_ptr<ServerProcess> process;
};

/// For the tests whose point is raw speed.
struct UnthrottledServer : Server {
    UnthrottledServer() { options = {"--flood-rate", "0"}; }
};

} // namespace

TEST_F(Server, ChatLineReachesEveryoneAfterARosterSenderIncluded)
{
    auto alice = joined("alice");
    auto bob = joined("bob");
    EXPECT_EQ(alice->next(), "$%$uids$%$,alice,bob,"); // bob's empty packet, relayed
    EXPECT_EQ(bob->lastRoster(), "$%$uids$%$,alice,bob,");
    ASSERT_TRUE(alice->sendText("alice: hello"));
    for (TestPeer* peer : {alice.get(), bob.get()}) {
        EXPECT_EQ(peer->next(), "$%$uids$%$,alice,bob,");
        EXPECT_EQ(peer->next(), "alice: hello");
    }
    ASSERT_TRUE(bob->sendText("")); // roster alone
    ASSERT_TRUE(bob->sendRaw(parlana::encodeEmptyFrame()));
    ASSERT_TRUE(bob->sendText("bob: after"));
    for (TestPeer* peer : {alice.get(), bob.get()}) {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(peer->next(), "$%$uids$%$,alice,bob,");
        EXPECT_EQ(peer->next(), "bob: after");
    }
}

TEST_F(Server, DuplicateUidAndFullServerAreRefusedWithOnePacket)
{
    auto alice = joined("alice");
    TestPeer twin;
    ASSERT_TRUE(twin.connect(port));
    twin.join("alice");
    EXPECT_EQ(twin.next(), parlana::kUidErrorToken);
    EXPECT_TRUE(twin.closedWithin(Millis(3000)));
    EXPECT_TRUE(process->waitFor("[!] UID NOT VALID : disconnected"));
    EXPECT_EQ(process->line(), "[!] JOIN ATTEMPT : FAILED");
    EXPECT_EQ(process->line(), "[*] CONNECTED USERS : 1");

    std::vector<std::unique_ptr<TestPeer>> crowd;
    for (int i = 0; i < 45; ++i)
        crowd.push_back(joined("u" + std::to_string(i)));
    // Full: the limit refusal, even for a UID that is also invalid.
    for (const std::string uid : {"latecomer", "late,comer"}) {
        TestPeer late;
        ASSERT_TRUE(late.connect(port));
        late.join(uid);
        EXPECT_EQ(late.next(), parlana::kLimitToken);
        EXPECT_TRUE(late.closedWithin(Millis(3000)));
        EXPECT_TRUE(process->waitFor("[!] MAX_UID_LIMIT reached : disconnected"));
        EXPECT_EQ(process->line(), "[!] JOIN ATTEMPT : FAILED");
        EXPECT_EQ(process->line(), "[*] CONNECTED USERS : 46");
    }
    // The refusals reached nobody else: alice's next packets are a relay.
    while (alice->lastRoster() != crowd.back()->lastRoster())
        ASSERT_TRUE(alice->next());
    ASSERT_TRUE(crowd.back()->sendText("u44: still here"));
    EXPECT_EQ(alice->next(), crowd.back()->lastRoster());
    EXPECT_EQ(alice->next(), "u44: still here");
}

TEST_F(Server, EveryInvalidUidIsRefusedLikeADuplicate)
{
    auto alice = joined("alice");
    for (const auto& [kind, bytes] : invalidJoins()) {
        TestPeer newcomer;
        ASSERT_TRUE(newcomer.connect(port));
        ASSERT_TRUE(newcomer.sendRaw(bytes));
        EXPECT_EQ(newcomer.next(), parlana::kUidErrorToken) << kind;
        EXPECT_TRUE(newcomer.closedWithin(Millis(3000))) << kind;
        EXPECT_TRUE(process->waitFor("[!] UID NOT VALID : disconnected")) << kind;
        EXPECT_EQ(process->line(), "[!] JOIN ATTEMPT : FAILED") << kind;
        EXPECT_EQ(process->line(), "[*] CONNECTED USERS : 1") << kind;
    }
    // None of it reached alice: her next packets answer her own line.
    ASSERT_TRUE(alice->sendText("alice: after them"));
    EXPECT_EQ(alice->next(), "$%$uids$%$,alice,");
    EXPECT_EQ(alice->next(), "alice: after them");
}

TEST_F(Server, RefusedLinesReachNobodyAndTheSendersNextLineIsRelayed)
{
    auto alice = joined("alice");
    auto bob = joined("bob");
    ASSERT_EQ(alice->next(), "$%$uids$%$,alice,bob,"); // bob's empty packet, relayed
    int n = 0;
    for (const std::string& line : refusedLines("alice", "bob")) {
        const std::string valid = "alice: valid " + std::to_string(n++);
        ASSERT_TRUE(alice->sendText(line));
        ASSERT_TRUE(alice->sendText(valid));
        // No roster and no line for the refused one: the next packets are
        // the valid line's.
        for (TestPeer* peer : {alice.get(), bob.get()}) {
            EXPECT_EQ(peer->next(), "$%$uids$%$,alice,bob,") << line;
            EXPECT_EQ(peer->next(), valid) << line;
        }
    }
    EXPECT_TRUE(process->waitFor("[!] alice : LINE REFUSED"));
}
TEST_F(Server, DeparturesUpdateTheRosterAndTheConsole)
{
    auto malice = joined("malice");
    auto bob = joined("bob");
    auto alice = joined("alice");
    alice->close();
    EXPECT_TRUE(process->waitFor("[*] alice, : LEAVE"));
    EXPECT_EQ(process->line(), "[*] CONNECTED USERS : 2");
    for (TestPeer* peer : {malice.get(), bob.get()}) {
        std::optional<std::string> text;
        while ((text = peer->next()) && *text != "$%$uids$%$,malice,bob,") {
        }
        EXPECT_TRUE(text) << "no roster without alice";
    }
}

TEST_F(Server, JoinAndFollowingPacketsInOneWriteAreAllKept)
{
    auto alice = joined("alice");
    TestPeer bob;
    ASSERT_TRUE(bob.connect(port));
    ASSERT_TRUE(bob.sendRaw(parlana::encodeFrame("bob") + parlana::encodeEmptyFrame() +
                            parlana::encodeFrame("bob: first") + parlana::encodeFrame("bob: second")));
    EXPECT_EQ(alice->nextChat(), "bob: first");
    EXPECT_EQ(alice->nextChat(), "bob: second");
    EXPECT_EQ(bob.nextChat(), "bob: first");
}

TEST_F(Server, PacketsTrickledByteByByteArriveWhole)
{
    auto alice = joined("alice");
    TestPeer slow;
    ASSERT_TRUE(slow.connect(port));
    ASSERT_TRUE(trickle(slow, joinThenLine("slow", "slow: one byte at a time"), Millis(2)));
    EXPECT_EQ(alice->nextChat(), "slow: one byte at a time");
    EXPECT_EQ(slow.nextChat(), "slow: one byte at a time");
}

TEST_F(Server, SilentNewcomerIsDroppedAfterTheJoinTimeout)
{
    auto alice = joined("alice");
    const auto silent = silentNewcomer(port);
    ASSERT_TRUE(silent);
    EXPECT_TRUE(process->waitFor("[!] JOIN ATTEMPT : FAILED", Millis(9000)));
    EXPECT_EQ(process->line(), "[*] CONNECTED USERS : 1");
    EXPECT_TRUE(silent->closedWithin(Millis(2000)));
    auto bob = joined("bob");
    ASSERT_TRUE(alice->sendText("alice: still fine"));
    EXPECT_EQ(bob->nextChat(), "alice: still fine");
}

TEST_F(Server, LinesKeepFlowingWhileNewcomersArePending)
{
    auto alice = joined("alice");
    auto bob = joined("bob");
    ASSERT_TRUE(alice->next()); // bob's join roster
    std::vector<std::unique_ptr<TestPeer>> silent;
    for (int i = 0; i < 3; ++i)
        silent.push_back(silentNewcomer(port));
    TestPeer pausing; // as the real client does: three seconds before its join
    ASSERT_TRUE(pausing.connect(port));
    // Each line must arrive long before any newcomer's time is up; a server
    // that waited for a join would hold it for seconds.
    for (int i = 0; i < 30; ++i) {
        const std::string line = "alice: " + std::to_string(i);
        ASSERT_TRUE(alice->sendText(line));
        ASSERT_EQ(bob->nextChat(Millis(1000)), line);
        std::this_thread::sleep_for(Millis(100));
    }
    pausing.join("pausing");
    EXPECT_TRUE(process->waitFor("[*] pausing : JOIN"));
    EXPECT_EQ(pausing.next(), "$%$uids$%$,alice,bob,pausing,");
}

TEST_F(Server, ANewcomerThatJoinsAtOnceIsAdmittedWhileAnEarlierOnePauses)
{
    auto alice = joined("alice");
    TestPeer slow;
    ASSERT_TRUE(slow.connect(port));
    TestPeer quick;
    ASSERT_TRUE(quick.connect(port));
    quick.join("quick");
    EXPECT_TRUE(process->waitFor("[*] quick : JOIN", Millis(2500)));
    EXPECT_EQ(quick.next(), "$%$uids$%$,alice,quick,");
    // Admission follows the order in which joins complete.
    slow.join("slow");
    EXPECT_TRUE(process->waitFor("[*] slow : JOIN"));
    EXPECT_EQ(slow.next(), "$%$uids$%$,alice,quick,slow,");
}

TEST_F(Server, PendingJoinsAreBoundedAndTheSurplusIsClosedUnlogged)
{
    auto alice = joined("alice");
    ASSERT_EQ(process->line(), "[*] CONNECTED USERS : 1");
    const int baseFds = process->openFds();
    constexpr int kHeld = 64;
    constexpr int kSurplus = 16;
    std::vector<std::unique_ptr<TestPeer>> silent;
    for (int i = 0; i < kHeld + kSurplus; ++i) {
        silent.push_back(silentNewcomer(port));
        ASSERT_TRUE(silent.back());
    }
    // Connections are taken in the order they were made: the last ones are
    // beyond the bound.
    for (int i = kHeld; i < kHeld + kSurplus; ++i)
        EXPECT_TRUE(silent[static_cast<std::size_t>(i)]->closedWithin(Millis(2000))) << "surplus connection " << i;
    EXPECT_LE(process->openFds(), baseFds + kHeld);
    int stillOpen = 0;
    for (int i = 0; i < kHeld; ++i)
        stillOpen += silent[static_cast<std::size_t>(i)]->closedWithin(Millis(0)) ? 0 : 1;
    EXPECT_EQ(stillOpen, kHeld);
    // Each held one fails when its time is up; the surplus left no line.
    for (int i = 0; i < kHeld; ++i) {
        ASSERT_EQ(process->line(Millis(10000)), "[!] JOIN ATTEMPT : FAILED") << i;
        ASSERT_EQ(process->line(), "[*] CONNECTED USERS : 1") << i;
    }
    EXPECT_EQ(process->line(Millis(500)), std::nullopt);
    ASSERT_TRUE(alice->sendText("alice: all quiet"));
    EXPECT_EQ(alice->nextChat(), "alice: all quiet");
    EXPECT_EQ(process->openFds(), baseFds);
}

TEST_F(Server, HostileSendersLeaveAndOthersKeepEveryLine)
{
    auto alice = joined("alice");
    auto bob = joined("bob");
    alice->next(); // bob's join roster

    auto huge = joined("huge");
    ASSERT_TRUE(sendHugeHeader(*huge, 4));
    EXPECT_TRUE(process->waitFor("[*] huge, : LEAVE"));
    EXPECT_TRUE(huge->closedWithin(Millis(3000)));

    auto resetter = joined("reset");
    resetMidFrame(*resetter, "reset: half a line", 10, Millis(0));
    EXPECT_TRUE(process->waitFor("[*] reset, : LEAVE"));

    auto halfClosed = joined("half");
    ASSERT_TRUE(halfClose(*halfClosed, "half: last words"));
    EXPECT_TRUE(process->waitFor("[*] half, : LEAVE"));
    EXPECT_EQ(alice->nextChat(), "half: last words");
    EXPECT_EQ(bob->nextChat(), "half: last words");

    // Skip the rosters of those departures, then chat on.
    while (alice->lastRoster() != "$%$uids$%$,alice,bob," || bob->lastRoster() != "$%$uids$%$,alice,bob,") {
        if (alice->lastRoster() != "$%$uids$%$,alice,bob,") {
            ASSERT_TRUE(alice->next());
        }
        if (bob->lastRoster() != "$%$uids$%$,alice,bob,") {
            ASSERT_TRUE(bob->next());
        }
    }
    chatAndCheck(*alice, "alice", {alice.get(), bob.get()}, 15);
    EXPECT_TRUE(process->alive());
}

TEST_F(Server, ABotThatSends30LinesAndClosesHasAllOfThemRelayed)
{
    auto alice = joined("alice");
    std::string bot = encodeFrame("bot") + encodeEmptyFrame(); // then 30 lines, and a close without reading
    for (int i = 0; i < 30; ++i)
        bot += encodeFrame("bot: " + std::to_string(i));
    TestPeer peer;
    ASSERT_TRUE(peer.connect(port) && peer.sendRaw(bot));
    peer.close();
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(alice->nextChat(), "bot: " + std::to_string(i));
    EXPECT_TRUE(process->waitFor("[*] bot, : LEAVE"));
}

TEST_F(Server, AFlooderIsCutOffWithItsFirstLinesRelayedInOrderAndTheOthersChatOn)
{
    auto alice = joined("alice");
    auto mallory = joined("mallory");
    std::string flood;
    for (int i = 0; flood.size() < 256 * 1024; ++i)
        flood += encodeFrame("mallory: " + std::to_string(i));
    mallory->sendRaw(flood); // cut off part way, or taken whole by the buffers
    EXPECT_TRUE(process->waitFor("[!] mallory : FLOODING : disconnected"));
    EXPECT_EQ(process->line(), "[*] mallory, : LEAVE");
    ASSERT_TRUE(alice->sendText("alice: still here"));
    int relayed = 0; // the burst, less the join's empty packet, or a little more
    for (auto text = alice->nextChat(); text != "alice: still here"; text = alice->nextChat())
        ASSERT_EQ(text, "mallory: " + std::to_string(relayed++));
    EXPECT_GE(relayed, 19);
}

TEST(VanishedPeer, LeavesWhetherItsRoomIsQuietOrBusy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a network namespace needs root";
    // The peer sits in a network namespace of its own, behind a veth pair whose far end is taken down.
    const std::string ns = "parlana" + std::to_string(::getpid()), net = "10.203." + std::to_string(::getpid() % 250);
    const auto sh = [](const std::string& command) { return std::system(command.c_str()) == 0; };
    const std::shared_ptr<void> cleanup(nullptr, [&](void*) { sh("ip netns delete " + ns); });
    ASSERT_TRUE(sh("n=" + ns + " net=" + net +
                   "; ip netns add $n && ip link add ${n}a type veth peer name ${n}b netns $n"
                   " && ip addr add $net.1/30 dev ${n}a && ip link set ${n}a up && ip -n $n link set ${n}b up"
                   " && ip -n $n addr add $net.2/30 dev ${n}b"));
    // The quiet room probes its connection; in the busy one a line waits for an acknowledgement.
    std::unique_ptr<ServerProcess> rooms[2];
    TestPeer lost[2], alice[2];
    for (int i = 0; i < 2; ++i) {
        const unsigned short port = freePort();
        rooms[i] = std::make_unique<ServerProcess>(std::to_string(port));
        ASSERT_TRUE(rooms[i]->waitFor("[*] UP :: PORT :: " + std::to_string(port)));
        std::thread([&] {
            const int netns = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
            ::setns(netns, CLONE_NEWNET); // this thread only
            ::close(netns);
            lost[i].connect(port, 0, (net + ".1").c_str());
        }).join();
        lost[i].join("lost");
        ASSERT_TRUE(lost[i].next() && alice[i].connect(port)); // answered: the link works
        alice[i].join("alice");
        ASSERT_TRUE(lost[i].next()); // the roster with alice: nothing more is owed it
    }
    std::this_thread::sleep_for(std::chrono::seconds(1)); // all acknowledged: the quiet room is quiet
    ASSERT_TRUE(sh("ip -n " + ns + " link set " + ns + "b down") && alice[1].sendText("alice: are you there?"));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(80); // within the test's time limit
    for (auto& room : rooms)
        EXPECT_TRUE(
            room->waitFor("[*] lost, : LEAVE", std::chrono::ceil<Millis>(end - std::chrono::steady_clock::now())));
}

TEST_F(UnthrottledServer, ClientThatNeverReadsIsDroppedWithoutStallingTheOthers)
{
    auto alice = joined("alice");
    auto bob = joined("bob");
    auto sleeper = joined("sleeper", 4096);
    alice->next();
    alice->next();
    bob->next();
    // Each relay queues ~150 bytes for the sleeper; it never reads, so it
    // passes the outbound limit somewhere in these lines and is dropped.
    const int lines = 40000;
    const int batch = 250;
    TestPeer* readers[] = {alice.get(), bob.get()};
    // Lockstep batches: the readers keep up, so only the sleeper falls behind.
    for (int first = 0; first < lines; first += batch) {
        std::string burst;
        for (int i = first; i < first + batch; ++i)
            burst += parlana::encodeFrame("alice: " + std::to_string(i) + std::string(100, '.'));
        ASSERT_TRUE(alice->sendRaw(burst));
        for (TestPeer* reader : readers) {
            for (int i = first; i < first + batch;) {
                const auto text = reader->next();
                ASSERT_TRUE(text) << "stalled before line " << i;
                if (parlana::beginsWith(*text, parlana::kRosterToken))
                    continue;
                ASSERT_EQ(*text, "alice: " + std::to_string(i) + std::string(100, '.'));
                ++i;
            }
        }
    }
    EXPECT_TRUE(process->waitFor("[*] sleeper, : LEAVE", Millis(5000)));
}

TEST(ServerStartup, PortArgumentParsingAndFailures)
{
    const unsigned short port = freePort();
    {
        ServerProcess server(std::to_string(port + 65536) + "abc");
        ASSERT_TRUE(server.waitFor("[*] UP :: PORT :: " + std::to_string(port + 65536) + "abc"));
        TestPeer peer;
        EXPECT_TRUE(peer.connect(port)); // low 16 bits
    }
    for (const char* bad : {"", "abc", "99999999999"}) {
        ServerProcess server(bad);
        EXPECT_EQ(server.exitStatus(), 2) << bad;
    }
    {
        const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::listen(holder, 1);
        ServerProcess server(std::to_string(port));
        EXPECT_EQ(server.line(), "impossibile creare server tcp...");
        EXPECT_EQ(server.exitStatus(), 1);
        ::close(holder);
    }
}

// Refused silently, such a socket would be kept and never read.
TEST(Poller, ReportsAHandleItCannotWatch)
{
    Poller poller;
    const int file = ::open("/dev/null", O_RDONLY);
    EXPECT_FALSE(poller.add(file));
    EXPECT_FALSE(poller.add(-1));
    ::close(file);
}

namespace {

/// A room serving TLS beside the plain protocol, with a key of its own made
/// in a fresh directory.
struct TlsServer : Server {
    TlsServer() { options = {"--tls-dir", keys + "/tls"}; }
    ~TlsServer() override { std::filesystem::remove_all(keys); }

    /// Connects, speaks TLS and joins, like `joined`.
    std::unique_ptr<TestPeer> joinedOverTls(const std::string& uid)
    {
        auto peer = std::make_unique<TestPeer>();
        EXPECT_TRUE(peer->connect(port) && peer->startTls());
        peer->join(uid);
        EXPECT_TRUE(process->waitFor("[*] " + uid + " : JOIN"));
        EXPECT_TRUE(peer->next());
        return peer;
    }

    std::string keys = [] {
        char pattern[] = "/tmp/parlana-keys-XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
};

struct TlsRequiredServer : TlsServer {
    TlsRequiredServer() { options.push_back("--tls-required"); }
};

} // namespace

TEST_F(TlsServer, ATlsMemberAndAPlainMemberShareTheRoomAndABadHandshakeHoldsNobodyUp)
{
    const std::optional<std::string> announced = process->line();
    auto secure = joinedOverTls("secure");
    EXPECT_EQ(announced, "[*] TLS :: " + secure->serverFingerprint());
    auto plain = joined("plain");
    ASSERT_TRUE(secure->sendText("secure: sealed"));
    EXPECT_EQ(plain->nextChat(), "secure: sealed");
    EXPECT_EQ(secure->nextChat(), "secure: sealed");
    // A handshake that stalls waits for its time; one of garbage fails at once.
    TestPeer stalled, garbage;
    ASSERT_TRUE(stalled.connect(port) && stalled.sendRaw("\x16\x03\x01"));
    ASSERT_TRUE(garbage.connect(port) && garbage.sendRaw("\x16\x03\x01" + std::string(300, 'x')));
    EXPECT_TRUE(garbage.closedWithin(Millis(3000)));
    EXPECT_TRUE(process->waitFor("[!] JOIN ATTEMPT : FAILED"));
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(plain->sendText("plain: " + std::to_string(i)));
        EXPECT_EQ(secure->nextChat(Millis(1000)), "plain: " + std::to_string(i));
    }
    EXPECT_FALSE(stalled.closedWithin(Millis(0)));
    EXPECT_TRUE(stalled.closedWithin(Millis(6000)));
}

TEST_F(TlsRequiredServer, APlainJoinIsClosedWithOneThrottledLineAndATlsOneIsAdmitted)
{
    for (int i = 0; i < 2; ++i) {
        TestPeer plain;
        ASSERT_TRUE(plain.connect(port));
        plain.join("plain");
        EXPECT_TRUE(plain.closedWithin(Millis(3000)));
    }
    EXPECT_TRUE(process->waitFor("[!] PLAIN JOIN REFUSED (127.0.0.1) : disconnected"));
    TestPeer secure;
    ASSERT_TRUE(secure.connect(port) && secure.startTls());
    secure.join("secure");
    EXPECT_EQ(process->line(), "[*] secure : JOIN"); // the second refusal printed nothing
    EXPECT_EQ(secure.next(), "$%$uids$%$,secure,");
}

TEST(ServerArguments, TlsOptionsMakeOneKeySource)
{
    const auto parse = [](std::vector<const char*> words) {
        words.insert(words.begin(), {"server", "5000"});
        std::string error;
        return parseArguments(static_cast<int>(words.size()), words.data(), error);
    };
    const auto both = parse({"--tls-cert", "c.pem", "--flood-rate", "0", "--tls-key", "k.pem", "--tls-required"});
    ASSERT_TRUE(both);
    EXPECT_EQ(both->tls.certificate + " " + both->tls.key, "c.pem k.pem");
    EXPECT_TRUE(both->tls.required);
    EXPECT_EQ(both->rules.floodRate, 0u);
    EXPECT_EQ(parse({"--tls-dir", "keys"})->tls.directory, "keys");
    for (const auto& bad :
         std::vector<std::vector<const char*>>{{"--tls-cert", "c.pem"},
                                               {"--tls-key", "k.pem"},
                                               {"--tls-dir", "d", "--tls-cert", "c", "--tls-key", "k"},
                                               {"--tls-required"},
                                               {"--tls-dir", "--tls-required"},
                                               {"--tls-dir"}})
        EXPECT_FALSE(parse(bad)) << bad[0];
}
