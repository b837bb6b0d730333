#include "client/widgets/MultipartText.hpp"
#include "client/widgets/Utf8.hpp"
#include "tests/support/Canvas.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace parlana {

using namespace test;

namespace {

std::vector<std::string> pieces(const MultipartText& line)
{
    std::vector<std::string> out;
    for (const sf::Text& piece : line.getText()) {
        out.push_back(piece.getString().toAnsiString());
    }
    return out;
}

MultipartText makeLine(const std::string& text)
{
    return MultipartText(text, testFont(), sf::Color::White);
}

std::vector<sf::Color> fills(const MultipartText& line)
{
    std::vector<sf::Color> out;
    for (const sf::Text& piece : line.getText()) {
        out.push_back(piece.getFillColor());
    }
    return out;
}

} // namespace

TEST(ChatLine, SplitsAtTheFirstColon)
{
    const MultipartText line = makeLine("alice: hello");
    EXPECT_EQ(pieces(line), (std::vector<std::string>{"alice:", " hello"}));
    EXPECT_EQ(line.getSize(), 1);
    EXPECT_EQ(line.getUID(), "alice");

    const MultipartText nested = makeLine("a:b: hi");
    EXPECT_EQ(pieces(nested), (std::vector<std::string>{"a:", "b: hi"}));
    EXPECT_EQ(nested.getUID(), "a");

    EXPECT_EQ(pieces(makeLine("bob:")), (std::vector<std::string>{"bob:", ""}));
}

TEST(ChatLine, LineWithoutColonShowsAsPlainMessage)
{
    const MultipartText line = makeLine("no separator here");
    EXPECT_EQ(pieces(line), (std::vector<std::string>{"", "no separator here"}));
    EXPECT_EQ(line.getUID(), "");

    const MultipartText empty = makeLine("");
    EXPECT_EQ(pieces(empty), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(empty.getUID(), "");
}

TEST(ChatLine, WrapsOnceAfterSeventyCharacters)
{
    const std::string seventy(70, 'x');
    EXPECT_EQ(makeLine("a:" + seventy).getSize(), 1);

    const MultipartText wrapped = makeLine("a:" + seventy + "Y");
    EXPECT_EQ(wrapped.getSize(), 2);
    EXPECT_EQ(pieces(wrapped), (std::vector<std::string>{"a:", seventy, " Y"}));

    // A full typed line: ": " then 112 bytes, so 113 after the colon.
    std::string typed;
    for (int i = 0; i < 112; ++i) {
        typed += static_cast<char>('A' + i % 26);
    }
    const MultipartText full = makeLine("alice: " + typed);
    const std::vector<std::string> got = pieces(full);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1], " " + typed.substr(0, 69));
    EXPECT_EQ(got[2], " " + typed.substr(69));
    EXPECT_EQ(typed.size() - 69, 43u);

    // Characters, not bytes, and never cut.
    std::string accented;
    for (int i = 0; i < 70; ++i)
        accented += "è";
    EXPECT_EQ(makeLine("a:" + accented + "€").getPieceStrings(), (std::vector<std::string>{"a:", accented, " €"}));
}

// One "?" per maximal ill-formed subpart, never hiding what follows.
TEST(ChatLine, DrawsUtf8)
{
    const std::vector<std::pair<std::string, std::u32string>> cases{
        {"perché € 😀 \xF4\x8F\xBF\xBF", U"perché € 😀 \U0010FFFF"},
        {"a\xC3 \xE2\x82x \xF0\x9F\x98", U"a? ?x ?"},               // cut short
        {"\xC0\xAF \xE0\x80\xAF \xF0\x80\x80\xAF", U"?? ??? ????"}, // overlong
        {"\x80\xBF.\xA8 \xED\xA0\x80", U"??.? ???"},                // stray continuations, a surrogate
        {"\xF4\x90\x80\x80\xF5\xFF", U"??????"},                    // past U+10FFFF, and bytes that never lead
    };
    for (const auto& [bytes, shown] : cases) {
        EXPECT_EQ(decodeUtf8(bytes), sf::String::fromUtf32(shown.begin(), shown.end())) << bytes;
    }
    std::string ascii(128, '\0');
    std::iota(ascii.begin(), ascii.end(), '\0');
    EXPECT_EQ(decodeUtf8(ascii), sf::String(ascii)) << "ASCII draws as it always did";
}

