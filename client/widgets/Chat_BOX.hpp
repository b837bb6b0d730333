#pragma once

#include <SFML/Graphics.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace parlana {

/// The input box: a white frame at (5, 600), 990 x 80, the red "ENTER : "
/// prompt and the length counter straddling the top border. The labels refer
/// to the font given to the constructor, which must outlive the box.
class Chat_BOX {
public:
    /// Builds the frame and both labels, for a typed line of at most `limit`
    /// bytes.
    Chat_BOX(sf::Font& font, std::size_t limit);

    /// Position of the "ENTER : " label: (25, 640).
    sf::Vector2<float> getEnterLabelXY() const;
    /// Records the byte length of `line` and rewrites the counter ("n/limit").
    void get_msg_length(std::string line);
    /// True when `line` holds `limit` bytes or more.
    bool isFull(std::string line) const;
    /// Shows `text` on a row of its own above the typed line ("" for none):
    /// a question to answer or the progress of a paste.
    void setNotice(const sf::String& text);
    /// Draws the frame, the prompt, the counter and the notice.
    void draw(sf::RenderTarget& window);

    /// The counter label.
    const sf::Text& getLengthLabel() const;
    /// Length last given to get_msg_length.
    std::int32_t getMsgLength() const;

private:
    std::size_t m_limit;
    sf::RectangleShape frame;
    sf::Text enterLabel;
    sf::Text lengthLabel;
    sf::Text m_notice;
    std::int32_t msgLength;
    std::int32_t width;
    std::int32_t height;
    std::int32_t x;
    std::int32_t y;
};

} // namespace parlana
