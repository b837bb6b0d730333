#include "client/widgets/Chat_UID.hpp"
#include "tests/support/Canvas.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace parlana {

using namespace test;

namespace {

void fill(Chat_UID& roster, int count, const std::string& prefix = "user")
{
    roster.refresh();
    for (int i = 0; i < count; ++i) {
        roster.getUIDS(prefix + std::to_string(i));
    }
}

std::string header(Chat_UID& roster)
{
    roster.updateUIDcounter();
    return roster.getCounter().getString().toAnsiString();
}

} // namespace

TEST(Roster, HeaderCountsEntriesAndPages)
{
    Chat_UID roster(testFont());
    EXPECT_EQ(roster.getCounter().getString().toAnsiString(), "[+] CHAT 0");
    EXPECT_EQ(header(roster), "[+] CHAT 0 [ 1/1 ]");
    fill(roster, 5);
    EXPECT_EQ(header(roster), "[+] CHAT 5 [ 1/1 ]");
    fill(roster, 23);
    EXPECT_EQ(header(roster), "[+] CHAT 23 [ 1/1 ]");
    EXPECT_EQ(roster.getUIDS()[22].getPosition(), sf::Vector2f(35.f, 550.f));
    fill(roster, 24);
    EXPECT_EQ(header(roster), "[+] CHAT 24 [ 1/2 ]");
    EXPECT_EQ(roster.getUIDS()[23].getPosition(), sf::Vector2f(35.f, 110.f));
    fill(roster, 47);
    EXPECT_EQ(header(roster), "[+] CHAT 47 [ 1/3 ]");
}

TEST(Roster, PagesAreClampedByDraw)
{
    Canvas canvas;
    Chat_UID roster(testFont());
    roster.prevPage();
    EXPECT_EQ(roster.getCurrentPage(), 1u);

    fill(roster, 24);
    roster.updateUIDcounter();
    roster.nextPage();
    roster.nextPage();
    roster.nextPage();
    roster.draw(canvas.window);
    EXPECT_EQ(roster.getCurrentPage(), 2u);
    EXPECT_EQ(roster.getPageStart(), 23);
    EXPECT_EQ(header(roster), "[+] CHAT 24 [ 2/2 ]");

    // Seen on page 2, a shorter roster brings the panel back to page 1.
    fill(roster, 3);
    roster.updateUIDcounter();
    roster.draw(canvas.window);
    EXPECT_EQ(header(roster), "[+] CHAT 3 [ 1/1 ]");
    EXPECT_EQ(roster.getPageStart(), 0);
}

TEST(Roster, EveryPageStartsTwentyThreeEntriesOn)
{
    Canvas canvas;
    Chat_UID roster(testFont());
    fill(roster, 50);
    roster.updateUIDcounter();
    for (int page = 0; page < 2; ++page) {
        roster.nextPage();
    }
    const sf::Image image = canvas.render(roster);
    EXPECT_EQ(roster.getPageStart(), 46);

    // Page 3 shows entries 46 to 49 in the first four rows and nothing below.
    for (int row = 0; row < 4; ++row) {
        const sf::Color colour = roster.getUIDS()[46 + row].getFillColor();
        EXPECT_TRUE(anyPixel(image, {35.f, 110.f + 20.f * row, 60.f, 20.f}, colour)) << row;
    }
    EXPECT_TRUE(allPixels(image, {35.f, 192.f, 150.f, 380.f}, sf::Color::Black));
}

TEST(Roster, ColoursAreBrightAndKeptForTheRun)
{
    Chat_UID roster(testFont());
    fill(roster, 46);
    std::map<std::string, sf::Color> first = roster.getUIDSmap();
    ASSERT_EQ(first.size(), 46u);
    for (const sf::Text& entry : roster.getUIDS()) {
        const sf::Color c = entry.getFillColor();
        EXPECT_GE(c.r, 1);
        EXPECT_GE(c.g, 1);
        EXPECT_GE(c.b, 1);
        EXPECT_EQ(c.a, 255);
        EXPECT_GT(Chat_UID::brightness(c.r, c.g, c.b), 100.f);
        EXPECT_EQ(first.at(entry.getString().toAnsiString()), c);
    }

    roster.refresh();
    EXPECT_TRUE(roster.getUIDS().empty());
    roster.getUIDS("newcomer");
    roster.getUIDS("user7");
    EXPECT_EQ(roster.getUIDS()[1].getFillColor(), first.at("user7"));
    EXPECT_EQ(roster.getUIDSmap().size(), 47u);
}

TEST(Roster, DrawsFrameHeaderOverBorderAndEntries)
{
    Canvas canvas;
    Chat_UID roster(testFont());
    fill(roster, 2);
    roster.updateUIDcounter();
    const sf::Image image = canvas.render(roster);

    EXPECT_EQ(image.getPixel(190, 79), sf::Color::White) << "top outline right of the header";
    EXPECT_EQ(image.getPixel(4, 300), sf::Color::White) << "left outline";
    EXPECT_EQ(image.getPixel(205, 300), sf::Color::White) << "right outline";
    EXPECT_EQ(image.getPixel(100, 580), sf::Color::White) << "bottom outline";
    // The header's black outline hides the border behind its glyphs.
    EXPECT_TRUE(anyPixel(image, {5.f, 79.f, 80.f, 1.f}, sf::Color::Black));
    EXPECT_TRUE(anyPixel(image, {5.f, 70.f, 80.f, 20.f}, sf::Color::White));
    EXPECT_TRUE(anyPixel(image, {35.f, 130.f, 50.f, 20.f}, roster.getUIDS()[1].getFillColor()));
}

} // namespace parlana

