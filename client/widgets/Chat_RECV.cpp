#include "client/widgets/Chat_RECV.hpp"

#include "client/widgets/Style.hpp"

#include <utility>

namespace parlana {

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
}

void Chat_RECV::assignMSGcolors(std::vector<sf::Text>& roster)
{
    // Only the last roster entry with the sender's name decides its colour,
    // and a line without its sender piece takes none.
    for (MultipartText& line : messages) {
        if (!line.hasUIDpiece()) {
            continue;
        }
        const sf::Text* match = nullptr;
        for (const sf::Text& entry : roster) {
            if (entry.getString() == line.getSender()) {
                match = &entry;
            }
        }
        if (match != nullptr) {
            line.setUIDcolor(match->getFillColor());
        }
    }
}

void Chat_RECV::setMSGcolor()
{
    for (MultipartText& line : messages) {
        line.setMSGcolor();
    }
}

void Chat_RECV::assignUIDreference(std::vector<sf::Text> rosterTexts)
{
    // Reference colours only accumulate, so scanning a line again against the
    // same roster adds nothing: only lines not yet scanned against the current
    // roster are visited.
    if (rosterChanged(rosterTexts)) {
        adoptRoster(rosterTexts);
        m_unscannedFrom = 0;
    }
    for (std::size_t i = m_unscannedFrom; i < messages.size(); ++i) {
        scanLine(messages[i]);
    }
    m_unscannedFrom = messages.size();
}

void Chat_RECV::draw(sf::RenderWindow& window, std::map<std::string, sf::Color> colours)
{
    window.draw(panel, sf::RenderStates::Default);
    // Scrolling happens here, one row per index visited, so a burst of lines
    // scrolls in over several frames rather than jumping.
    std::size_t i = 0;
    while (i < messages.size()) {
        if (i == 0 || rowCount <= kRowsPerPanel) {
            // The oldest line is always drawn where it stood when the frame
            // began; the others once the rows fit.
            messages[i].draw(window, colours);
            ++i;
        } else if (messages.front().isEmpty()) {
            // A line whose rows have all scrolled out goes only now. The index
            // stays: it names the line that followed, still to be visited.
            eraseFront();
        } else {
            // Over-full: the oldest line gives up its top row and every line
            // moves up one. The line at this index is not drawn this frame.
            messages.front().pop_head();
            --rowCount;
            for (MultipartText& line : messages) {
                line.moveUP();
            }
            ++i;
        }
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

bool Chat_RECV::rosterChanged(const std::vector<sf::Text>& rosterTexts) const
{
    if (rosterTexts.size() != m_roster.size()) {
        return true;
    }
    for (std::size_t i = 0; i < m_roster.size(); ++i) {
        if (rosterTexts[i].getFillColor() != m_roster[i].colour || rosterTexts[i].getString() != m_roster[i].name) {
            return true;
        }
    }
    return false;
}

void Chat_RECV::adoptRoster(const std::vector<sf::Text>& rosterTexts)
{
    m_roster.clear();
    for (const sf::Text& entry : rosterTexts) {
        const std::size_t id = m_matcher.idFor(entry.getString().toAnsiString());
        m_roster.push_back(RosterUID{entry.getString(), entry.getFillColor(), id});
    }
}

void Chat_RECV::scanLine(MultipartText& line)
{
    const std::vector<std::string>& pieces = line.getPieceStrings();
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        for (const RosterUID& uid : m_roster) {
            signed char verdict = line.mentionVerdict(p, uid.id);
            if (verdict < 0) {
                verdict = m_matcher.mentions(pieces[p], uid.id) ? 1 : 0;
                line.keepMentionVerdict(p, uid.id, verdict == 1);
            }
            if (verdict == 1) {
                line.setReferenceColor(uid.colour);
            }
        }
    }
}

void Chat_RECV::eraseFront()
{
    messages.erase(messages.begin());
    if (m_unscannedFrom > 0) {
        --m_unscannedFrom;
    }
}

} // namespace parlana
