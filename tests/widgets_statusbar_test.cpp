#include "client/widgets/StatusBar.hpp"
#include "client/widgets/Utf8.hpp"
#include "tests/support/Canvas.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace parlana {

using namespace test;

namespace {

std::tm localDate(int year, int month, int day, int hour, int minute, int second)
{
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    when.tm_isdst = -1;
    std::mktime(&when); // fills in the day of the week
    return when;
}

std::string serverText(const std::string& name)
{
    StatusBar bar(testFont());
    bar.setServerName(name);
    bar.setInfo("me", {});
    bar.setInfo("me", {});
    return encodeUtf8(bar.getServerLabel().getString());
}

} // namespace

TEST(StatusBar, ClockUsesItalianAbbreviations)
{
    EXPECT_EQ(StatusBar::formatClock(localDate(2026, 12, 6, 6, 2, 42)), "Dom Dic  6 06:02:42 2026\n");
    EXPECT_EQ(StatusBar::formatClock(localDate(2026, 3, 10, 23, 59, 0)), "Mar Mar 10 23:59:00 2026\n");
    EXPECT_EQ(StatusBar::formatClock(localDate(2027, 5, 20, 0, 0, 9)), "Gio May 20 00:00:09 2027\n");
    EXPECT_EQ(StatusBar::formatClock(localDate(2027, 1, 1, 12, 0, 0)), "Ven Gen  1 12:00:00 2027\n");
}

TEST(StatusBar, LongServerNamesAreShortened)
{
    const std::string prefix = "[ + ] SERVER : ";
    const std::string name25(25, 's');
    EXPECT_EQ(serverText(name25), prefix + name25);
    EXPECT_EQ(serverText(name25 + "t"), prefix + name25 + "t...");
    EXPECT_EQ(serverText(std::string(26, 'l') + std::string(14, 'x')), prefix + std::string(26, 'l') + "...");
    EXPECT_EQ(serverText(""), prefix);
    EXPECT_EQ(serverText("città"), prefix + "città"); // drawn as 5 characters, not 6 bytes
    EXPECT_EQ(serverText(std::string(25, 'a') + "èx"), prefix + std::string(25, 'a') + "...");
}

TEST(StatusBar, AnEncryptedConnectionIsMarkedInThePlaceOfThePlusSign)
{
    StatusBar bar(testFont());
    bar.setServerName("chat.example");
    bar.setInfo("me", {});
    const sf::FloatRect plain = bar.getServerLabel().getGlobalBounds();
    bar.setEncrypted(true);
    EXPECT_EQ(encodeUtf8(bar.getServerLabel().getString()), "[ \uE0A2 ] SERVER : chat.example") << "the font's lock";
    EXPECT_EQ(bar.getServerLabel().getGlobalBounds().width, plain.width) << "nothing on the bar moves";
    bar.setEncrypted(false);
    EXPECT_EQ(encodeUtf8(bar.getServerLabel().getString()), "[ + ] SERVER : chat.example");
    StatusBar lockless{sf::Font()};
    lockless.setEncrypted(true);
    EXPECT_EQ(lockless.getServerLabel().getString().toAnsiString(), "[TLS] SERVER : ");
}

TEST(StatusBar, UIDLabelShowsNoticeUntilARosterArrives)
{
    StatusBar bar(testFont());
    bar.setInfo("me", {});
    EXPECT_EQ(bar.getUIDLabel().getString().toAnsiString(), "[ ! ] NOT CONNECTED");
    EXPECT_EQ(bar.getUIDLabel().getFillColor(), sf::Color::Red);

    bar.setInfo("me", {{"other", sf::Color::Blue}, {"me", sf::Color(10, 220, 180)}});
    EXPECT_EQ(bar.getUIDLabel().getString().toAnsiString(), "[ + ] UID : me");
    EXPECT_EQ(bar.getUIDLabel().getFillColor(), sf::Color(10, 220, 180));

    bar.setInfo("", {{"other", sf::Color::Blue}});
    EXPECT_EQ(bar.getUIDLabel().getFillColor(), sf::Color::White) << "unlisted UID stays readable";
}

TEST(StatusBar, DrawsLabelsInTheirColoursWithoutOverlap)
{
    Canvas canvas;
    StatusBar bar(testFont());
    bar.setServerName(std::string(40, 'W'));
    bar.updateClock();
    bar.setInfo("me", {});
    const sf::Image image = canvas.render(bar);

    EXPECT_EQ(image.getPixel(500, 9), sf::Color::White) << "top outline";
    EXPECT_EQ(image.getPixel(500, 60), sf::Color::White) << "bottom outline";
    EXPECT_EQ(image.getPixel(999, 35), sf::Color::White) << "right outline";
    EXPECT_TRUE(anyPixel(image, {20.f, 25.f, 100.f, 20.f}, sf::Color::Magenta));
    EXPECT_TRUE(anyPixel(image, {400.f, 25.f, 100.f, 20.f}, sf::Color::White));
    EXPECT_TRUE(anyPixel(image, {800.f, 25.f, 100.f, 20.f}, sf::Color::Red));

    // The longest server label still ends before the clock.
    EXPECT_LT(bar.getServerLabel().getGlobalBounds().left + bar.getServerLabel().getGlobalBounds().width, 400.f);
    EXPECT_FALSE(anyPixel(image, {400.f, 25.f, 150.f, 20.f}, sf::Color::Magenta));
}

} // namespace parlana
