// The client's own CPU work, without the GL draw: taking in a roster as big
// as one packet holds, and one connected frame of a full room (46 members)
// with a full message pane.
#include "client/ChatScreen.hpp"
#include "client/ClientState.hpp"
#include "client/Dispatch.hpp"
#include "tests/support/Graphics.hpp"

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

/// A chat screen of a joined client, its roster taken in and its pane full of
/// lines from room members that mention others (every third one wraps).
struct Client {
    Client() : screen(benchFont())
    {
        state.connected = true;
        screen.placeTypedLine(state.gui_msg, benchFont());
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
        frame();
    }

    void take(const std::string& packet)
    {
        screen.update(state, caret, "user0", [&] { dispatch_packet(packet, screen.pane, screen.roster, state); });
    }

    void frame()
    {
        screen.update(state, caret, "user0", [] {});
    }

    ClientState state;
    ChatScreen screen;
    Cursor caret{95, 640};
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
        client.frame();
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

} // namespace

BENCHMARK(BM_TakeInHugeRosterOfNewUids)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TakeInHugeRosterAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConnectedFrameRoom46)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConnectedFrameRoom46WithRoster)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
