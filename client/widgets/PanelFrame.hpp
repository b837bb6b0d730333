#pragma once

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/RectangleShape.hpp>

namespace parlana {

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

} // namespace parlana
