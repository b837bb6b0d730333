#include "client/ChatScreen.hpp"
#include "client/ClientState.hpp"
#include "client/Connection.hpp"
#include "client/Dispatch.hpp"
#include "client/FontPath.hpp"
#include "client/Help.hpp"
#include "client/KeyboardInput.hpp"
#include "client/ServerLink.hpp"
#include "protocol/Version.hpp"

#include "client/widgets/Chat_Error.hpp"
#include "client/widgets/Cursor.hpp"

#include <SFML/Graphics.hpp>

#include <iostream>

using namespace parlana;

namespace {

using Input = KeyboardInput<Chat_BOX, Cursor, Chat_UID>;

// Created before main, like the socket it owns, and released at exit.
ClientState state;

/// One pass of the chat screen: updates, at most one packet, events, draw.
void connected_frame(sf::RenderWindow& window, ChatScreen& screen, Cursor& caret, ServerLink& link, Input& input,
                     const std::string& uid)
{
    const auto takePacket = [&] { receive(link, screen.pane, screen.roster, state); };
    const auto handleEvents = [&] {
        sf::Event event;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::Closed) {
                state.client->disconnect();
                window.close();
            }
            input.handle(event);
        }
    };
    screen.frame(window, state, caret, uid, takePacket, handleEvents);
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
    screen.placeTypedLine(state.gui_msg, font);
    ServerLink link(*state.client);
    connect(state, link, std::string(argv[2]), argv, screen.bar);

    const sf::Vector2f origin = state.gui_msg.getPosition();
    Cursor caret(static_cast<int>(origin.x), static_cast<int>(origin.y));
    Input input(argv[1], state.msg, state.gui_msg, screen.box, caret, screen.roster, &sf::Keyboard::isKeyPressed,
                [&link](const std::string& line) { return offer_line(state, link, line); });

    while (window.isOpen()) {
        if (state.client_status)
            connected_frame(window, screen, caret, link, input, argv[1]);
        else
            run_error_mode(window, font);
    }
    return 0;
}
