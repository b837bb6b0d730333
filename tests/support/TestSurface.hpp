#pragma once

#include "client/Surface.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <deque>
#include <set>

namespace parlana::test {

/// A frame's surface played by a test: events and held keys it queues, a
/// clipboard it fills, and the picture of every display kept.
class TestSurface : public Surface {
public:
    explicit TestSurface(sf::RenderWindow& window) : m_window(window) {}

    sf::RenderTarget& target() override { return m_window; }
    void display() override
    {
        ++displays;
        if (!capture)
            return;
        sf::Texture texture;
        texture.create(m_window.getSize().x, m_window.getSize().y);
        texture.update(m_window);
        shown = texture.copyToImage();
    }
    bool pollEvent(sf::Event& event) override
    {
        if (events.empty())
            return false;
        event = events.front();
        events.pop_front();
        return true;
    }
    bool isKeyPressed(sf::Keyboard::Key key) const override { return held.count(key) > 0; }
    sf::String clipboard() const override { return clipboardText; }
    bool hasFocus() const override { return focused; }
    void requestAttention() override { ++attention; }
    void close() override { closed = true; }

    std::deque<sf::Event> events;
    std::set<sf::Keyboard::Key> held;
    sf::String clipboardText;
    bool focused = true;
    int attention = 0;
    bool closed = false;
    int displays = 0;
    /// Whether `display` keeps a picture in `shown`.
    bool capture = true;
    sf::Image shown;

private:
    sf::RenderWindow& m_window;
};

} // namespace parlana::test
