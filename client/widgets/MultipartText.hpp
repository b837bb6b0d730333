#pragma once

#include <SFML/Graphics.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace parlana {

/// The pieces a chat line is shown in: the sender piece ("uid:", or "" when
/// the line has no ":"), then the message, wrapped once after its 70th
/// character, never inside one; the continuation starts with a space.
std::vector<std::string> splitChatLine(const std::string& line);

/// One chat line as the message pane draws it: the sender piece in the
/// sender's colour, then the message, wrapped once. The bytes are drawn as
/// UTF-8. The pieces refer to the font given to the constructor, which must
/// outlive the line.
///
/// A line without any ":" has an empty sender piece and the whole line as its
/// message, so it shows as plain white text and matches no sender.
class MultipartText {
public:
    /// Splits `line` at its first ":"; the sender piece takes `uidColor`,
    /// the message pieces are white.
    MultipartText(const std::string& line, sf::Font& font, sf::Color uidColor);
    /// A line from pieces made by `splitChatLine`.
    MultipartText(std::vector<std::string> pieces, sf::Font& font, sf::Color uidColor);

    /// Colours the sender piece.
    void setUIDcolor(sf::Color color);
    /// Colours the message pieces.
    void setMessageColor(sf::Color color);
    /// Places the sender piece at (x, y), the message right after its colon
    /// and the continuation one row below the message.
    void setPosition(int x, int y);
    /// Position of the first piece.
    sf::Vector2<float> getUIDxy() const;
    /// Position of the last piece.
    sf::Vector2<float> getXY() const;
    /// The first piece's bytes without the last one.
    std::string getUID() const;
    /// Rows the line takes: 1, or 2 when wrapped.
    std::int16_t getSize() const;
    /// The pieces, in display order.
    const std::vector<sf::Text>& getText() const;
    /// Draws the pieces whose row stands between `top` and `bottom` (window
    /// y, both included).
    void draw(sf::RenderTarget& window, float top, float bottom) const;
    /// The bytes of the pieces, parallel to getText().
    const std::vector<std::string>& getPieceStrings() const;

private:
    std::vector<sf::Text> texts;
    std::vector<std::string> m_pieceStrings;
};

} // namespace parlana
