#pragma once

#include <SFML/Graphics.hpp>

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlana {

/// Most UIDs whose colours the roster panel remembers at once; beyond it the
/// UIDs absent longest are forgotten first. A room holds at most 46 users, so
/// only a hostile server ever reaches it.
constexpr std::size_t kMaxRememberedUids = 4096;
/// Most bytes of UIDs the colour map holds (a valid UID has at most 10).
constexpr std::size_t kMaxRememberedBytes = 256 * 1024;

/// The roster panel: the connected UIDs, 23 to a page, each in a random bright
/// colour that the UID keeps for the whole run (unless a hostile server lists
/// more UIDs than the panel remembers). Entries refer to the panel's own copy
/// of the font, so the panel is neither copied nor moved.
class Chat_UID {
public:
    /// Builds the frame at (5, 80), 200 x 500, and the header; seeds rand().
    explicit Chat_UID(sf::Font& font);
    Chat_UID(const Chat_UID&) = delete;
    Chat_UID& operator=(const Chat_UID&) = delete;

    /// Appends a roster entry for `uid` in the UID's colour: the remembered
    /// one, or the next bright colour drawn from rand().
    void getUIDS(std::string uid);
    /// The roster entries, in roster order.
    std::vector<sf::Text>& getUIDS();
    /// The UIDs of the entries exactly as received, in roster order.
    const std::vector<std::string>& getUIDkeys() const { return m_uidKeys; }
    /// The UID-to-colour map. A key is removed only to make room once
    /// `kMaxRememberedUids` UIDs or `kMaxRememberedBytes` bytes are held, and
    /// only if that UID is absent from the latest two rosters.
    std::map<std::string, sf::Color>& getUIDSmap();
    /// Removes every roster entry; the colour map stays.
    void refresh();
    /// Recomputes the page count from the number of entries.
    void getUIDpages();
    /// Colours every entry added since the last pass from the map, drawing a
    /// new bright colour for a UID not in it.
    void assignUIDScolors();
    /// Turns to the next page; draw() clamps it to the page count.
    void nextPage();
    /// Turns to the previous page, never below 1.
    void prevPage();
    /// Recomputes the pages and rewrites the header.
    void updateUIDcounter();
    /// Draws the frame, the header and the current page.
    void draw(sf::RenderTarget& window);

    /// The header text.
    const sf::Text& getCounter() const;
    /// Page shown, from 1.
    std::uint32_t getCurrentPage() const;
    /// Index of the first entry of the page last drawn.
    std::int32_t getPageStart() const;
    /// Changes whenever the entries do (their UIDs, order or colours), so
    /// that the panels reading them redo their work only then.
    std::uint64_t version() const { return m_version; }

    /// Brightness of a colour as the panel weighs it; only colours above 100
    /// are given out.
    static float brightness(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

private:
    using Remembered = std::map<std::string, sf::Color>::iterator;
    /// When a remembered UID was last listed: the roster's number, and its
    /// place in m_byListing.
    struct Listing {
        std::uint64_t roster;
        std::list<Remembered>::iterator place;
    };

    void drawColour();
    sf::Color colourFor(const std::string& uid);
    void remember(const std::string& uid, sf::Color colour);
    bool forgetOldestAbsent();

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
    // Entries [0, m_coloured) have their colour.
    std::size_t m_coloured = 0;
    // Counts refresh() calls: the number of the roster being listed.
    std::uint64_t m_rosterNumber = 0;
    std::uint64_t m_version = 0;
    // Remembered UIDs, least recently listed first, and their listings keyed
    // by the address of the map's own key, so no UID is stored twice.
    std::list<Remembered> m_byListing;
    std::unordered_map<const std::string*, Listing> m_listings;
    std::size_t m_rememberedBytes = 0;
};

} // namespace parlana
