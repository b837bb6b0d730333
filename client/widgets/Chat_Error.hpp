#pragma once

#include <SFML/Graphics.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace parlana {

/// The error screen: one white line at (200, 350), character size 30, and
/// under it, when given, lines of detail in the window's usual type. It keeps
/// its own copies of the font and texts, so it is neither copied nor moved.
class Chat_Error {
public:
    /// Copies the font, the message and its details, and builds the texts.
    Chat_Error(sf::Font& font, std::string message, const std::vector<std::string>& details = {});
    Chat_Error(const Chat_Error&) = delete;
    Chat_Error& operator=(const Chat_Error&) = delete;

    /// Draws the text; clearing and displaying are the caller's.
    void draw(sf::RenderTarget& window);

    /// The drawn text.
    const sf::Text& getText() const;
    /// The lines of detail, top to bottom.
    const std::vector<sf::Text>& getDetails() const { return detailTexts; }

private:
    sf::Text text;
    sf::Font font;
    std::string message;
    std::int32_t x;
    std::int32_t y;
    std::vector<sf::Text> detailTexts;
};

} // namespace parlana
