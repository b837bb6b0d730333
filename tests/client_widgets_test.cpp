// The client's dispatch and keyboard handling driving the real widgets.

#include "client/ConnectedFrame.hpp"
#include "client/Dispatch.hpp"
#include "client/KeyboardInput.hpp"
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
#include "tests/support/TestSurface.hpp"

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

// The program's frame through the real link and panels: what a frame took
// in, packets and keys alike, is in the picture it displays, with every row
// of the pane where it stands once scrolled. The bar shows the notice until
// a roster arrives and once the connection is lost, with the roster panel
// empty; the pane keeps its lines.
TEST(ClientWithWidgets, AFrameShowsWhatItTookIn)
{
    test::Canvas canvas;
    test::TestSurface surface(canvas.window);
    ClientState state;
    test::WireScript wire;
    ServerLink link("alice", "chat.example", 5000, std::make_unique<test::FakeTransport>(wire));
    ConnectedFrame frame(testFont(), state, link, surface, "alice");
    ChatScreen& screen = frame.screen();
    auto now = ServerLink::Clock::now();
    link.start(now, std::chrono::seconds(0));
    const auto run = [&](const std::string& bytes) {
        wire.inbound += bytes;
        now += std::chrono::seconds(1);
        EXPECT_TRUE(frame.run(now));
        return screen.bar.getUIDLabel();
    };
    const auto showsNotice = [](const sf::Text& label) {
        return label.getString() == "[ ! ] NOT CONNECTED" && label.getFillColor() == sf::Color::Red;
    };
    EXPECT_TRUE(showsNotice(run("")));

    std::string lines = encodeFrame("$%$uids$%$,alice,gone,bob,") + encodeFrame("gone: leaves the top row");
    for (int i = 0; i < 22; ++i)
        lines += encodeFrame("bob: line " + std::to_string(i));
    const sf::Text& label = run(lines);
    EXPECT_EQ(label.getString(), "[ + ] UID : alice");
    EXPECT_EQ(label.getFillColor(), screen.roster.getUIDSmap().at("alice"));

    surface.events.push_back(test::textEvent('h'));
    run(encodeFrame("bob: a") + encodeFrame("bob: b") + encodeFrame("bob: c"));
    EXPECT_EQ(state.gui_msg.getString(), "h") << "the key is drawn by the frame that took it";
    const sf::Color gone = screen.roster.getUIDSmap().at("gone");
    EXPECT_FALSE(test::anyPixel(surface.shown, {220.f, 80.f, 775.f, 500.f}, gone)) << "the line that left";
    for (int row = 0; row < 23; ++row)
        EXPECT_FALSE(test::allPixels(surface.shown, {250.f, 100.f + 20.f * row, 400.f, 20.f}, sf::Color::Black))
            << "row " << row;

    surface.focused = false;
    run(encodeFrame("bob: @alice, look") + encodeFrame("bob: @alice?"));
    EXPECT_EQ(surface.attention, 1) << "a mention asks for attention while the window has no focus";
    wire.peerGone = true;
    run("");
    EXPECT_TRUE(showsNotice(run("")));
    EXPECT_TRUE(screen.roster.getUIDS().empty());
    EXPECT_EQ(screen.pane.getMessages().back().getUID(), "bob");
    EXPECT_TRUE(test::allPixels(surface.shown, {30.f, 105.f, 170.f, 460.f}, sf::Color::Black))
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
