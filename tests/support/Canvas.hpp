#pragma once

#include "tests/support/Graphics.hpp"

#include <SFML/Graphics.hpp>

namespace parlana::test {

// A borderless window of the client's size whose back buffer tests draw into
// and read back, pixel by pixel.
class Canvas {
public:
    Canvas() : window((keepGraphicsLoaded(), sf::VideoMode(1000, 700)), "widgets", sf::Style::None)
    {
        window.clear(sf::Color::Black);
    }

    template <typename Widget, typename... Extra>
    sf::Image render(Widget& widget, Extra&&... extra)
    {
        window.clear(sf::Color::Black);
        widget.draw(window, std::forward<Extra>(extra)...);
        return snapshot();
    }

    sf::Image snapshot()
    {
        sf::Texture texture;
        texture.create(window.getSize().x, window.getSize().y);
        texture.update(window);
        return texture.copyToImage();
    }

    sf::RenderWindow window;
};

// Whether any pixel in the rectangle has exactly this colour.
inline bool anyPixel(const sf::Image& image, sf::FloatRect area, sf::Color colour)
{
    for (unsigned y = static_cast<unsigned>(area.top); y < area.top + area.height; ++y) {
        for (unsigned x = static_cast<unsigned>(area.left); x < area.left + area.width; ++x) {
            if (image.getPixel(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

// Whether every pixel in the rectangle has exactly this colour.
inline bool allPixels(const sf::Image& image, sf::FloatRect area, sf::Color colour)
{
    for (unsigned y = static_cast<unsigned>(area.top); y < area.top + area.height; ++y) {
        for (unsigned x = static_cast<unsigned>(area.left); x < area.left + area.width; ++x) {
            if (image.getPixel(x, y) != colour) {
                return false;
            }
        }
    }
    return true;
}

} // namespace parlana::test
