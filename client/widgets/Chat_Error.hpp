#pragma once

#include <SFML/Graphics.hpp>

#include <cstdint>
#include <string>

namespace parlana {

/// The error screen: one white line at (200, 350), character size 30. It keeps
/// its own copies of the font and message, so it is neither copied nor moved.
class Chat_Error {
public:
    /// Copies the font and the message and builds the text.
    Chat_Error(sf::Font& font, std::string message);
    Chat_Error(const Chat_Error&) = delete;
    Chat_Error& operator=(const Chat_Error&) = delete;

    /// Draws the text; clearing and displaying are the caller's.
    void draw(sf::RenderTarget& window);

    /// The drawn text.
    const sf::Text& getText() const;

private:
    sf::Text text;
    sf::Font font;
    std::string message;
    std::int32_t x;
    std::int32_t y;
};

} // namespace parlana
