#pragma once

#include <SFML/Graphics/Color.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace parlana {

/// One received chat line as the message pane keeps it, with nothing to draw
/// (a `MultipartText` is made for it while it is in view): the bytes of its
/// pieces, its sender's colour and the mention colours its message cycles
/// through.
class KeptLine {
public:
    /// Splits and wraps `line` as `MultipartText` does; the sender is white.
    explicit KeptLine(const std::string& line);

    /// The pieces' bytes: the sender piece, the message, and the
    /// continuation of a wrapped message.
    const std::vector<std::string>& getPieceStrings() const { return m_pieces; }
    /// The sender piece without its colon; "" when the line has none.
    std::string getUID() const;
    /// Rows the line takes: 1, or 2 when wrapped.
    std::size_t getSize() const { return m_pieces.size() > 2 ? 2 : 1; }
    /// True when a piece holds an "@", so that the line may mention someone.
    bool mayMention() const { return m_mayMention; }

    /// The sender piece's colour, which the pane gives from the roster.
    void setUIDcolor(sf::Color colour) { m_uidColour = colour; }
    sf::Color getUIDcolor() const { return m_uidColour; }
    /// Adds a mention colour unless an equal one is there; `step` is the
    /// pane's count of colour steps so far.
    void setReferenceColor(sf::Color colour, std::uint64_t step);
    /// Mention colours recorded so far, in the order they were first added.
    const std::vector<sf::Color>& getReferenceColors() const { return m_references; }
    /// The message's colour after `step` colour steps of the pane: white
    /// until a step has passed since the first mention colour, then each
    /// mention colour in turn, one per step.
    sf::Color getMSGcolor(std::uint64_t step) const;

private:
    std::vector<std::string> m_pieces;
    std::vector<sf::Color> m_references;
    sf::Color m_uidColour = sf::Color::White;
    std::uint64_t m_firstReferenceStep = 0;
    bool m_mayMention = false;
};

} // namespace parlana
