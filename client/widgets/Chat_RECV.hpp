#pragma once

#include "client/widgets/MentionMatcher.hpp"
#include "client/widgets/MultipartText.hpp"

#include <SFML/Graphics.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace parlana {

/// The message pane: received chat lines stacked from the top, at most 23
/// rows, scrolled one row per step while drawing. Every line refers to the
/// pane's own copy of the font, so the pane is neither copied nor moved.
class Chat_RECV {
public:
    /// Builds the frame at (220, 80), 775 x 500, and copies the font.
    explicit Chat_RECV(sf::Font& font);
    Chat_RECV(const Chat_RECV&) = delete;
    Chat_RECV& operator=(const Chat_RECV&) = delete;

    /// Appends a chat line one row below the newest line; never scrolls.
    void insert_msg(std::string line);
    /// Gives each line's sender piece the colour of its roster entry.
    void assignMSGcolors(std::vector<sf::Text>& roster);
    /// One step of every line's mention colour cycle, oldest line first.
    void setMSGcolor();
    /// Records, in every line, the colours of the roster UIDs it mentions
    /// ("@uid", at most one punctuation character, then white space or the
    /// end of the piece). UIDs are matched literally.
    void assignUIDreference(std::vector<sf::Text> roster);
    /// Draws the frame and the lines, scrolling while more than 23 rows are
    /// taken. The map is passed on to the lines.
    void draw(sf::RenderWindow& window, std::map<std::string, sf::Color> colours);

    /// The lines, oldest first.
    const std::vector<MultipartText>& getMessages() const;
    /// Rows taken by the lines, less the rows already scrolled out.
    std::int16_t getRowCount() const;

private:
    /// A roster UID as the mention scan uses it.
    struct RosterUID {
        sf::String name;
        sf::Color colour;
        std::size_t id;
    };

    bool rosterChanged(const std::vector<sf::Text>& roster) const;
    void adoptRoster(const std::vector<sf::Text>& roster);
    void scanLine(MultipartText& line);
    void eraseFront();

    sf::RectangleShape panel;
    sf::Font font;
    std::vector<MultipartText> messages;
    int width;
    int height;
    int x;
    int y;
    std::int16_t rowCount;

    // Mention scan caches: patterns are compiled once per distinct UID, and
    // lines already scanned against the current roster are not scanned again.
    MentionMatcher m_matcher;
    std::vector<RosterUID> m_roster;
    std::size_t m_unscannedFrom = 0;
};

} // namespace parlana
