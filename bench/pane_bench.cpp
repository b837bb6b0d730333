// The message pane's work in one connected frame, as the frame loop does it:
// sender colours, one colour step and the mention scan, with a full pane of
// 23 lines, ASCII or accented, that mention several of 46 roster UIDs; the
// same frame with its draw, with 100 and with 10,000 lines kept, live and
// scrolled up; the heap that 10,000 lines of 112 bytes take; and the
// building of one line.
#include "client/widgets/Chat_RECV.hpp"
#include "tests/support/Graphics.hpp"

#include <benchmark/benchmark.h>

#include <malloc.h>

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

sf::RenderWindow& benchWindow()
{
    static sf::RenderWindow window(sf::VideoMode(1000, 700), "pane", sf::Style::None);
    return window;
}

// A frame with its draw, with range(0) lines kept (each like those above),
// the view live (range(1) 0) or three pages up (1). Every frame takes one
// colour step, so every line in view is recoloured, and is drawn.
void BM_PaneFrameWithLinesKept(benchmark::State& state)
{
    Chat_RECV pane(benchFont());
    for (int l = 0; l < state.range(0); ++l) {
        pane.insert_msg(lineText(l % kRosterSize, kAscii));
    }
    std::vector<sf::Text> roster = makeRoster();
    if (state.range(1) == 1) {
        for (int page = 0; page < 3; ++page) {
            pane.view().pageUp();
        }
    }
    frame(pane, roster, 1);
    sf::RenderWindow& window = benchWindow();
    for (auto _ : state) {
        frame(pane, roster, 1);
        window.clear();
        pane.draw(window);
        window.display();
    }
}

// The heap taken by 10,000 lines of 112 typed bytes (each with its "uidNN: "
// prefix), drawn as they come as a live pane draws them; reported as the
// counter "bytes". A pane drawn once before leaves out what the window and
// the font's glyphs take, once per run.
void BM_HeapOf10000Lines(benchmark::State& state)
{
    const std::string typed(112, 'x');
    sf::RenderWindow& window = benchWindow();
    {
        Chat_RECV warm(benchFont());
        for (int l = 0; l < kRosterSize; ++l) {
            warm.insert_msg(uidName(l) + ": " + typed.substr(0, 100) + " " + typed.substr(0, 11));
            warm.draw(window);
        }
    }
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        {
            Chat_RECV pane(benchFont());
            for (int l = 0; l < 10000; ++l) {
                pane.insert_msg(uidName(l % kRosterSize) + ": " + typed.substr(0, 100) + " " + typed.substr(0, 11));
                if (l % 23 == 0) {
                    pane.draw(window);
                }
            }
            state.counters["bytes"] = static_cast<double>(mallinfo2().uordblks - before);
            state.counters["lines"] = static_cast<double>(pane.getMessages().size());
        }
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
// Arguments: lines kept; 0 live, 1 scrolled up.
BENCHMARK(BM_PaneFrameWithLinesKept)
    ->ArgNames({"kept", "up"})
    ->Args({100, 0})
    ->Args({10000, 0})
    ->Args({100, 1})
    ->Args({10000, 1});
BENCHMARK(BM_HeapOf10000Lines)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
