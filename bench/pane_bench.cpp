// The message pane's work in one connected frame, as the frame loop does it:
// sender colours, one colour step and the mention scan, with a full pane of
// 23 lines, ASCII or accented, that mention several of 46 roster UIDs; and
// the building of one line.
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

// The words of the lines: ASCII, or Italian with an accented letter in most
// words (two bytes each), laid out alike: the long tail wraps either way.
struct Words {
    const char* hey;
    const char* see;
    const char* and_;
    const char* also;
    const char* tail;
};
const Words kAscii{"hey", "see", "and", "also", " with some more words so that the line wraps onto a second row"};
const Words kAccented{"ehi", "perché", "e", "più", " con qualità già più città così però è già là più giù ché sì"};

const Words& words(const benchmark::State& state)
{
    return state.range(0) == 0 ? kAscii : kAccented;
}

std::string lineText(int l, const Words& w)
{
    std::string line = uidName(l) + ": " + w.hey + " @" + uidName((l + 5) % kRosterSize) + ", " + w.see + " @" +
                       uidName((l + 11) % kRosterSize) + " " + w.and_ + " @" + uidName((l + 17) % kRosterSize) + "! " +
                       w.also + " @" + uidName((l + 29) % kRosterSize);
    if (l % 3 == 0) {
        line += w.tail;
    }
    return line;
}

// Each line comes from a roster UID and mentions four others; every third
// line is long enough to wrap.
void fillPane(Chat_RECV& pane, const Words& w)
{
    for (int l = 0; l < kPaneLines; ++l) {
        pane.insert_msg(lineText(l, w));
    }
}

void frame(Chat_RECV& pane, std::vector<sf::Text>& roster, std::uint64_t version)
{
    pane.assignMSGcolors(roster, version);
    pane.setMSGcolor();
    pane.assignUIDreference(roster, version);
}

void BM_PaneFrameSteady(benchmark::State& state)
{
    Chat_RECV pane(benchFont());
    fillPane(pane, words(state));
    std::vector<sf::Text> roster = makeRoster();
    frame(pane, roster, 1);
    for (auto _ : state) {
        frame(pane, roster, 1);
    }
}

// A UID leaves and another takes its place, alternately: every frame sees a
// roster different from the last one's, made of UIDs seen before.
void BM_PaneFrameRosterSwap(benchmark::State& state)
{
    Chat_RECV pane(benchFont());
    fillPane(pane, words(state));
    std::vector<sf::Text> first = makeRoster();
    std::vector<sf::Text> second = first;
    second.back().setString("newcomer");
    std::uint64_t version = 0;
    frame(pane, first, ++version);
    frame(pane, second, ++version);
    bool flip = false;
    for (auto _ : state) {
        frame(pane, flip ? first : second, ++version);
        flip = !flip;
    }
}

// Every frame a UID never seen before joins: the roster differs from the last
// frame's, so the mention index is rebuilt and every piece scanned again.
void BM_PaneFrameNewUID(benchmark::State& state)
{
    Chat_RECV pane(benchFont());
    fillPane(pane, words(state));
    std::vector<sf::Text> roster = makeRoster();
    frame(pane, roster, 1);
    std::uint64_t joined = 1;
    for (auto _ : state) {
        roster.back().setString("j" + std::to_string(joined++));
        frame(pane, roster, joined);
    }
}

// Building one wrapped line as the pane does when it arrives: split, wrap,
// decode and the sf::Text of each piece.
void BM_LineBuild(benchmark::State& state)
{
    const std::string text = lineText(0, words(state));
    for (auto _ : state) {
        parlana::MultipartText line(text, benchFont(), sf::Color::White);
        benchmark::DoNotOptimize(line);
    }
}

} // namespace

// Argument 0: ASCII lines; 1: accented ones.
BENCHMARK(BM_PaneFrameSteady)->ArgName("accented")->Arg(0)->Arg(1);
BENCHMARK(BM_PaneFrameRosterSwap)->ArgName("accented")->Arg(0)->Arg(1);
BENCHMARK(BM_PaneFrameNewUID)->ArgName("accented")->Arg(0)->Arg(1);
BENCHMARK(BM_LineBuild)->ArgName("accented")->Arg(0)->Arg(1);

BENCHMARK_MAIN();
