#include "client/WindowSurface.hpp"

#include <SFML/Window/Clipboard.hpp>

namespace parlana {

sf::RenderTarget& WindowSurface::target()
{
    return m_window;
}

void WindowSurface::display()
{
    m_window.display();
}

bool WindowSurface::pollEvent(sf::Event& event)
{
    return m_window.pollEvent(event);
}

bool WindowSurface::isKeyPressed(sf::Keyboard::Key key) const
{
    return sf::Keyboard::isKeyPressed(key);
}

sf::String WindowSurface::clipboard() const
{
    return sf::Clipboard::getString();
}

bool WindowSurface::hasFocus() const
{
    return m_window.hasFocus();
}

void WindowSurface::requestAttention()
{
    m_window.requestFocus();
}

void WindowSurface::close()
{
    m_window.close();
}

} // namespace parlana
