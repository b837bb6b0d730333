#include "client/KeyboardInput.hpp"
#include "tests/support/Events.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace parlana {
namespace {

using Key = sf::Keyboard::Key;

// Full at 112 bytes like the input box; the limit itself is checked with the
// real box in client_widgets_test.
struct FakeBox {
    bool isFull(std::string line) const { return line.size() >= 112; }
};

struct FakeCaret {
    void updatePosition(int width, int mode) { moves.push_back({width, mode}); }
    void resetPosition() { ++resets; }
    std::vector<std::pair<int, int>> moves;
    int resets = 0;
};

struct FakeRoster {
    void nextPage() { ++next; }
    void prevPage() { ++prev; }
    int next = 0;
    int prev = 0;
};

using test::keyEvent;
using test::mouseMove;
using test::textEvent;

class KeyboardInputTest : public ::testing::Test {
protected:
    KeyboardInputTest()
        : input(
              "alice", msg, gui_msg, box, caret, roster,
              [this](Key key) {
                  asked.push_back(key);
                  return held.count(key) > 0;
              },
              [this](const std::string& line) {
                  if (accepting)
                      sent.push_back(line);
                  return accepting;
              })
    {}

    void type(const std::string& text)
    {
        for (const sf::Uint32 code : sf::String::fromUtf8(text.begin(), text.end()))
            input.handle(textEvent(code));
    }

    std::string msg;
    sf::Text gui_msg;
    FakeBox box;
    FakeCaret caret;
    FakeRoster roster;
    std::set<Key> held;
    std::vector<Key> asked;
    std::vector<std::string> sent;
    bool accepting = true;
    KeyboardInput<FakeBox, FakeCaret, FakeRoster> input;
};

TEST_F(KeyboardInputTest, TextEventsAppendBytes)
{
    type("hi there");
    EXPECT_EQ(msg, "hi there");
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(asked.empty()) << "text events do not look at held keys";
}

TEST_F(KeyboardInputTest, CharactersGoInAsUtf8AndControlsAreFiltered)
{
    for (const std::uint32_t code : {0u, 8u, 9u, 10u, 13u, 23u, 27u, 31u, 127u, 0x80u, 0x9Fu, 0xD800u, 0x110000u})
        input.handle(textEvent(code));
    EXPECT_EQ(msg, "") << "Ctrl+W, Esc and the other controls are keys, not text";
    for (const std::uint32_t code : {32u, 126u, 0xA0u, 0x7FFu, 0x800u, 0x10000u, 0x10FFFFu})
        input.handle(textEvent(code));
    EXPECT_EQ(msg, " ~\u00A0\u07FF\u0800\U00010000\U0010FFFF");
}

TEST_F(KeyboardInputTest, EnterSendsUidColonSpaceAndText)
{
    type("hello @bob");
    held = {Key::Enter};
    input.handle(keyEvent(Key::Enter));
    input.handle(textEvent(13));
    ASSERT_EQ(sent, std::vector<std::string>{"alice: hello @bob"});
    EXPECT_EQ(msg, "");
    EXPECT_EQ(caret.resets, 1);
}

TEST_F(KeyboardInputTest, ALineTheSenderRefusesStaysAsTyped)
{
    type("still here");
    accepting = false;
    held = {Key::Enter};
    input.handle(keyEvent(Key::Enter));
    input.handle(keyEvent(Key::Enter));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(msg, "still here") << "neither lost nor prefixed";
    EXPECT_EQ(caret.resets, 0);

    accepting = true;
    input.handle(keyEvent(Key::Enter));
    EXPECT_EQ(sent, std::vector<std::string>{"alice: still here"});
    EXPECT_EQ(msg, "");
}

TEST_F(KeyboardInputTest, EnterOnAnEmptyLineSendsNothing)
{
    held = {Key::Enter};
    input.handle(keyEvent(Key::Enter));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(caret.resets, 0);
    EXPECT_EQ(msg, "");
}

TEST_F(KeyboardInputTest, LineOfSpacesIsSent)
{
    type("   ");
    held = {Key::Enter};
    input.handle(keyEvent(Key::Enter));
    EXPECT_EQ(sent, std::vector<std::string>{"alice:    "});
}

TEST_F(KeyboardInputTest, BackspaceRemovesOneCharacterPerNonTextEvent)
{
    type("a€😀");
    held = {Key::Backspace};
    input.handle(keyEvent(Key::Backspace));
    input.handle(textEvent(8));
    EXPECT_EQ(msg, "a€");
    input.handle(mouseMove());
    EXPECT_EQ(msg, "a");
    ASSERT_EQ(caret.moves.size(), 2u);
    EXPECT_EQ(caret.moves[0].second, 2);
}

TEST_F(KeyboardInputTest, BackspaceOnAnEmptyLineLeavesTheCaret)
{
    held = {Key::Backspace};
    input.handle(keyEvent(Key::Backspace));
    EXPECT_TRUE(caret.moves.empty());
}

TEST_F(KeyboardInputTest, HeldBackspaceBlocksEnter)
{
    type("ab");
    held = {Key::Backspace, Key::Enter};
    input.handle(keyEvent(Key::Enter));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(msg, "a");
    input.handle(keyEvent(Key::Enter));
    input.handle(keyEvent(Key::Enter));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(msg, "");
    EXPECT_EQ(asked, (std::vector<Key>{Key::Backspace, Key::Backspace, Key::Backspace}))
        << "no key after the first held one is tested";
}

TEST_F(KeyboardInputTest, HeldEnterBlocksPaging)
{
    held = {Key::Enter, Key::Right, Key::Left};
    input.handle(keyEvent(Key::Right));
    EXPECT_EQ(roster.next + roster.prev, 0);
}

TEST_F(KeyboardInputTest, RightIsTestedBeforeLeft)
{
    held = {Key::Left, Key::Right};
    input.handle(keyEvent(Key::Left));
    EXPECT_EQ(roster.next, 1);
    EXPECT_EQ(roster.prev, 0);
    held = {Key::Left};
    input.handle(keyEvent(Key::Left, sf::Event::KeyReleased));
    EXPECT_EQ(roster.prev, 1);
}

TEST_F(KeyboardInputTest, EveryNonTextEventActsOnTheHeldKeys)
{
    held = {Key::Right};
    input.handle(mouseMove());
    input.handle(mouseMove());
    sf::Event focus;
    focus.type = sf::Event::GainedFocus;
    input.handle(focus);
    sf::Event closed;
    closed.type = sf::Event::Closed;
    input.handle(closed);
    EXPECT_EQ(roster.next, 4);
}

} // namespace
} // namespace parlana
