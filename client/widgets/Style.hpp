#pragma once

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/Text.hpp>

namespace parlana {

/// Character size of every text in the window but the error screen's.
constexpr unsigned kCharacterSize = 15;
/// Height of one row of text, in pixels.
constexpr int kRowHeight = 20;
/// Rows of text one panel shows: roster entries per page, message rows.
constexpr int kRowsPerPanel = 23;

/// Shapes `frame` as a panel border: the rectangle at (left, top) of
/// width × height window pixels, a 1-pixel white outline, filled with `fill`.
inline void shapePanelFrame(sf::RectangleShape& frame, int left, int top, int width, int height,
                            const sf::Color& fill = sf::Color::Black)
{
    frame.setSize(sf::Vector2f(static_cast<float>(width), static_cast<float>(height)));
    frame.setPosition(static_cast<float>(left), static_cast<float>(top));
    frame.setOutlineThickness(1.f);
    frame.setOutlineColor(sf::Color::White);
    frame.setFillColor(fill);
}

/// Gives `text` the window's font, character size and a fill colour.
inline void styleText(sf::Text& text, const sf::Font& font, const sf::Color& fill)
{
    text.setFont(font);
    text.setCharacterSize(kCharacterSize);
    text.setFillColor(fill);
}

/// Styles a white label that names a frame and is placed on the frame's top
/// border: its thick black outline masks the border line around and behind
/// the glyphs, so the label reads as set into the border.
inline void styleFrameLabel(sf::Text& label, const sf::Font& font, float left, float top)
{
    styleText(label, font, sf::Color::White);
    label.setOutlineThickness(10.f);
    label.setOutlineColor(sf::Color::Black);
    label.setPosition(left, top);
}

} // namespace parlana
