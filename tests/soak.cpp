// Fault injection and soak against the real server process.
//
// Two well-behaved clients chat throughout (on their own thread) while the
// main thread injects one misbehaving connection pattern after another.
// After each injection: both chatters have received every line of both,
// whole and in order, and no line in their name nor any control packet from
// anyone else; the server is alive; its resident memory grew by less than
// 64 MiB; its open descriptors are back to what they were.
//
// The server binary is the one built beside this program, run with a budget
// that lets the chatters' bursts through: speed is the point of them.
//
//   soak [--minutes M]   (no --minutes: one short round, as ctest runs it)
#include "protocol/tokens.hpp"
#include "tests/support/HostilePeers.hpp"
#include "tests/support/TestPeer.hpp"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace parlana;
using namespace parlana::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr long kMaxGrowthKiB = 64 * 1024;

struct Options {
    double minutes = 0;
    bool longRun() const { return minutes > 0; }
};

/// The two well-behaved clients, each sending numbered lines and checking
/// that every line of both arrives in order at both.
class Chatters {
public:
    explicit Chatters(unsigned short port)
    {
        for (const char* uid : {"anna", "bruno"}) {
            auto peer = std::make_unique<TestPeer>();
            if (!peer->connect(port))
                throw std::runtime_error("chatter cannot connect");
            peer->join(uid);
            if (!peer->next()) // the roster answering its empty packet: admitted
                throw std::runtime_error("chatter not admitted");
            m_peers.push_back({std::move(peer), uid, 0, {}});
        }
        m_thread = std::thread([this] { loop(); });
    }

    ~Chatters()
    {
        m_stop = true;
        m_thread.join();
    }

    /// Sends `lines` lines as fast as the readers keep up, then resumes the
    /// steady pace.
    void burst(int lines) { m_burst += lines; }

    /// Waits until everything sent has been received by both; false on a
    /// stall or an order fault (then `fault()` says which).
    bool settle(std::chrono::seconds limit)
    {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_fault.empty())
                    return false;
                if (m_burst == 0 && caughtUp())
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fault = m_fault.empty() ? "lines still missing after " + std::to_string(limit.count()) + " s" : m_fault;
        return false;
    }

    std::string fault()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_fault;
    }

    long linesSent()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        long total = 0;
        for (const auto& c : m_peers)
            total += c.sent;
        return total;
    }

private:
    struct Chatter {
        std::unique_ptr<TestPeer> peer;
        std::string uid;
        long sent;
        std::map<std::string, long> nextFrom;
    };

    bool caughtUp(const Chatter& reader) const
    {
        for (const auto& sender : m_peers) {
            const auto it = reader.nextFrom.find(sender.uid);
            if ((it == reader.nextFrom.end() ? 0 : it->second) != sender.sent)
                return false;
        }
        return true;
    }

    bool caughtUp() const
    {
        for (const auto& reader : m_peers)
            if (!caughtUp(reader))
                return false;
        return true;
    }

    void loop()
    {
        auto nextSend = Clock::now();
        while (!m_stop) {
            const bool bursting = m_burst > 0;
            if (bursting || Clock::now() >= nextSend) {
                sendRound(bursting ? 100 : 1);
                nextSend = Clock::now() + std::chrono::milliseconds(5);
            }
            for (auto& c : m_peers)
                receive(c, bursting);
        }
    }

    void sendRound(int perChatter)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& c : m_peers) {
            std::string bytes;
            for (int i = 0; i < perChatter; ++i)
                bytes += parlana::encodeFrame(c.uid + ": " + std::to_string(c.sent + i) + " " + std::string(60, '~'));
            if (!c.peer->sendRaw(bytes) && m_fault.empty())
                m_fault = c.uid + " could not send";
            c.sent += perChatter;
        }
        if (m_burst > 0)
            m_burst = std::max(0, m_burst - 2 * perChatter);
    }

    // In a burst, read until this chatter has caught up, so the chatters
    // themselves are never the slow readers being tested.
    void receive(Chatter& c, bool untilCaughtUp)
    {
        for (;;) {
            const auto text = c.peer->next(std::chrono::milliseconds(untilCaughtUp ? 2000 : 1));
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!text) {
                if (untilCaughtUp && !caughtUp(c) && m_fault.empty())
                    m_fault = c.uid + " stalled in a burst";
                return;
            }
            check(c, *text);
            if (untilCaughtUp && caughtUp(c))
                return;
        }
    }

    void check(Chatter& reader, const std::string& text)
    {
        if (parlana::beginsWith(text, parlana::kRosterToken))
            return;
        // No member may make anyone see a refusal.
        if (parlana::beginsWith(text, "$%$") && m_fault.empty())
            m_fault = reader.uid + " got a control packet '" + text + "'";
        for (const auto& sender : m_peers) {
            const std::string prefix = sender.uid + ": ";
            if (text.compare(0, prefix.size(), prefix) != 0)
                continue;
            long& expected = reader.nextFrom[sender.uid];
            const std::string want = prefix + std::to_string(expected) + " " + std::string(60, '~');
            if (text != want && m_fault.empty())
                m_fault = reader.uid + " got '" + text + "' instead of '" + want + "'";
            ++expected;
        }
    }

    std::vector<Chatter> m_peers;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_burst{0};
    std::mutex m_mutex;
    std::string m_fault;
};

