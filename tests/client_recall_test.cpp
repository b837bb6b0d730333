// What the window remembers, without a window: the pane's rows and view,
// paste splitting and pacing, the lines sent and UID completion.
#include "client/LineHistory.hpp"
#include "client/LinePacer.hpp"
#include "client/PasteText.hpp"
#include "client/UidCompleter.hpp"
#include "client/widgets/Scrollback.hpp"

#include <gtest/gtest.h>

namespace parlana {
namespace {

using Lines = std::vector<std::string>;

TEST(Scrollback, HoldsStillOverTheMarkAndFollowsTheNewestWhenLive)
{
    Scrollback view(50, 23);
    for (int i = 0; i < 25; ++i)
        view.append(i == 3 ? 2 : 1); // 26 rows, line 3 on rows 3 and 4
    EXPECT_EQ(view.topLine(), 3u) << "live: the last 23 rows";
    view.scrollUp(2);
    EXPECT_EQ(view.topLine(), 1u);
    EXPECT_EQ(view.linesBelow(), 3u) << "22 rows shown, the lines from row 23 on below";
    view.append(1);
    EXPECT_EQ(view.topLine(), 1u) << "held still";
    EXPECT_EQ(view.linesBelow(), 4u);
    view.scrollDown(3);
    EXPECT_EQ(view.topLine(), 3u);
    EXPECT_EQ(view.topLineRow(), 1u) << "the wrapped line's second row on top";
    view.scrollDown(2);
    EXPECT_TRUE(view.live()) << "nothing left below";
    for (int i = 0; i < 20; ++i)
        view.append(1);
    view.pageUp();
    EXPECT_EQ(view.topLineRow(), 1u) << "a page is 20 rows";
    view.toOldest();
    std::size_t dropped = 0;
    for (int i = 0; i < 5; ++i)
        dropped += view.append(1);
    EXPECT_EQ(dropped, 1u) << "50 lines kept";
    EXPECT_EQ(view.topLine(), 0u) << "the oldest kept line, the one shown gone";
    view.scrollUp(5);
    EXPECT_FALSE(view.live());
    view.toNewest();
    EXPECT_TRUE(view.live());
}

TEST(Paste, LinesAreCleanedAndLongOnesSplit)
{
    const std::string text = "a\tb\r\nc\rd\n\n\x01\u00e8\x7f\n";
    EXPECT_EQ(pastedLines(sf::String::fromUtf8(text.begin(), text.end())), (Lines{"a b", "c", "d", "\u00e8"}));
    EXPECT_EQ(splitLongLine("aaa bbb cc", 7), (Lines{"aaa bbb", "cc"}));
    EXPECT_EQ(splitLongLine("aaaa bbbbbbbbb", 7), (Lines{"aaaa", "bbbbbbb", "bb"}));
    EXPECT_EQ(splitLongLine("ab\u00e8\u00e8", 4), (Lines{"ab\u00e8", "\u00e8"})) << "never inside a character";
}

TEST(Paste, TenAtOnceThenFiveASecondTypedLinesFirst)
{
    LinePacer pacer;
    Lines sent;
    const auto send = [&](const std::string& line) {
        sent.push_back(line);
        return true;
    };
    const auto t0 = LinePacer::Clock::time_point{} + std::chrono::hours(1);
    Lines paste;
    for (int i = 0; i < 30; ++i)
        paste.push_back(std::to_string(i));
    pacer.queuePaste(paste);
    EXPECT_EQ(pacer.release(t0, send), 10u);
    pacer.queueTyped("typed");
    EXPECT_EQ(pacer.release(t0 + std::chrono::milliseconds(199), send), 0u);
    EXPECT_EQ(pacer.release(t0 + std::chrono::milliseconds(1000), send), 5u);
    EXPECT_EQ(sent[10], "typed");
    EXPECT_EQ(pacer.pasteSent(), 14u);
    EXPECT_EQ(pacer.release(t0 + std::chrono::seconds(2), [](const std::string&) { return false; }), 0u);
    EXPECT_EQ(pacer.release(t0 + std::chrono::seconds(2), send), 5u) << "a refused line waits its turn";
    pacer.stopPaste();
    EXPECT_FALSE(pacer.waiting());
    EXPECT_EQ(Lines(sent.begin() + 11, sent.end()), Lines(paste.begin() + 10, paste.begin() + 19));
}

TEST(LineHistory, UpWalksBackAndDownGivesBackTheLineBeingTyped)
{
    LineHistory history;
    EXPECT_FALSE(history.older("x"));
    for (int i = 0; i < 102; ++i)
        history.remember("line " + std::to_string(i));
    EXPECT_EQ(history.older("draft"), "line 101");
    EXPECT_EQ(history.older("edited"), "line 100");
    EXPECT_EQ(history.newer(), "line 101");
    EXPECT_EQ(history.newer(), "draft");
    EXPECT_FALSE(history.newer());
    for (int i = 0; i < 99; ++i)
        history.older("");
    EXPECT_EQ(history.older(""), "line 2");
    EXPECT_FALSE(history.older("")) << "100 kept";
}

TEST(UidCompleter, RecentSpeakersFirstThenAlphabeticalAndCycling)
{
    UidCompleter completer("me");
    const Lines roster{"Carl", "me", "carol", "bob", "cat"};
    completer.spoke("cat");
    EXPECT_EQ(completer.complete("c", roster), "cat: ");
    EXPECT_EQ(completer.complete("cat: ", roster), "Carl: ");
    EXPECT_EQ(completer.complete("Carl: ", roster), "carol: ");
    EXPECT_EQ(completer.complete("carol: ", roster), "cat: ") << "round again";
    EXPECT_EQ(completer.complete("hi B", roster), "hi bob ");
    EXPECT_EQ(completer.complete("hi @ca", roster), "hi @cat ");
    EXPECT_FALSE(completer.complete("hi m", roster)) << "not oneself";
}

} // namespace
} // namespace parlana
