#pragma once

#include <SFML/Graphics.hpp>

#include <gtest/gtest.h>

// Keeps one GL context, and so the X display and the GL driver, for the
// whole test process. Were the driver unloaded when SFML closes its last
// display, the leak checker would find its still-held allocations without a
// module to attribute them to, and report them as ours. Deliberately never
// destroyed, for the same reason.
inline void keepGraphicsLoaded()
{
    static const sf::Context* const keeper = new sf::Context();
    (void)keeper;
}

// The committed font, loaded once per test process.
inline sf::Font& testFont()
{
    keepGraphicsLoaded();
    static sf::Font font;
    static const bool loaded = font.loadFromFile(PARLANA_FONT_FILE);
    EXPECT_TRUE(loaded) << PARLANA_FONT_FILE;
    return font;
}

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
