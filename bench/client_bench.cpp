// The client's own CPU work, without the GL draw: taking in a roster as big
// as one packet holds, and one connected frame of a full room (46 members)
// with a full message pane. Then the intake of a busy room with the draw:
// whole frames, each taking packets for its budget and drawing, against a
// server that always has more to send.
#include "client/ClientState.hpp"
#include "client/ConnectedFrame.hpp"
#include "client/ServerLink.hpp"
#include "protocol/frame.hpp"
#include "tests/support/FakeTransport.hpp"
#include "tests/support/Graphics.hpp"
#include "tests/support/TestSurface.hpp"

#include <benchmark/benchmark.h>

#include <string>

using namespace parlana;

namespace {

constexpr int kRoomSize = 46;
constexpr int kPaneLines = 23;

sf::Font& benchFont()
{
    parlana::test::keepGraphicsLoaded();
    return parlana::test::testFont();
}

// 9,001 UIDs of six characters: 63,018 bytes, the most a packet under the
// 64 KiB limit holds.
std::string hugeRoster(const std::string& prefix)
{
    std::string text = kRosterToken + ",";
    for (int i = 0; i < 9001; ++i) {
        std::string number = std::to_string(i);
        text += prefix + std::string(5 - number.size(), '0') + number + ",";
    }
    return text;
}

std::string roomRoster()
{
    std::string text = kRosterToken + ",";
    for (int i = 0; i < kRoomSize; ++i) {
        text += "user" + std::to_string(i) + ",";
    }
    return text;
}

/// A joined client's connected frame, run as the program runs it, its roster
/// taken in and its pane full of lines from room members that mention others
/// (every third one wraps). Packets alone never make it draw, and the clock
/// and the caret only a few times a second.
struct Client {
    explicit Client(FrameRules rules = {std::chrono::hours(1), std::chrono::hours(1)})
        : frame(benchFont(), state, link, surface, "user0", rules)
    {
        surface.capture = false;
        link.start(now, std::chrono::seconds(0));
        state.msg = "a line being typed";
        take(roomRoster());
        for (int l = 0; l < kPaneLines; ++l) {
            std::string line = "user" + std::to_string(l) + ": hey @user" + std::to_string((l + 5) % kRoomSize) +
                               ", see @user" + std::to_string((l + 11) % kRoomSize) + " and @user" +
                               std::to_string((l + 17) % kRoomSize) + "!";
            if (l % 3 == 0) {
                line += " with some more words so that the line wraps onto a second row";
            }
            take(line);
        }
    }

    /// One frame that takes in `packet`.
    void take(const std::string& packet)
    {
        wire.inbound += encodeFrame(packet);
        frame.run(now);
    }

    /// One frame with nothing arriving.
    void idle() { frame.run(now); }

    ClientState state;
    test::WireScript wire;
    ServerLink link{"user0", "chat.example", 5000, std::make_unique<test::FakeTransport>(wire)};
    sf::RenderWindow window{sf::VideoMode(1000, 700), "client", sf::Style::None};
    test::TestSurface surface{window};
    ConnectedFrame frame;
    ServerLink::Clock::time_point now = ServerLink::Clock::now();
};

// Rosters of UIDs never seen before: every entry draws its colour, and once
// the colour map is full the UIDs absent longest are forgotten.
void BM_TakeInHugeRosterOfNewUids(benchmark::State& state)
{
    Client client;
    long round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string roster = hugeRoster(std::string(1, static_cast<char>('a' + round % 26)));
        ++round;
        state.ResumeTiming();
        client.take(roster);
    }
}

// The same 9,001 UIDs again and again, as a flooding server would send them.
void BM_TakeInHugeRosterAgain(benchmark::State& state)
{
    Client client;
    const std::string roster = hugeRoster("h");
    client.take(roster);
    for (auto _ : state) {
        client.take(roster);
    }
}

// One frame of a full room with nothing arriving.
void BM_ConnectedFrameRoom46(benchmark::State& state)
{
    Client client;
    for (auto _ : state) {
        client.idle();
    }
}

// One frame of a full room taking in the roster packet the server sends
// before every relayed line.
void BM_ConnectedFrameRoom46WithRoster(benchmark::State& state)
{
    Client client;
    const std::string roster = roomRoster();
    for (auto _ : state) {
        client.take(roster);
    }
}

// Whole frames of a room of 46 whose members keep talking: the server sends
// the roster and then the line for every line relayed, and always has more
// waiting. Each frame takes packets for its budget, updates every panel and
// draws into a window of the client's size. Reports packets taken per second
// of wall time, the drawing (and the X server's share of it) included.
void BM_IntakeOfABusyRoom(benchmark::State& state)
{
    // The budget the program has, and a draw in every frame.
    Client client({kIntakeBudget, {}});
    std::string traffic;
    const std::string roster = encodeFrame(roomRoster());
    for (int i = 0; i < 1000; ++i)
        traffic += roster + encodeFrame("user" + std::to_string(i % kRoomSize) + ": line " + std::to_string(i) +
                                        " for @user" + std::to_string((i + 7) % kRoomSize) + " and a few more words");
    for (auto _ : state) {
        if (client.wire.inbound.size() < traffic.size())
            client.wire.inbound += traffic;
        client.frame.run(ServerLink::Clock::now());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(client.frame.packetsTaken()));
}

} // namespace

BENCHMARK(BM_IntakeOfABusyRoom)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TakeInHugeRosterOfNewUids)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TakeInHugeRosterAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConnectedFrameRoom46)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConnectedFrameRoom46WithRoster)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
