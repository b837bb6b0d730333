#include "client/Arguments.hpp"
#include "client/ChatScreen.hpp"
#include "client/ClientState.hpp"
#include "client/FontPath.hpp"
#include "client/Help.hpp"
#include "client/KeyboardInput.hpp"
#include "client/Receive.hpp"
#include "client/ServerLink.hpp"
#include "client/Transport.hpp"
#include "protocol/Version.hpp"
#include "protocol/uid.hpp"

#include "client/widgets/Chat_Error.hpp"
#include "client/widgets/Cursor.hpp"

#include <SFML/Graphics.hpp>

#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

using namespace parlana;

namespace {

using Input = KeyboardInput<Chat_BOX, Cursor, Chat_UID>;
using Clock = std::chrono::steady_clock;

// The longest the window goes without looking at its events: a key shows
// within a frame of 60 Hz, and a quiet window sleeps the rest of the time.
constexpr Clock::duration kFramePeriod = std::chrono::microseconds(16667);
// What packets change is drawn at most this often: a busy room would
// otherwise cost a whole draw per line, and a line shown 50 ms later reads
// the same.
constexpr Clock::duration kPacketDrawPeriod = std::chrono::milliseconds(50);

// Created before main, like the design's other program-wide state.
ClientState state;

/// Handles every pending window event; true when there was one.
bool handle_events(sf::RenderWindow& window, ServerLink& link, Input& input)
{
    bool any = false;
    sf::Event event;
    while (window.pollEvent(event)) {
        any = true;
        if (event.type == sf::Event::Closed) {
            link.close();
            window.close();
        }
        input.handle(event);
    }
    return any;
}

/// The chat screen's frames. A frame is drawn only when something on the
/// screen changed, so a quiet chat costs next to nothing.
class ConnectedFrames {
public:
    ConnectedFrames(sf::RenderWindow& window, ChatScreen& screen, Cursor& caret, ServerLink& link, Input& input,
                    std::string uid)
        : m_window(window), m_screen(screen), m_caret(caret), m_link(link), m_input(input), m_uid(std::move(uid))
    {}

    void frame(Clock::time_point now)
    {
        const ServerLink::State before = m_link.state();
        std::size_t packets = 0;
        const bool stepped = m_screen.update(state, m_caret, m_uid, m_link.admitted(), [&] {
            packets = m_intake.receive(m_link, m_screen.pane, m_screen.roster, state, now);
        });
        const bool events = handle_events(m_window, m_link, m_input);
        m_packetsUndrawn = m_packetsUndrawn || packets > 0 || m_screen.scrolling();
        // What events change in the typed line is taken in by the next
        // frame's update, so that frame is drawn too.
        const bool changed = events || m_eventsBefore || stepped || m_link.state() != before ||
                             m_screen.timeChangedScreen(m_caret) ||
                             (m_packetsUndrawn && now - m_drawn >= kPacketDrawPeriod);
        m_eventsBefore = events;
        if (changed) {
            m_screen.draw(m_window, m_caret, state.gui_msg);
            m_window.display();
            m_drawn = now;
            m_packetsUndrawn = false;
        }
    }

private:
    sf::RenderWindow& m_window;
    ChatScreen& m_screen;
    Cursor& m_caret;
    ServerLink& m_link;
    Input& m_input;
    const std::string m_uid;
    Intake m_intake;
    bool m_eventsBefore = true;
    bool m_packetsUndrawn = false;
    Clock::time_point m_drawn{};
};

/// The error screen, until the window is closed; nothing else has effect.
void run_error_mode(sf::RenderWindow& window, sf::Font& font)
{
    Chat_Error error(font, state.error_msg);
    // Redrawn after events and every second, in case the window system lost
    // what was shown; otherwise it sleeps.
    Clock::time_point drawn{};
    while (window.isOpen()) {
        const Clock::time_point now = Clock::now();
        bool events = false;
        sf::Event event;
        while (window.pollEvent(event)) {
            events = true;
            if (event.type == sf::Event::Closed)
                window.close();
        }
        if (events || now - drawn >= std::chrono::seconds(1)) {
            window.clear(sf::Color(0, 0, 0, 255));
            error.draw(window);
            window.display();
            drawn = now;
        }
        std::this_thread::sleep_until(now + kFramePeriod);
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
    const Arguments args = read_arguments(argv);
    sf::RenderWindow window(sf::VideoMode(1000, 700, 32), "Parlana", sf::Style::Close, sf::ContextSettings());
    ChatScreen screen(font);
    screen.placeTypedLine(state.gui_msg, font);
    ServerLink link(args.uid, args.address, args.port, std::make_unique<TcpTransport>());
    // The server's UID rule, applied before connecting: a refused UID never
    // costs a connection.
    if (!isValidUid(args.uid)) {
        state.enterErrorMode(kUidNotValidMessage);
    } else {
        screen.bar.setServerName(args.address);
        link.start(Clock::now());
    }

    const sf::Vector2f origin = state.gui_msg.getPosition();
    Cursor caret(static_cast<int>(origin.x), static_cast<int>(origin.y));
    Input input(args.uid, state.msg, state.gui_msg, screen.box, caret, screen.roster, &sf::Keyboard::isKeyPressed,
                [&link](const std::string& line) { return link.offerLine(line); });
    ConnectedFrames frames(window, screen, caret, link, input, args.uid);

    while (window.isOpen()) {
        if (!state.client_status) {
            run_error_mode(window, font);
            continue;
        }
        const Clock::time_point now = Clock::now();
        frames.frame(now);
        // Packets left over by a busy frame are taken at once.
        if (!link.hasPacket())
            std::this_thread::sleep_until(now + kFramePeriod);
    }
    return 0;
}