/// One injection: connects misbehaving peers to the port, leaves them closed.
struct Injection {
    const char* name;
    std::function<void(unsigned short port, Chatters&, ServerProcess&)> run;
};

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::unique_ptr<TestPeer> joinedPeer(unsigned short port, const std::string& uid, int receiveBuffer = 0)
{
    auto peer = std::make_unique<TestPeer>();
    peer->connect(port, receiveBuffer);
    peer->join(uid);
    peer->next(); // the roster answering its empty packet: it is in
    return peer;
}

std::vector<Injection> injections(int scale)
{
    return {
        {"connection that never sends its join",
         [](unsigned short port, Chatters&, ServerProcess& server) {
             const auto silent = silentNewcomer(port);
             server.waitFor("[!] JOIN ATTEMPT : FAILED", Millis(10000));
         }},
        {"join and chat frame trickled one byte at a time",
         [](unsigned short port, Chatters&, ServerProcess&) {
             TestPeer slow;
             slow.connect(port);
             trickle(slow, joinThenLine("trickle", "trickle: slowly but whole"), Millis(1));
             slow.nextChat();
         }},
        {"frame announcing 2 GiB",
         [](unsigned short port, Chatters&, ServerProcess&) {
             auto peer = joinedPeer(port, "huge");
             sendHugeHeader(*peer, 1000);
             peer->closedWithin(Millis(5000));
         }},
        {"garbage bytes",
         [](unsigned short port, Chatters&, ServerProcess&) {
             std::mt19937 random(42);
             for (int round = 0; round < 5; ++round) {
                 auto peer = joinedPeer(port, "junk");
                 std::string junk(4096, '\0');
                 for (char& c : junk)
                     c = static_cast<char>(random());
                 peer->sendRaw(junk);
                 peer->closedWithin(Millis(500)); // whether it is dropped depends on the bytes
             }
         }},
        {"string length larger than its payload",
         [](unsigned short port, Chatters&, ServerProcess&) {
             auto peer = joinedPeer(port, "liar");
             peer->sendRaw(encodeSize(7) + encodeSize(5000) + "abc"); // relayed as an empty string
             peer->next();
         }},
        {"resets while idle, mid-frame and mid-send",
         [](unsigned short port, Chatters& chatters, ServerProcess&) {
             joinedPeer(port, "idle")->reset();
             auto midFrame = joinedPeer(port, "midframe");
             resetMidFrame(*midFrame, "midframe: cut short", 9, Millis(20));
             auto midSend = joinedPeer(port, "midsend", 4096);
             chatters.burst(4000);
             sleepMs(50);
             midSend->reset();
         }},
        {"forged, control, overlong and untypable lines",
         [](unsigned short port, Chatters&, ServerProcess&) {
             auto forger = joinedPeer(port, "forger");
             for (const std::string& line : refusedLines("forger", "anna"))
                 forger->sendText(line);
             forger->sendText("forger: done");
             forger->nextChat(); // its own valid line back: the refused ones went before it
         }},
        {"half-close",
         [](unsigned short port, Chatters&, ServerProcess&) {
             auto peer = joinedPeer(port, "half");
             halfClose(*peer, "half: goodbye");
             peer->closedWithin(Millis(5000));
         }},
        {"20 clients that never read while 20,000 lines go out",
         [scale](unsigned short port, Chatters& chatters, ServerProcess&) {
             std::vector<std::unique_ptr<TestPeer>> sleepers;
             for (int i = 0; i < 20; ++i)
                 sleepers.push_back(joinedPeer(port, "zz" + std::to_string(i), 4096));
             chatters.burst(20000 / scale);
             chatters.settle(std::chrono::seconds(60));
         }},
        {"join/leave/reset cycles",
         [scale](unsigned short port, Chatters&, ServerProcess& server) {
             for (int i = 0; i < 500 / scale; ++i) {
                 auto peer = joinedPeer(port, "cyc" + std::to_string(i % 7));
                 if (i % 2)
                     peer->reset();
                 server.drain();
             }
         }},
    };
}

