#include "ClientState.hpp"
#include "Connection.hpp"
#include "Dispatch.hpp"
#include "KeyboardInput.hpp"
#include "ServerLink.hpp"
#include "client/FontPath.hpp"
#include "client/Help.hpp"
#include "protocol/Version.hpp"

#include "widgets/Chat_BOX.hpp"
#include "widgets/Chat_Error.hpp"
#include "widgets/Chat_RECV.hpp"
#include "widgets/Chat_UID.hpp"
#include "widgets/Cursor.hpp"
#include "widgets/StatusBar.hpp"

#include <SFML/Graphics.hpp>

#include <iostream>

using namespace parlana;

namespace {

using Input = KeyboardInput<Chat_BOX, Cursor, Chat_UID>;

// Created before main, like the socket it owns, and released at exit.
ClientState state;

/// The panels of the chat screen, built in this order and torn down in the
/// reverse one; the font must outlive them.
struct ChatScreen {
    explicit ChatScreen(sf::Font& font) : bar(font), roster(font), box(font), pane(font) {}

    StatusBar bar;
    Chat_UID roster;
    Chat_BOX box;
    Chat_RECV pane;
};

void place_typed_line(sf::Font& font, const Chat_BOX& box)
{
    state.gui_msg.setFont(font);
    state.gui_msg.setCharacterSize(15);
    state.gui_msg.setLetterSpacing(1.0f);
    const sf::Vector2f label = box.getEnterLabelXY();
    state.gui_msg.setPosition(label.x + 70.0f, label.y);
}

/// One pass of the chat screen: updates, at most one packet, events, draw.
void connected_frame(sf::RenderWindow& window, ChatScreen& screen, Cursor& caret, ServerLink& link, Input& input,
                     const std::string& uid)
{
    screen.bar.updateClock();
    screen.roster.updateUIDcounter();
    state.gui_msg.setString(state.msg);
    caret.updatePosition(static_cast<int>(state.gui_msg.getLocalBounds().width), 1);
    screen.bar.setInfo(uid, screen.roster.getUIDSmap());
    receive(link, screen.pane, screen.roster, state);
    screen.box.get_msg_length(state.msg);
    screen.pane.assignMSGcolors(screen.roster.getUIDS());
    if (state.chrono.getElapsedTime().asSeconds() > 1.0f) {
        screen.pane.setMSGcolor();
        state.chrono.restart();
    }
    screen.pane.assignUIDreference(screen.roster.getUIDS());

    sf::Event event;
    while (window.pollEvent(event)) {
        if (event.type == sf::Event::Closed) {
            state.client->disconnect();
            window.close();
        }
        input.handle(event);
    }

    window.clear(sf::Color(0, 0, 0, 255));
    caret.draw(window);
    screen.bar.draw(window);
    screen.roster.draw(window);
    screen.box.draw(window);
    screen.pane.draw(window, screen.roster.getUIDSmap());
    window.draw(state.gui_msg);
    window.display();
}

/// The error screen, until the window is closed; nothing else has effect.
void run_error_mode(sf::RenderWindow& window, sf::Font& font)
{
    Chat_Error error(font, state.error_msg);
    while (window.isOpen()) {
        sf::Event event;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::Closed)
                window.close();
        }
        window.clear(sf::Color(0, 0, 0, 255));
        error.draw(window);
        window.display();
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> status = answerInfoRequest(argc, argv, "parlana-client", clientHelp, std::cout))
        return *status;
    if (argc < 4) {
        std::cerr << "usage: client UID SERVER_ADDRESS PORT\n";
        return 2;
    }
    // Before the window: without its font the client would draw no text at all.
    sf::Font font;
    if (!loadClientFont(font, std::cerr))
        return 1;
    state.client->setBlocking(false);
    sf::RenderWindow window(sf::VideoMode(1000, 700, 32), "Parlana", sf::Style::Close, sf::ContextSettings());
    ChatScreen screen(font);
    place_typed_line(font, screen.box);
    connect(state, std::string(argv[2]), argv, screen.bar);

    const sf::Vector2f origin = state.gui_msg.getPosition();
    Cursor caret(static_cast<int>(origin.x), static_cast<int>(origin.y));
    ServerLink link(*state.client);
    Input input(argv[1], state.msg, state.gui_msg, screen.box, caret, screen.roster, &sf::Keyboard::isKeyPressed,
                [argv](std::string& line) { send_format_msg(state.client.get(), argv, line); });

    while (window.isOpen()) {
        if (state.client_status)
            connected_frame(window, screen, caret, link, input, argv[1]);
        else
            run_error_mode(window, font);
    }
    return 0;
}
