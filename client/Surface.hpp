#pragma once

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/System/String.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

namespace parlana {

/// What a connected frame needs of the window: where it draws, the events it
/// handles, the keys held, the clipboard and the user's attention. The
/// program's is the real window; tests and fuzz targets play one.
class Surface {
public:
    virtual ~Surface() = default;

    /// Where the frame draws.
    virtual sf::RenderTarget& target() = 0;
    /// Shows what was drawn since the last display.
    virtual void display() = 0;
    /// The next pending event; false when none is left.
    virtual bool pollEvent(sf::Event& event) = 0;
    /// Whether `key` is held right now.
    virtual bool isKeyPressed(sf::Keyboard::Key key) const = 0;
    /// The clipboard's text (empty when it holds none).
    virtual sf::String clipboard() const = 0;
    /// Whether the window has the keyboard focus.
    virtual bool hasFocus() const = 0;
    /// Asks the user to look at the window (the urgency hint on X11, which
    /// the window system clears once the window has the focus).
    virtual void requestAttention() = 0;
    /// Closes the window for good.
    virtual void close() = 0;
};

} // namespace parlana
