#pragma once

#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <cstdint>

namespace parlana::test {

/// The window events a user's typing and pointing produce.
inline sf::Event textEvent(std::uint32_t code)
{
    sf::Event event;
    event.type = sf::Event::TextEntered;
    event.text.unicode = code;
    return event;
}

inline sf::Event keyEvent(sf::Keyboard::Key key, sf::Event::EventType type = sf::Event::KeyPressed)
{
    sf::Event event;
    event.type = type;
    event.key = {};
    event.key.code = key;
    return event;
}

inline sf::Event mouseMove()
{
    sf::Event event;
    event.type = sf::Event::MouseMoved;
    event.mouseMove = {10, 20};
    return event;
}

} // namespace parlana::test
