#include "client/widgets/KeptLine.hpp"
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
}

TEST(ChatLine, CyclesReferenceColoursInOrderOfAddition)
{
    KeptLine line("bob: " + std::string(75, 'm'));
    EXPECT_EQ(line.getMSGcolor(1), sf::Color::White) << "no reference colour, no change";

    line.setReferenceColor(sf::Color::Red, 1);
    line.setReferenceColor(sf::Color::Blue, 1);
    line.setReferenceColor(sf::Color::Red, 2);
    EXPECT_EQ(line.getReferenceColors(), (std::vector<sf::Color>{sf::Color::Red, sf::Color::Blue}));
    EXPECT_EQ(line.getMSGcolor(1), sf::Color::White) << "until the next step";

    std::vector<sf::Color> shown{line.getMSGcolor(2), line.getMSGcolor(3)};
    line.setReferenceColor(sf::Color::Green, 3);
    for (std::uint64_t step = 4; step <= 7; ++step)
        shown.push_back(line.getMSGcolor(step));
    EXPECT_EQ(shown, (std::vector<sf::Color>{sf::Color::Red, sf::Color::Blue, sf::Color::Green, sf::Color::Red,
                                             sf::Color::Blue, sf::Color::Green}));
}

} // namespace parlana
