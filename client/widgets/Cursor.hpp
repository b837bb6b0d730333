#pragma once

#include <SFML/Graphics.hpp>

#include <cstdint>

namespace parlana {

/// The blinking caret after the typed line: a 1 x 15 white bar, visible for
/// the first half second of each blink cycle of about a second.
class Cursor {
public:
    /// Places the caret at (px, py + 1), the start of the typed line.
    Cursor(int px, int py);

    /// Moves the caret after a text `w` pixels wide: mode 1 one pixel right of
    /// its end, mode 2 one pixel left of it; other modes do nothing.
    void updatePosition(int w, int mode);
    /// Puts the caret back at the start of the typed line.
    void resetPosition();
    /// Draws the caret during the visible half of its blink cycle.
    void draw(sf::RenderTarget& window);

    /// Where the bar stands now.
    sf::Vector2f getPosition() const;
    /// How far into its blink cycle the caret is.
    sf::Time getBlinkTime() const;
    /// Longest blink cycle before the next draw starts a new one.
    static sf::Time cycle();
    /// Whether a caret this far into its blink cycle is shown.
    static bool visibleAt(sf::Time elapsed);

private:
    sf::RectangleShape shape;
    sf::Clock blinkClock;
    std::int32_t originX;
    std::int32_t originY;
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

} // namespace parlana
