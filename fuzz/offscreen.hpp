#pragma once

// The widgets draw into an sf::RenderWindow; one hidden, borderless window
// and the committed font serve every input of a process.

#include "fuzz_support.hpp"

#include <SFML/Graphics.hpp>

#include <string>

namespace fuzz {

inline sf::Font& font()
{
    static sf::Font loaded;
    static const bool ok = loaded.loadFromFile(PARLANA_FONT_FILE);
    FUZZ_CHECK(ok, "font " PARLANA_FONT_FILE " did not load");
    return loaded;
}

inline sf::RenderWindow& window()
{
    // Never destroyed: closing the last window unloads the display driver
    // before the leak check at exit, which then sees the driver's own blocks
    // without a library to match them to a suppression.
    static sf::RenderWindow* const hidden = [] {
        auto* created = new sf::RenderWindow(sf::VideoMode(1000, 700), "fuzz", sf::Style::None);
        created->setVisible(false);
        return created;
    }();
    return *hidden;
}

/// Bytes as an sf::Text gives them back: the widgets compare text in this
/// form, so expected values must pass through the same conversion.
inline std::string asShown(const std::string& bytes)
{
    return sf::String(bytes).toAnsiString();
}

} // namespace fuzz

// libFuzzer calls this once before the first input: the graphics stack keeps
// a few allocations for the life of the process, which must not be taken for
// a leak of the first input. The replay driver creates both lazily instead.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::font();
    fuzz::window();
    return 0;
}
