#include "client/widgets/Chat_UID.hpp"
#include "tests/support/Canvas.hpp"

#include <gtest/gtest.h>

#include <string>

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
