#include "client/Arguments.hpp"
#include "client/ClientState.hpp"
#include "client/ConnectedFrame.hpp"
#include "client/FontPath.hpp"
#include "client/Help.hpp"
#include "client/KnownServers.hpp"
#include "client/ServerLink.hpp"
#include "client/ServerTrust.hpp"
#include "client/TlsTransport.hpp"
#include "client/Transport.hpp"
#include "client/WindowSurface.hpp"
#include "net/TlsClientContext.hpp"
#include "protocol/Version.hpp"
#include "protocol/uid.hpp"

#include "client/widgets/Chat_Error.hpp"

#include <SFML/Graphics.hpp>

#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

using namespace parlana;

namespace {

using Clock = std::chrono::steady_clock;

// The longest the window goes without looking at its events: a key shows
// within a frame of 60 Hz, and a quiet window sleeps the rest of the time.
constexpr Clock::duration kFramePeriod = std::chrono::microseconds(16667);

// Created before main, like the design's other program-wide state.
ClientState state;

/// The error screen, until the window is closed; nothing else has effect.
void run_error_mode(sf::RenderWindow& window, sf::Font& font)
{
    Chat_Error error(font, state.error_msg, state.error_details);
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

// The connection the command line asks for; nothing, with `error` set, when
// TLS cannot be set up.
std::unique_ptr<Transport> makeTransport(const Arguments& args, std::string& error)
{
    if (!args.tls)
        return std::make_unique<TcpTransport>();
    std::unique_ptr<TlsClientContext> context = TlsClientContext::create(error);
    if (!context)
        return nullptr;
    return std::make_unique<TlsTransport>(std::move(context));
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> status = answerInfoRequest(argc, argv, "parlana-client", clientHelp, std::cout))
        return *status;
    std::string error;
    const std::optional<Arguments> args = parseArguments(argc, argv, error);
    if (!args) {
        std::cerr << "usage: " << kClientUsage << " (" << error << ")\n";
        return 2;
    }
    // Before the window: without its font the client would draw no text at all.
    sf::Font font;
    if (!loadClientFont(font, std::cerr))
        return 1;
    std::unique_ptr<Transport> transport = makeTransport(*args, error);
    if (!transport) {
        std::cerr << "parlana-client: " << error << "\n";
        return 1;
    }
    sf::RenderWindow window(sf::VideoMode(1000, 700, 32), "Parlana", sf::Style::Close, sf::ContextSettings());
    WindowSurface surface(window);
    ServerLink link(args->uid, args->address, args->port, std::move(transport),
                    ServerTrust(KnownServers(KnownServers::defaultPath()), args->pin));
    ConnectedFrame frame(font, state, link, surface, args->uid);
    // The server's UID rule, applied before connecting: a refused UID never
    // costs a connection.
    if (!isValidUid(args->uid)) {
        state.enterErrorMode(kUidNotValidMessage);
    } else {
        frame.screen().bar.setServerName(args->address);
        link.start(Clock::now());
    }

    while (window.isOpen()) {
        if (!state.client_status) {
            run_error_mode(window, font);
            continue;
        }
        const Clock::time_point now = Clock::now();
        frame.run(now);
        // Packets left over by a busy frame, or held inside TLS, are taken at once.
        if (!link.hasPacket() && !link.inputWaiting())
            std::this_thread::sleep_until(now + kFramePeriod);
    }
    return 0;
}
