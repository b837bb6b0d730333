#pragma once

#include <SFML/Graphics.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace parlana {

/// One received chat line as the message pane shows it: the sender piece
/// ("uid:") in the sender's colour, then the message, wrapped once after its
/// 70th character. The bytes are drawn as UTF-8. The pieces refer to the font given to the constructor, which
/// must outlive the line.
///
/// A line without any ":" has an empty sender piece and the whole line as its
/// message, so it shows as plain white text and matches no sender.
class MultipartText {
public:
    /// Splits `line` at its first ":"; the sender piece takes `uidColor`,
    /// the message pieces are white.
    MultipartText(std::string line, sf::Font& font, sf::Color uidColor);

    /// Colours the sender piece; does nothing once the top row has scrolled out.
    void setUIDcolor(sf::Color color);
    /// Adds a mention colour to the cycle unless an equal one is already there.
    void setReferenceColor(sf::Color color);
    /// One step of the mention colour cycle over every piece but the first.
    void setMSGcolor();
    /// Places the sender piece at (x, y), the message right after its colon
    /// and the continuation one row below the message.
    void setPosition(int x, int y);
    /// Position of the first piece ((0, 0) when the line is empty).
    sf::Vector2<float> getUIDxy() const;
    /// Position of the last piece ((0, 0) when the line is empty).
    sf::Vector2<float> getXY() const;
    /// The first piece's bytes without the last one; "" when empty.
    std::string getUID() const;
    /// Rows the line took when built: 1, or 2 when wrapped.
    std::int16_t getSize() const;
    /// Removes the top row: the first two pieces, or the last remaining one.
    void pop_head();
    /// True when no piece is left.
    bool isEmpty() const;
    /// Moves every piece `rows` rows (20 px each) up.
    void moveUP(int rows = 1);
    /// The pieces, in display order.
    const std::vector<sf::Text>& getText() const;
    /// Draws every piece. The roster's colour map is accepted but not
    /// consulted, as colours are set beforehand; it is taken by reference so
    /// that the pane does not copy it once per line and frame.
    void draw(sf::RenderTarget& window, const std::map<std::string, sf::Color>& colours);

    /// Mention colours recorded so far, in the order they were first added.
    const std::vector<sf::Color>& getReferenceColors() const;
    /// True while the first piece is the sender piece.
    bool hasUIDpiece() const;
    /// The sender, getUID() at construction as drawn, kept so that the pane
    /// can match it against roster texts without decoding every frame.
    const sf::String& getSender() const;
    /// The bytes of the pieces, parallel to getText().
    const std::vector<std::string>& getPieceStrings() const;

private:
    void popFront(std::size_t count);

    std::vector<sf::Text> texts;
    std::vector<sf::Color> referenceColors;
    std::int16_t size;
    std::uint16_t colorIndex;
    bool hasUID;

    // For the pane's per-frame work: the sender, and the pieces' bytes, which
    // follow `texts` piece by piece.
    sf::String m_sender;
    std::vector<std::string> m_pieceStrings;
};

} // namespace parlana
