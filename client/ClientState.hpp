#pragma once

#include <SFML/Graphics/Text.hpp>

#include <string>
#include <vector>

namespace parlana {

/// What the whole client program shares for one run: the line being typed
/// and the chat/error mode switch. The connection and its state belong to
/// `ServerLink`.
struct ClientState {
    /// Stops chatting for good: the error screen will show `message`, and
    /// `details` under it. There is no way back.
    void enterErrorMode(const std::string& message, std::vector<std::string> details = {});

    /// The line being typed, as UTF-8: each accepted character takes its
    /// one to four bytes.
    std::string msg;
    /// Text for the error screen.
    std::string error_msg;
    /// Lines the error screen shows under `error_msg`.
    std::vector<std::string> error_details;
    /// Drawable showing `msg` in the input box.
    sf::Text gui_msg;
    /// True while chatting, false once in error mode.
    bool client_status = true;
};

} // namespace parlana
