// The client's dispatch and keyboard handling driving the real widgets.

#include "client/ChatScreen.hpp"
#include "client/Dispatch.hpp"
#include "client/KeyboardInput.hpp"
#include "client/Receive.hpp"
#include "client/ServerLink.hpp"
#include "protocol/frame.hpp"

#include "client/widgets/Chat_BOX.hpp"
#include "client/widgets/Chat_RECV.hpp"
#include "client/widgets/Chat_UID.hpp"
#include "client/widgets/Cursor.hpp"
#include "tests/support/Canvas.hpp"
#include "tests/support/Events.hpp"
#include "tests/support/FakeTransport.hpp"
#include "tests/support/Graphics.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace parlana {
namespace {

using Key = sf::Keyboard::Key;

using test::testFont;

std::vector<std::string> rosterNames(Chat_UID& roster)
{
    std::vector<std::string> names;
    for (const sf::Text& text : roster.getUIDS())
        names.push_back(text.getString());
    return names;
}

TEST(ClientWithWidgets, RosterPacketsFillTheRosterPanel)
{
    sf::Font& font = testFont();
    Chat_UID roster(font);
    Chat_RECV pane(font);
    ClientState state;
    dispatch_packet("$%$uids$%$,alice,bob,", pane, roster, state);
    EXPECT_EQ(rosterNames(roster), (std::vector<std::string>{"alice", "bob"}));
    for (const sf::Text& text : roster.getUIDS()) {
        const sf::Color colour = text.getFillColor();
        EXPECT_NE(colour.r + colour.g + colour.b, 0) << "every listed UID gets its colour";
    }
    dispatch_packet("$%$uids$%$,", pane, roster, state);
    EXPECT_TRUE(roster.getUIDS().empty());
    EXPECT_EQ(roster.getUIDSmap().size(), 2u);
    EXPECT_TRUE(pane.getMessages().empty());
}

TEST(ClientWithWidgets, ChatLinesReachTheMessagePane)
{
    sf::Font& font = testFont();
    Chat_UID roster(font);
    Chat_RECV pane(font);
    ClientState state;
    dispatch_packet("", pane, roster, state);
    dispatch_packet("bob: hi $%$uid_error$%$", pane, roster, state);
    ASSERT_EQ(pane.getMessages().size(), 2u);
    EXPECT_EQ(pane.getMessages()[1].getUID(), "bob");
    EXPECT_TRUE(state.client_status);
}

// What the chat screen shows of the connection, through the real link and
// intake: the notice until a roster arrives, the UID in its colour once
// admitted, and the notice with an empty roster panel once the connection
// is lost; the pane keeps its lines.
TEST(ClientWithWidgets, ChatScreenTellsWhetherItIsConnected)
{
    test::Canvas canvas;
    ChatScreen screen(testFont());
    ClientState state;
    Cursor caret(95, 640);
    test::WireScript wire;
    ServerLink link("alice", "chat.example", 5000, std::make_unique<test::FakeTransport>(wire));
    Intake intake;
    const auto start = ServerLink::Clock::now();
    link.start(start, std::chrono::seconds(0));
    const auto frame = [&](const std::string& bytes) {
        wire.inbound += bytes;
        screen.frame(
            canvas.window, state, caret, "alice", link.admitted(),
            [&] { intake.receive(link, screen.pane, screen.roster, state, start); }, [] {});
        return screen.bar.getUIDLabel();
    };
    const auto showsNotice = [](const sf::Text& label) {
        return label.getString() == "[ ! ] NOT CONNECTED" && label.getFillColor() == sf::Color::Red;
    };

    EXPECT_TRUE(showsNotice(frame(encodeFrame("$%$uids$%$,alice,bob,")))) << "before the first roster";
    const sf::Text& label = frame(encodeFrame("bob: hi"));
    EXPECT_EQ(label.getString(), "[ + ] UID : alice");
    EXPECT_EQ(label.getFillColor(), screen.roster.getUIDSmap().at("alice"));

    wire.peerGone = true;
    frame("");
    EXPECT_TRUE(showsNotice(frame("")));
    EXPECT_TRUE(screen.roster.getUIDS().empty());
    ASSERT_EQ(screen.pane.getMessages().size(), 1u);
    EXPECT_EQ(screen.pane.getMessages()[0].getUID(), "bob");
    EXPECT_TRUE(test::allPixels(canvas.snapshot(), {30.f, 105.f, 170.f, 460.f}, sf::Color::Black))
        << "the roster panel is drawn empty";
}

class InputWithWidgets : public ::testing::Test {
protected:
    InputWithWidgets()
        : font(testFont()), box(font, 112), roster(font), caret(95, 640),
          input(
              "alice", msg, gui_msg, box, caret, roster, [this](Key key) { return held.count(key) > 0; },
              [this](const std::string& line) {
                  sent.push_back(line);
                  return true;
              })
    {}

    void type(const std::string& text)
    {
        for (const sf::Uint32 code : sf::String::fromUtf8(text.begin(), text.end()))
            input.handle(test::textEvent(code));
    }

    void press(Key key)
    {
        held = {key};
        input.handle(test::keyEvent(key));
        held.clear();
    }

    sf::Font& font;
    std::string msg;
    sf::Text gui_msg;
    Chat_BOX box;
    Chat_UID roster;
    Cursor caret;
    std::set<Key> held;
    std::vector<std::string> sent;
    KeyboardInput<Chat_BOX, Cursor, Chat_UID> input;
};

TEST_F(InputWithWidgets, TheInputBoxStopsTheLineAt112Bytes)
{
    type(std::string(110, 'x') + "€èy");
    EXPECT_EQ(msg, std::string(110, 'x') + "è") << "a character goes in whole or not at all";
    press(Key::Enter);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "alice: " + std::string(110, 'x') + "è");
}

TEST_F(InputWithWidgets, CaretStepsBackOnBackspaceAndHomeAfterSending)
{
    gui_msg.setFont(font);
    gui_msg.setCharacterSize(15);
    gui_msg.setString("abc");
    type("abc");
    caret.updatePosition(40, 1);
    press(Key::Backspace);
    EXPECT_EQ(msg, "ab");
    const int width = static_cast<int>(gui_msg.getGlobalBounds().width);
    ASSERT_GT(width, 10);
    EXPECT_EQ(caret.getPosition().x, 95 + width - 1) << "measured before the shortened line is shown";
    press(Key::Enter);
    EXPECT_EQ(caret.getPosition(), sf::Vector2f(95, 641));
}

TEST_F(InputWithWidgets, ArrowsPageTheRoster)
{
    for (int i = 0; i < 24; ++i)
        roster.getUIDS("u" + std::to_string(i));
    roster.updateUIDcounter();
    press(Key::Right);
    EXPECT_EQ(roster.getCurrentPage(), 2u);
    press(Key::Left);
    press(Key::Left);
    EXPECT_EQ(roster.getCurrentPage(), 1u);
}

} // namespace
} // namespace parlana
