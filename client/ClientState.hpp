#pragma once

#include <SFML/Graphics/Text.hpp>
#include <SFML/Network/TcpSocket.hpp>
#include <SFML/System/Clock.hpp>

#include <memory>
#include <string>

namespace parlana {

/// What the whole client program shares for one run: the connection, the
/// colour-step clock, the line being typed and the chat/error mode switch.
struct ClientState {
    ClientState();

    /// Stops chatting for good: the error screen will show `message` and the
    /// connection is dropped. There is no way back.
    void enterErrorMode(const std::string& message);

    /// The one connection to the server; lives, unreplaced, for the run.
    std::unique_ptr<sf::TcpSocket> client;
    /// Times the once-a-second colour step of the message pane.
    sf::Clock chrono;
    /// The line being typed, one byte per accepted character.
    std::string msg;
    /// Text for the error screen.
    std::string error_msg;
    /// Drawable showing `msg` in the input box.
    sf::Text gui_msg;
    /// True while chatting, false once in error mode.
    bool client_status = true;
    /// True while the connection is up: from the join sent on an established
    /// connection until the server closes or resets it or breaks its framing.
    /// Never true again once false: the client does not reconnect.
    bool connected = false;
    /// Set by the first roster packet, the first sign of admission. A refusal
    /// only ever answers a join, so after it refusals are not believed.
    bool admitted = false;
};

} // namespace parlana
