#include "tests/support/Graphics.hpp"

#include <SFML/Window/Context.hpp>

#include <cstdio>
#include <cstdlib>

namespace parlana::test {

void keepGraphicsLoaded()
{
    // Deliberately never destroyed, for the reason in the header.
    static const sf::Context* const keeper = new sf::Context();
    (void)keeper;
}

sf::Font& testFont()
{
    keepGraphicsLoaded();
    static sf::Font font;
    static const bool loaded = font.loadFromFile(PARLANA_TEST_FONT);
    if (!loaded) {
        std::fprintf(stderr, "the test font %s did not load\n", PARLANA_TEST_FONT);
        std::abort();
    }
    return font;
}

} // namespace parlana::test