bool waitForFds(ServerProcess& server, int wanted)
{
    for (int i = 0; i < 500 && server.openFds() != wanted; ++i) {
        server.drain();
        sleepMs(10);
    }
    return server.openFds() == wanted;
}

bool runRound(unsigned short port, Chatters& chatters, ServerProcess& server, int scale, long baseKiB, int baseFds)
{
    for (const Injection& injection : injections(scale)) {
        const auto started = Clock::now();
        injection.run(port, chatters, server);
        server.drain();
        const bool delivered = chatters.settle(std::chrono::seconds(30));
        const bool fdsBack = waitForFds(server, baseFds);
        const long growth = server.residentKiB() - baseKiB;
        const bool alive = server.alive();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
        std::printf("%-55s %6lld ms  lines sent %8ld  rss +%6ld KiB  fds %d/%d  %s\n", injection.name,
                    static_cast<long long>(ms), chatters.linesSent(), growth, server.openFds(), baseFds,
                    delivered && fdsBack && alive && growth < kMaxGrowthKiB ? "ok" : "FAILED");
        std::fflush(stdout);
        if (!delivered)
            std::printf("  delivery fault: %s\n", chatters.fault().c_str());
        if (!(delivered && fdsBack && alive && growth < kMaxGrowthKiB))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--minutes")
            options.minutes = std::stod(argv[i + 1]);

    const unsigned short port = freePort();
    ServerProcess server(std::to_string(port), {"--flood-rate", "2000", "--flood-burst", "200"});
    if (!server.waitFor("[*] UP :: PORT :: " + std::to_string(port))) {
        std::printf("server did not start\n");
        return 1;
    }
    Chatters chatters(port);
    if (!chatters.settle(std::chrono::seconds(10))) {
        std::printf("chatters could not start: %s\n", chatters.fault().c_str());
        return 1;
    }
    server.drain();
    const long baseKiB = server.residentKiB();
    const int baseFds = server.openFds();
    std::printf("server pid %d: rss %ld KiB, %d fds with the two chatters\n", server.pid(), baseKiB, baseFds);

    // The short round scales the two big injections down tenfold.
    const int scale = options.longRun() ? 1 : 10;
    const auto end = Clock::now() + std::chrono::duration<double, std::ratio<60>>(options.minutes);
    int rounds = 0;
    do {
        if (!runRound(port, chatters, server, scale, baseKiB, baseFds)) {
            std::printf("0 passed, 1 failed\n");
            return 1;
        }
        ++rounds;
    } while (Clock::now() < end);
    std::printf("soak: %d round(s), %ld lines checked at both chatters, final rss %ld KiB (+%ld), fds %d\n", rounds,
                chatters.linesSent(), server.residentKiB(), server.residentKiB() - baseKiB, server.openFds());
    return 0;
}
