// The message pane's work in one connected frame, as the frame loop does it:
// sender colours, one colour step and the mention scan, with a full pane of
// 23 lines that mention several of 46 roster UIDs.
#include "client/widgets/Chat_RECV.hpp"
#include "tests/support/Graphics.hpp"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using parlana::Chat_RECV;

namespace {

constexpr int kRosterSize = 46;
constexpr int kPaneLines = 23;

sf::Font& benchFont()
{
    return parlana::test::testFont();
}

std::string uidName(int i)
{
    return "user" + std::to_string(i);
}

sf::Color uidColour(int i)
{
    return sf::Color(static_cast<sf::Uint8>(60 + i * 4), static_cast<sf::Uint8>(250 - i * 3),
                     static_cast<sf::Uint8>(120 + i), 255);
}

std::vector<sf::Text> makeRoster()
{
    std::vector<sf::Text> roster;
    for (int i = 0; i < kRosterSize; ++i) {
        sf::Text entry(uidName(i), benchFont(), 15);
        entry.setFillColor(uidColour(i));
        roster.push_back(entry);
    }
    return roster;
}

// Each line comes from a roster UID and mentions four others; every third
// line is long enough to wrap.
void fillPane(Chat_RECV& pane)
{
    for (int l = 0; l < kPaneLines; ++l) {
        std::string line = uidName(l) + ": hey @" + uidName((l + 5) % kRosterSize) + ", see @" +
                           uidName((l + 11) % kRosterSize) + " and @" + uidName((l + 17) % kRosterSize) + "! also @" +
                           uidName((l + 29) % kRosterSize);
        if (l % 3 == 0) {
            line += " with some more words so that the line wraps onto a second row";
        }
        pane.insert_msg(line);
    }
}

void frame(Chat_RECV& pane, std::vector<sf::Text>& roster)
{
    pane.assignMSGcolors(roster);
    pane.setMSGcolor();
    pane.assignUIDreference(roster);
}

void BM_PaneFrameSteady(benchmark::State& state)
{
    Chat_RECV pane(benchFont());
    fillPane(pane);
    std::vector<sf::Text> roster = makeRoster();
    frame(pane, roster);
    for (auto _ : state) {
        frame(pane, roster);
    }
}

// A UID leaves and another takes its place, alternately: every frame sees a
// roster different from the last one's, made of UIDs seen before.
void BM_PaneFrameRosterSwap(benchmark::State& state)
{
    Chat_RECV pane(benchFont());
    fillPane(pane);
    std::vector<sf::Text> first = makeRoster();
    std::vector<sf::Text> second = first;
    second.back().setString("newcomer");
    frame(pane, first);
    frame(pane, second);
    bool flip = false;
    for (auto _ : state) {
        frame(pane, flip ? first : second);
        flip = !flip;
    }
}

// Every frame a UID never seen before joins: the roster differs from the last
// frame's, so the mention index is rebuilt and every piece scanned again.
void BM_PaneFrameNewUID(benchmark::State& state)
{
    Chat_RECV pane(benchFont());
    fillPane(pane);
    std::vector<sf::Text> roster = makeRoster();
    frame(pane, roster);
    long joined = 0;
    for (auto _ : state) {
        roster.back().setString("j" + std::to_string(joined++));
        frame(pane, roster);
    }
}

} // namespace

BENCHMARK(BM_PaneFrameSteady);
BENCHMARK(BM_PaneFrameRosterSwap);
BENCHMARK(BM_PaneFrameNewUID);

BENCHMARK_MAIN();
