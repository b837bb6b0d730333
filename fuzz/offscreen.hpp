#pragma once

// The widgets draw into an sf::RenderWindow; one hidden, borderless window
// and the committed font serve every input of a process.

#include "fuzz/fuzz_support.hpp"
#include "tests/support/Graphics.hpp"

#include <SFML/Graphics.hpp>

namespace parlana::fuzz {

inline sf::Font& font()
{
    return test::testFont();
}

inline sf::RenderWindow& window()
{
    // Never destroyed, like the graphics set-up it stands on.
    static sf::RenderWindow* const hidden = [] {
        test::keepGraphicsLoaded();
        auto* created = new sf::RenderWindow(sf::VideoMode(1000, 700), "fuzz", sf::Style::None);
        created->setVisible(false);
        return created;
    }();
    return *hidden;
}

} // namespace parlana::fuzz

// libFuzzer calls this once before the first input: the graphics stack keeps
// a few allocations for the life of the process, which must not be taken for
// a leak of the first input. The replay driver creates both lazily instead.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    parlana::fuzz::font();
    parlana::fuzz::window();
    return 0;
}
