#include "client/widgets/Chat_BOX.hpp"
#include "client/widgets/Chat_Error.hpp"
#include "client/widgets/Cursor.hpp"
#include "tests/support/Canvas.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

namespace parlana {

using namespace test;

TEST(InputBox, CounterAndFullTestCountBytes)
{
    EXPECT_EQ(Chat_BOX(testFont(), 5).getLengthLabel().getString().toAnsiString(), "0/5") << "the limit handed in";
    Chat_BOX box(testFont(), 112);
    EXPECT_EQ(box.getEnterLabelXY(), sf::Vector2f(25.f, 640.f));
    EXPECT_EQ(box.getLengthLabel().getString().toAnsiString(), "0/112");

    const std::string almost(111, 'a');
    EXPECT_FALSE(box.isFull(almost));
    EXPECT_TRUE(box.isFull(almost + "a"));
    EXPECT_TRUE(box.isFull(almost + "ab"));
    box.get_msg_length(almost + "a");
    EXPECT_EQ(box.getLengthLabel().getString().toAnsiString(), "112/112");
    EXPECT_EQ(box.getMsgLength(), 112);

    // 56 two-byte characters fill the line.
    std::string accented;
    for (int i = 0; i < 56; ++i) {
        accented += "\xC3\xA9";
    }
    EXPECT_TRUE(box.isFull(accented));
    box.get_msg_length("");
    EXPECT_EQ(box.getLengthLabel().getString().toAnsiString(), "0/112");
}

TEST(InputBox, FullLineEndsInsideTheBox)
{
    sf::Text line(std::string(112, 'W'), testFont(), 15);
    line.setPosition(25.f + 70.f, 640.f);
    EXPECT_LT(line.getGlobalBounds().left + line.getGlobalBounds().width, 995.f);
}

TEST(InputBox, DrawsFrameRedPromptAndCounterOverBorder)
{
    Canvas canvas;
    Chat_BOX box(testFont(), 112);
    const sf::Image image = canvas.render(box);
    EXPECT_EQ(image.getPixel(500, 599), sf::Color::White) << "top outline";
    EXPECT_EQ(image.getPixel(4, 640), sf::Color::White) << "left outline";
    EXPECT_EQ(image.getPixel(995, 640), sf::Color::White) << "right outline";
    EXPECT_EQ(image.getPixel(500, 680), sf::Color::White) << "bottom outline";
    EXPECT_TRUE(anyPixel(image, {25.f, 640.f, 60.f, 20.f}, sf::Color::Red));
    EXPECT_TRUE(anyPixel(image, {25.f, 599.f, 60.f, 1.f}, sf::Color::Black)) << "counter masks the border";
}

TEST(Caret, MovesFromItsOrigin)
{
    Cursor caret(95, 640);
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(95.f, 641.f));
    caret.updatePosition(0, 1);
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(96.f, 641.f));
    caret.updatePosition(40, 1);
    caret.updatePosition(40, 1);
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(136.f, 641.f)) << "each call measures from the origin";
    caret.updatePosition(40, 2);
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(134.f, 641.f));
    caret.updatePosition(10, 3);
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(134.f, 641.f));
    caret.updatePosition(2000, 1);
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(2096.f, 641.f)) << "not kept inside the box";
    caret.resetPosition();
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(95.f, 641.f));
}

TEST(Caret, ShowsOnlyInTheFirstHalfOfEachSecond)
{
    EXPECT_TRUE(Cursor::visibleAt(sf::seconds(0.f)));
    EXPECT_TRUE(Cursor::visibleAt(sf::seconds(0.49f)));
    EXPECT_FALSE(Cursor::visibleAt(sf::seconds(0.5f)));
    EXPECT_FALSE(Cursor::visibleAt(sf::seconds(0.7f)));

    Canvas canvas;
    Cursor caret(95, 640);
    EXPECT_EQ(canvas.render(caret).getPixel(95, 648), sf::Color::White);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(canvas.render(caret).getPixel(95, 648), sf::Color::Black);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    caret.draw(canvas.window); // past a second: this draw starts a new cycle
    EXPECT_EQ(canvas.render(caret).getPixel(95, 648), sf::Color::White);
}

TEST(ErrorScreen, KeepsItsOwnFontAndMessage)
{
    Canvas canvas;
    auto font = std::make_unique<sf::Font>(testFont());
    std::string message = "ERROR: SERVER MAX CONNECTION REACHED";
    Chat_Error screen(*font, message);
    font.reset();
    message.assign("changed");

    EXPECT_EQ(screen.getText().getCharacterSize(), 30u);
    EXPECT_EQ(screen.getText().getPosition(), sf::Vector2f(200.f, 350.f));
    EXPECT_EQ(screen.getText().getString().toAnsiString(), "ERROR: SERVER MAX CONNECTION REACHED");
    const sf::Image image = canvas.render(screen);
    EXPECT_TRUE(anyPixel(image, {200.f, 350.f, 40.f, 40.f}, sf::Color::White));
    // Twice the size of the other texts: the glyphs reach well below one row.
    EXPECT_TRUE(anyPixel(image, {200.f, 372.f, 300.f, 10.f}, sf::Color::White));
    EXPECT_TRUE(allPixels(image, {0.f, 0.f, 1000.f, 340.f}, sf::Color::Black));
}

} // namespace parlana