TEST(ChatLine, PlacesMessageAfterColonAndContinuationBelow)
{
    MultipartText line = makeLine("alice: " + std::string(80, 'z'));
    line.setPosition(250, 100);
    const std::vector<sf::Text>& texts = line.getText();
    EXPECT_EQ(texts[0].getPosition(), sf::Vector2f(250.f, 100.f));
    const float afterColon = texts[0].findCharacterPos(6).x;
    EXPECT_GT(afterColon, 250.f + 5 * 6);
    EXPECT_EQ(texts[1].getPosition(), sf::Vector2f(afterColon, 100.f));
    EXPECT_EQ(texts[2].getPosition(), sf::Vector2f(afterColon, 120.f));
    EXPECT_EQ(line.getUIDxy(), sf::Vector2f(250.f, 100.f));
    EXPECT_EQ(line.getXY(), sf::Vector2f(afterColon, 120.f));

    line.moveUP();
    EXPECT_EQ(line.getXY(), sf::Vector2f(afterColon, 100.f));
}

TEST(ChatLine, CyclesReferenceColoursInOrderOfAddition)
{
    MultipartText line = makeLine("bob: " + std::string(75, 'm'));
    line.setMSGcolor();
    EXPECT_EQ(fills(line)[1], sf::Color::White) << "no reference colour, no change";

    line.setReferenceColor(sf::Color::Red);
    line.setReferenceColor(sf::Color::Blue);
    line.setReferenceColor(sf::Color::Red);
    EXPECT_EQ(line.getReferenceColors(), (std::vector<sf::Color>{sf::Color::Red, sf::Color::Blue}));

    std::vector<sf::Color> shown;
    const auto step = [&] {
        line.setMSGcolor();
        const std::vector<sf::Color> now = fills(line);
        EXPECT_EQ(now[0], sf::Color::White) << "the sender piece is never cycled";
        EXPECT_EQ(now[1], now[2]) << "both message rows show the same colour";
        shown.push_back(now[1]);
    };
    step();
    step();
    line.setReferenceColor(sf::Color::Green);
    step();
    step();
    step();
    step();
    EXPECT_EQ(shown, (std::vector<sf::Color>{sf::Color::Red, sf::Color::Blue, sf::Color::Green, sf::Color::Red,
                                             sf::Color::Blue, sf::Color::Green}));
}

TEST(ChatLine, PopHeadRemovesOneRowAtATime)
{
    MultipartText wrapped = makeLine("bob: " + std::string(75, 'm'));
    wrapped.setReferenceColor(sf::Color::Red);
    wrapped.setReferenceColor(sf::Color::Blue);
    wrapped.setMSGcolor();
    wrapped.pop_head();
    EXPECT_FALSE(wrapped.isEmpty());
    EXPECT_FALSE(wrapped.hasUIDpiece());
    EXPECT_EQ(pieces(wrapped), (std::vector<std::string>{" mmmmmm"}));
    EXPECT_EQ(wrapped.getSize(), 2) << "size keeps the rows the line was built with";

    // The continuation is now the first piece: neither the cycle nor the
    // sender colour touches it.
    wrapped.setMSGcolor();
    wrapped.setUIDcolor(sf::Color::Green);
    EXPECT_EQ(fills(wrapped), (std::vector<sf::Color>{sf::Color::Red}));

    wrapped.pop_head();
    EXPECT_TRUE(wrapped.isEmpty());

    MultipartText single = makeLine("alice: hi");
    single.pop_head();
    EXPECT_TRUE(single.isEmpty());
    EXPECT_EQ(single.getUID(), "");
    EXPECT_EQ(single.getUIDxy(), sf::Vector2f());
    EXPECT_EQ(single.getXY(), sf::Vector2f());
    single.setUIDcolor(sf::Color::Red);
    single.setMSGcolor();
    single.moveUP();
}

} // namespace parlana
