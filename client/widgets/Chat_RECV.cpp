#include "client/widgets/Chat_RECV.hpp"

#include "client/widgets/Style.hpp"
#include "client/widgets/Utf8.hpp"

#include <utility>

namespace parlana {

namespace {

// Rows the pane holds before it drops the oldest lines at once: more than a
// line per frame ever leaves over, so lines arriving at a reading pace are
// always scrolled in row by row.
constexpr int kMaxRowsHeld = 2 * kRowsPerPanel;

// Texts compared as the pane compares them (code point by code point), as a
// byte string that can key a hash map.
std::string textKey(const sf::String& text)
{
    return std::string(reinterpret_cast<const char*>(text.getData()), text.getSize() * sizeof(sf::Uint32));
}

} // namespace

Chat_RECV::Chat_RECV(sf::Font& font) : font(font), width(775), height(500), x(220), y(80), rowCount(0)
{
    shapePanelFrame(panel, x, y, width, height);
}

void Chat_RECV::insert_msg(std::string line)
{
    MultipartText text(std::move(line), font, sf::Color::White);
    if (messages.empty()) {
        text.setPosition(x + 30, y + 20);
    } else {
        const MultipartText& newest = messages.back();
        text.setPosition(static_cast<int>(newest.getUIDxy().x),
                         static_cast<int>(newest.getXY().y + static_cast<float>(kRowHeight)));
    }
    rowCount = static_cast<std::int16_t>(rowCount + text.getSize());
    messages.push_back(std::move(text));
    if (rowCount > kMaxRowsHeld) {
        dropUnseen();
    }
}

void Chat_RECV::assignMSGcolors(const std::vector<sf::Text>& roster, std::uint64_t version)
{
    adoptRoster(roster, version);
    if (m_colouredVersion != m_rosterVersion) {
        m_uncolouredFrom = 0;
        m_colouredVersion = m_rosterVersion;
    }
    for (std::size_t i = m_uncolouredFrom; i < messages.size(); ++i) {
        colourSender(messages[i]);
    }
    m_uncolouredFrom = messages.size();
}

bool Chat_RECV::setMSGcolor()
{
    bool recoloured = false;
    for (MultipartText& line : messages) {
        line.setMSGcolor();
        recoloured = recoloured || !line.getReferenceColors().empty();
    }
    return recoloured;
}

void Chat_RECV::assignUIDreference(const std::vector<sf::Text>& roster, std::uint64_t version)
{
    // Reference colours only accumulate, so scanning a line again against the
    // same roster adds nothing: only lines not yet scanned against the current
    // roster are visited.
    adoptRoster(roster, version);
    if (m_scannedVersion != m_rosterVersion) {
        m_unscannedFrom = 0;
        m_scannedVersion = m_rosterVersion;
    }
    for (std::size_t i = m_unscannedFrom; i < messages.size(); ++i) {
        scanLine(messages[i]);
    }
    m_unscannedFrom = messages.size();
}

void Chat_RECV::draw(sf::RenderTarget& window, const std::map<std::string, sf::Color>& colours)
{
    // Every row a draw shows is where the lines stand once scrolled, so no
    // frame ever shows a row that has left or a gap below the top row.
    scroll();
    window.draw(panel, sf::RenderStates::Default);
    for (MultipartText& line : messages) {
        line.draw(window, colours);
    }
}

void Chat_RECV::scroll()
{
    // Over-full: the oldest line gives up its top row and every line moves
    // up one, row by row, until the rows fit; a line whose rows have all
    // scrolled out goes.
    while (rowCount > kRowsPerPanel) {
        if (messages.front().isEmpty()) {
            eraseFront();
            continue;
        }
        messages.front().pop_head();
        --rowCount;
        for (MultipartText& line : messages) {
            line.moveUP();
        }
    }
    while (!messages.empty() && messages.front().isEmpty()) {
        eraseFront();
    }
}

const std::vector<MultipartText>& Chat_RECV::getMessages() const
{
    return messages;
}

std::int16_t Chat_RECV::getRowCount() const
{
    return rowCount;
}

void Chat_RECV::adoptRoster(const std::vector<sf::Text>& roster, std::uint64_t version)
{
    if (version == m_rosterVersion) {
        return;
    }
    m_roster.clear();
    m_roster.reserve(roster.size());
    for (const sf::Text& entry : roster) {
        m_roster.push_back(RosterUID{entry.getString(), entry.getFillColor()});
    }
    m_rosterVersion = version;
}

void Chat_RECV::colourSender(MultipartText& line)
{
    if (!line.hasUIDpiece()) {
        return;
    }
    if (m_senderColoursVersion != m_rosterVersion) {
        // Later entries overwrite earlier ones: the last entry naming a
        // sender decides its colour.
        m_senderColours.clear();
        for (const RosterUID& uid : m_roster) {
            m_senderColours[textKey(uid.name)] = uid.colour;
        }
        m_senderColoursVersion = m_rosterVersion;
    }
    const auto found = m_senderColours.find(textKey(line.getSender()));
    if (found != m_senderColours.end()) {
        line.setUIDcolor(found->second);
    }
}

void Chat_RECV::scanLine(MultipartText& line)
{
    for (const std::string& piece : line.getPieceStrings()) {
        if (piece.find('@') == std::string::npos) {
            continue;
        }
        if (m_matcherVersion != m_rosterVersion) {
            // Pieces are compared as the bytes that came in, and a roster
            // text was decoded from UTF-8: it goes back to those bytes.
            std::vector<std::string> uids;
            uids.reserve(m_roster.size());
            for (const RosterUID& uid : m_roster) {
                uids.push_back(encodeUtf8(uid.name));
            }
            m_matcher.setRoster(std::move(uids));
            m_matcherVersion = m_rosterVersion;
        }
        for (const std::size_t i : m_matcher.mentioned(piece)) {
            line.setReferenceColor(m_roster[i].colour);
        }
    }
}

void Chat_RECV::dropUnseen()
{
    // At a reading pace the draw scrolls lines in row by row. A burst of
    // hundreds would take as many steps, each moving every line, and its
    // oldest lines would leave the view before anyone could read them: they
    // go now, all at once, and the rest move up together.
    int dropped = 0;
    while (rowCount > kRowsPerPanel && messages.size() > 1) {
        MultipartText& oldest = messages.front();
        while (!oldest.isEmpty()) {
            oldest.pop_head();
            --rowCount;
            ++dropped;
        }
        eraseFront();
    }
    for (MultipartText& line : messages) {
        line.moveUP(dropped);
    }
}

void Chat_RECV::eraseFront()
{
    messages.erase(messages.begin());
    if (m_unscannedFrom > 0) {
        --m_unscannedFrom;
    }
    if (m_uncolouredFrom > 0) {
        --m_uncolouredFrom;
    }
}

} // namespace parlana
