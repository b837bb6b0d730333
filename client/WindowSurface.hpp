#pragma once

#include "client/Surface.hpp"

#include <SFML/Graphics/RenderWindow.hpp>

namespace parlana {

/// The program's window as a frame's surface.
class WindowSurface : public Surface {
public:
    /// The window must outlive the surface.
    explicit WindowSurface(sf::RenderWindow& window) : m_window(window) {}

    sf::RenderTarget& target() override;
    void display() override;
    bool pollEvent(sf::Event& event) override;
    bool isKeyPressed(sf::Keyboard::Key key) const override;
    sf::String clipboard() const override;
    bool hasFocus() const override;
    void requestAttention() override;
    void close() override;

private:
    sf::RenderWindow& m_window;
};

} // namespace parlana
