#pragma once

#include <SFML/Graphics.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace parlana {

/// The roster panel: the connected UIDs, 23 to a page, each in a random bright
/// colour that the UID keeps for the whole run. Entries refer to the panel's
/// own copy of the font, so the panel is neither copied nor moved.
class Chat_UID {
public:
    /// Builds the frame at (5, 80), 200 x 500, and the header; seeds rand().
    explicit Chat_UID(sf::Font& font);
    Chat_UID(const Chat_UID&) = delete;
    Chat_UID& operator=(const Chat_UID&) = delete;

    /// Appends a roster entry for `uid` and colours every entry.
    void getUIDS(std::string uid);
    /// The roster entries, in roster order.
    std::vector<sf::Text>& getUIDS();
    /// The UID-to-colour map; keys are never removed.
    std::map<std::string, sf::Color>& getUIDSmap();
    /// Removes every roster entry; the colour map stays.
    void refresh();
    /// Recomputes the page count from the number of entries.
    void getUIDpages();
    /// Gives every uncoloured (black) entry a new bright colour, then colours
    /// every entry from the map.
    void assignUIDScolors();
    /// Turns to the next page; draw() clamps it to the page count.
    void nextPage();
    /// Turns to the previous page, never below 1.
    void prevPage();
    /// Recomputes the pages and rewrites the header.
    void updateUIDcounter();
    /// Draws the frame, the header and the current page.
    void draw(sf::RenderWindow& window);

    /// The header text.
    const sf::Text& getCounter() const;
    /// Page shown, from 1.
    std::uint32_t getCurrentPage() const;
    /// Index of the first entry of the page last drawn.
    std::int32_t getPageStart() const;

    /// Brightness of a colour as the panel weighs it; only colours above 100
    /// are given out.
    static float brightness(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

private:
    void drawColour();

    sf::RectangleShape frame;
    sf::Font font;
    sf::Text uidCounter;
    std::vector<sf::Text> uidTexts;
    std::map<std::string, sf::Color> uidColors;
    std::uint32_t pages;
    std::uint32_t currentPage;
    std::uint32_t drawIndex;
    std::int32_t pageStart;
    std::uint32_t uidCount;
    std::uint16_t red;
    std::uint16_t green;
    std::uint16_t blue;
    std::int32_t width;
    std::int32_t height;
    std::int32_t x;
    std::int32_t y;

    // The UIDs exactly as received, parallel to uidTexts: the map's keys are
    // raw bytes, which an sf::String does not always give back.
    std::vector<std::string> m_uidKeys;
};

} // namespace parlana
