#pragma once

#include "client/widgets/KeptLine.hpp"
#include "client/widgets/MentionMatcher.hpp"
#include "client/widgets/MultipartText.hpp"
#include "client/widgets/Scrollback.hpp"

#include <SFML/Graphics.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlana {

/// Lines the message pane keeps; past it the oldest go first.
constexpr std::size_t kKeptLines = 10000;
/// Rows one notch of the mouse wheel scrolls the pane.
constexpr int kWheelRows = 3;

/// The message pane: received chat lines stacked from the top, 23 rows in
/// view. The view follows the newest rows, or holds still where the user
/// scrolled it, its bottom row then a mark counting the lines below. Lines
/// are kept without anything to draw; only those in view are made into
/// drawables, which refer to the pane's own copy of the font, so the pane is
/// neither copied nor moved.
class Chat_RECV {
public:
    /// Builds the frame at (220, 80), 775 x 500, and copies the font; keeps
    /// at most `capacity` lines.
    explicit Chat_RECV(sf::Font& font, std::size_t capacity = kKeptLines);
    Chat_RECV(const Chat_RECV&) = delete;
    Chat_RECV& operator=(const Chat_RECV&) = delete;

    /// Appends a chat line one row below the newest line, dropping the
    /// oldest past the capacity.
    void insert_msg(std::string line);
    /// Gives each line's sender the colour of the last roster entry naming
    /// it. `version` is the roster panel's: the pane redoes its work on the
    /// roster only when it changes.
    void assignMSGcolors(const std::vector<sf::Text>& roster, std::uint64_t version);
    /// One step of every line's mention colour cycle; true when a line in
    /// view changed colour.
    bool setMSGcolor();
    /// Records, in every line, the colours of the roster UIDs it mentions
    /// ("@uid", at most one punctuation character, then white space or the
    /// end of the piece). UIDs are matched literally.
    void assignUIDreference(const std::vector<sf::Text>& roster, std::uint64_t version);
    /// Draws the frame, the rows in view and, while held, the mark.
    void draw(sf::RenderTarget& window);

    /// The view over the lines, to scroll it.
    Scrollback& view() { return m_view; }
    const Scrollback& view() const { return m_view; }
    /// Scrolls `kWheelRows` rows a notch (`notches` above 0: towards the
    /// oldest) when (x, y) is over the pane; true when it was.
    bool wheel(float notches, int x, int y);
    /// Goes to the newest rows when (x, y) is on the mark; true when it was.
    bool click(int x, int y);
    /// What the mark reads ("▼ 37 new"); "" while the view is live.
    sf::String markText() const;

    /// The lines, oldest first.
    const std::deque<KeptLine>& getMessages() const;

private:
    /// A roster entry as the pane last saw it.
    struct RosterUID {
        sf::String name;
        sf::Color colour;
    };

    void adoptRoster(const std::vector<sf::Text>& roster, std::uint64_t version);
    void colourSender(KeptLine& line);
    void scanLine(KeptLine& line);
    /// Calls `visit(index, row)` for each line in view, `row` being the
    /// view's row its first row stands on (negative above the view).
    template <class Visit>
    void forEachShown(Visit&& visit) const;
    sf::FloatRect markArea() const;

    sf::RectangleShape panel;
    sf::Font font;
    std::deque<KeptLine> messages;
    int width;
    int height;
    int x;
    int y;
    Scrollback m_view;
    /// The number, counted from the first line of the run, of messages[0].
    std::uint64_t m_firstNumber = 0;
    /// Drawables of the lines last in view, by number.
    std::map<std::uint64_t, MultipartText> m_shown;
    sf::RectangleShape m_markBar;
    sf::Text m_mark;
    float m_wheelRows = 0;
    std::uint64_t m_colourSteps = 0;

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
