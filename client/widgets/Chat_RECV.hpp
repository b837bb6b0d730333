#pragma once

#include "client/widgets/MentionMatcher.hpp"
#include "client/widgets/MultipartText.hpp"

#include <SFML/Graphics.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
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
    /// When lines arrive faster than the draw scrolls them in (more than 46
    /// rows waiting), the oldest are dropped until the newest 23 rows are left.
    void insert_msg(std::string line);
    /// Gives each line's sender piece the colour of the last roster entry
    /// naming its sender. `version` is the roster panel's: the pane redoes
    /// its work on the roster only when it changes.
    void assignMSGcolors(const std::vector<sf::Text>& roster, std::uint64_t version);
    /// One step of every line's mention colour cycle, oldest line first;
    /// true when a line changed colour.
    bool setMSGcolor();
    /// Records, in every line, the colours of the roster UIDs it mentions
    /// ("@uid", at most one punctuation character, then white space or the
    /// end of the piece). UIDs are matched literally.
    void assignUIDreference(const std::vector<sf::Text>& roster, std::uint64_t version);
    /// Scrolls while more than 23 rows are taken, then draws the frame and
    /// the lines. The map is passed on to the lines.
    void draw(sf::RenderTarget& window, const std::map<std::string, sf::Color>& colours);

    /// The lines, oldest first.
    const std::vector<MultipartText>& getMessages() const;
    /// Rows taken by the lines, less the rows already scrolled out.
    std::int16_t getRowCount() const;

private:
    /// A roster entry as the pane last saw it.
    struct RosterUID {
        sf::String name;
        sf::Color colour;
    };

    void adoptRoster(const std::vector<sf::Text>& roster, std::uint64_t version);
    void scroll();
    void colourSender(MultipartText& line);
    void scanLine(MultipartText& line);
    void dropUnseen();
    void eraseFront();

    sf::RectangleShape panel;
    sf::Font font;
    std::vector<MultipartText> messages;
    int width;
    int height;
    int x;
    int y;
    std::int16_t rowCount;

    // The roster as last seen. What the pane derives from it (sender colours,
    // the mention index) is rebuilt only after it changes, and only once a
    // line needs it; lines before m_uncolouredFrom and m_unscannedFrom have
    // been handled against the current roster and are not visited again.
    // Each derived thing records the roster version it was made for.
    std::vector<RosterUID> m_roster;
    std::uint64_t m_rosterVersion = 0;
    std::unordered_map<std::string, sf::Color> m_senderColours;
    std::uint64_t m_senderColoursVersion = 0;
    MentionMatcher m_matcher;
    std::uint64_t m_matcherVersion = 0;
    std::size_t m_uncolouredFrom = 0;
    std::uint64_t m_colouredVersion = 0;
    std::size_t m_unscannedFrom = 0;
    std::uint64_t m_scannedVersion = 0;
};

} // namespace parlana