namespace parlana {

namespace {

// The colours as handed out one entry at a time, every entry compared with
// every UID seen so far: a UID not seen before takes the next bright colour
// rand() gives, a UID seen before its old one.
std::vector<sf::Color> reference(const std::vector<std::vector<std::string>>& rosters, unsigned seed)
{
    std::srand(seed);
    std::vector<std::pair<std::string, sf::Color>> seen;
    std::vector<sf::Color> shown;
    for (const auto& roster : rosters) {
        for (const std::string& uid : roster) {
            const auto known =
                std::find_if(seen.begin(), seen.end(), [&](const auto& pair) { return pair.first == uid; });
            if (known != seen.end()) {
                shown.push_back(known->second);
                continue;
            }
            int r, g, b;
            do {
                r = std::rand() % 255 + 1;
                g = std::rand() % 255 + 1;
                b = std::rand() % 255 + 1;
            } while (std::sqrt(0.299 * r * r + 0.587 * g * g + 0.114 * b * b) <= 100.0);
            const sf::Color colour(static_cast<sf::Uint8>(r), static_cast<sf::Uint8>(g), static_cast<sf::Uint8>(b));
            seen.emplace_back(uid, colour);
            shown.push_back(colour);
        }
    }
    return shown;
}

std::vector<sf::Color> taken(Chat_UID& roster, const std::vector<std::vector<std::string>>& rosters, unsigned seed)
{
    std::srand(seed);
    std::vector<sf::Color> shown;
    for (const auto& uids : rosters) {
        roster.refresh();
        for (const std::string& uid : uids) {
            roster.getUIDS(uid);
        }
        for (const sf::Text& entry : roster.getUIDS()) {
            shown.push_back(entry.getFillColor());
        }
    }
    return shown;
}

std::vector<std::string> named(const std::string& prefix, int from, int to)
{
    std::vector<std::string> uids;
    for (int i = from; i < to; ++i) {
        uids.push_back(prefix + std::to_string(i));
    }
    return uids;
}

} // namespace

TEST(Roster, ColoursComeFromRandInTheOrderNewUidsAreListed)
{
    const std::vector<std::vector<std::string>> rosters{
        {"alice", "bob", "alice", "", "carol"}, {"dave", "bob", "erin", "dave"}, {}, {"carol", "frank", "alice"}};
    Chat_UID roster(testFont());
    EXPECT_EQ(taken(roster, rosters, 1234), reference(rosters, 1234));
}

// 9,001 UIDs fit a 64 KiB roster packet. The panel lists them all, remembers
// at most 4,096 colours, and the UIDs it remembers keep their colours from
// one such roster to the next.
TEST(Roster, HugeRostersAreListedWhileTheColourMapStaysBounded)
{
    Chat_UID roster(testFont());
    const std::vector<std::string> huge = named("u", 0, 9001);
    std::map<std::string, sf::Color> first;
    for (int round = 0; round < 3; ++round) {
        roster.refresh();
        for (const std::string& uid : huge) {
            roster.getUIDS(uid);
        }
        ASSERT_EQ(roster.getUIDS().size(), 9001u);
        EXPECT_EQ(roster.getUIDSmap().size(), kMaxRememberedUids);
        for (const auto& [uid, colour] : roster.getUIDSmap()) {
            if (round == 0) {
                first[uid] = colour;
            } else {
                EXPECT_EQ(first.at(uid), colour) << uid;
            }
        }
    }
    for (const sf::Text& entry : roster.getUIDS()) {
        const sf::Color c = entry.getFillColor();
        ASSERT_GT(Chat_UID::brightness(c.r, c.g, c.b), 100.f) << "every entry is coloured, remembered or not";
    }
    roster.updateUIDcounter();
    EXPECT_EQ(header(roster), "[+] CHAT 9001 [ 1/392 ]");
}

TEST(Roster, AFullColourMapForgetsTheUidsAbsentLongestFirst)
{
    Chat_UID roster(testFont());
    const auto list = [&](const std::vector<std::string>& uids) {
        roster.refresh();
        for (const std::string& uid : uids) {
            roster.getUIDS(uid);
        }
    };
    list(named("a", 0, 3000));
    list(named("b", 0, 3000));
    const std::map<std::string, sf::Color>& map = roster.getUIDSmap();
    EXPECT_EQ(map.size(), kMaxRememberedUids);
    EXPECT_EQ(map.count("a0"), 1u) << "the roster before is not forgotten for the one being listed";
    EXPECT_EQ(map.count("b1095"), 1u);
    EXPECT_EQ(map.count("b1096"), 0u);
    const sf::Color b0 = map.at("b0");

    list(named("c", 0, 10));
    EXPECT_EQ(map.size(), kMaxRememberedUids);
    EXPECT_EQ(map.count("c9"), 1u);
    EXPECT_EQ(map.count("a9"), 0u) << "absent longest, forgotten first";
    EXPECT_EQ(map.count("a10"), 1u);

    list(named("b", 0, 1));
    EXPECT_EQ(roster.getUIDS()[0].getFillColor(), b0) << "a remembered UID keeps its colour";

    Chat_UID wide(testFont());
    wide.refresh();
    for (int i = 0; i < 300; ++i) {
        wide.getUIDS(std::string(1000, static_cast<char>('!' + i % 90)) + std::to_string(i));
    }
    std::size_t bytes = 0;
    for (const auto& entry : wide.getUIDSmap()) {
        bytes += entry.first.size();
    }
    EXPECT_LE(bytes, kMaxRememberedBytes) << "long UIDs are bounded by their bytes too";
    EXPECT_GT(bytes, kMaxRememberedBytes - 2000);
}

} // namespace parlana
