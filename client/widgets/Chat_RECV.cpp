#include "client/widgets/Chat_RECV.hpp"

#include "client/widgets/Style.hpp"
#include "client/widgets/Utf8.hpp"

#include <cmath>
#include <utility>

namespace parlana {

namespace {

// The mark's bar covers the pane's bottom row from border to border.
const sf::Color kMarkFill(60, 60, 60);

// Texts compared as the pane compares them (code point by code point), as a
// byte string that can key a hash map.
std::string textKey(const sf::String& text)
{
    return std::string(reinterpret_cast<const char*>(text.getData()), text.getSize() * sizeof(sf::Uint32));
}

std::size_t saturatingLess(std::size_t from, std::size_t less)
{
    return from > less ? from - less : 0;
}

} // namespace

Chat_RECV::Chat_RECV(sf::Font& font, std::size_t capacity)
    : font(font), width(775), height(500), x(220), y(80), m_view(capacity, kRowsPerPanel)
{
    shapePanelFrame(panel, x, y, width, height);
    const sf::FloatRect mark = markArea();
    m_markBar.setPosition(mark.left, mark.top);
    m_markBar.setSize({mark.width, mark.height});
    m_markBar.setFillColor(kMarkFill);
    styleText(m_mark, this->font, sf::Color::White);
    m_mark.setPosition(static_cast<float>(x + 30), mark.top + 1.f);
}

void Chat_RECV::insert_msg(std::string line)
{
    messages.emplace_back(line);
    const std::size_t dropped = m_view.append(messages.back().getSize());
    for (std::size_t i = 0; i < dropped; ++i) {
        messages.pop_front();
    }
    m_firstNumber += dropped;
    m_uncolouredFrom = saturatingLess(m_uncolouredFrom, dropped);
    m_unscannedFrom = saturatingLess(m_unscannedFrom, dropped);
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
    // Every line's colour follows from the count of steps, so a step costs
    // nothing however many lines are kept.
    ++m_colourSteps;
    bool recoloured = false;
    forEachShown([&](std::size_t i, int) { recoloured = recoloured || !messages[i].getReferenceColors().empty(); });
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

void Chat_RECV::draw(sf::RenderTarget& window)
{
    window.draw(panel, sf::RenderStates::Default);
    const float top = static_cast<float>(y + kRowHeight);
    const float bottom = top + static_cast<float>(kRowHeight * static_cast<int>(m_view.shownRows() - 1));
    // Only the lines in view have drawables; a line keeps its drawable for
    // as long as it stays in view.
    std::map<std::uint64_t, MultipartText> shown;
    forEachShown([&](std::size_t i, int row) {
        const KeptLine& line = messages[i];
        auto node = m_shown.extract(m_firstNumber + i);
        if (node.empty()) {
            shown.emplace(m_firstNumber + i, MultipartText(line.getPieceStrings(), font, sf::Color::White));
        } else {
            shown.insert(std::move(node));
        }
        MultipartText& text = shown.at(m_firstNumber + i);
        text.setUIDcolor(line.getUIDcolor());
        text.setMessageColor(line.getMSGcolor(m_colourSteps));
        text.setPosition(x + 30, static_cast<int>(top) + kRowHeight * row);
        text.draw(window, top, bottom);
    });
    m_shown = std::move(shown);
    if (!m_view.live()) {
        m_mark.setString(markText());
        window.draw(m_markBar, sf::RenderStates::Default);
        window.draw(m_mark, sf::RenderStates::Default);
    }
}

bool Chat_RECV::wheel(float notches, int atX, int atY)
{
    if (!panel.getGlobalBounds().contains(static_cast<float>(atX), static_cast<float>(atY))) {
        return false;
    }
    // Fine-grained wheels send fractions of a notch: they add up.
    m_wheelRows += notches * static_cast<float>(kWheelRows);
    const float rows = std::trunc(m_wheelRows);
    m_wheelRows -= rows;
    if (rows > 0) {
        m_view.scrollUp(static_cast<std::size_t>(rows));
    } else if (rows < 0) {
        m_view.scrollDown(static_cast<std::size_t>(-rows));
    }
    return true;
}

bool Chat_RECV::click(int atX, int atY)
{
    if (m_view.live() || !markArea().contains(static_cast<float>(atX), static_cast<float>(atY))) {
        return false;
    }
    m_view.toNewest();
    return true;
}

sf::String Chat_RECV::markText() const
{
    if (m_view.live()) {
        return {};
    }
    return decodeUtf8("\u25BC " + std::to_string(m_view.linesBelow()) + " new");
}

const std::deque<KeptLine>& Chat_RECV::getMessages() const
{
    return messages;
}

template <class Visit>
void Chat_RECV::forEachShown(Visit&& visit) const
{
    const int rows = static_cast<int>(m_view.shownRows());
    int row = -static_cast<int>(m_view.topLineRow());
    for (std::size_t i = m_view.topLine(); i < messages.size() && row < rows; ++i) {
        visit(i, row);
        row += static_cast<int>(m_view.rowsOf(i));
    }
}

sf::FloatRect Chat_RECV::markArea() const
{
    const float top = static_cast<float>(y + kRowHeight * kRowsPerPanel);
    return {static_cast<float>(x + 1), top - 2.f, static_cast<float>(width - 2), static_cast<float>(kRowHeight + 2)};
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

void Chat_RECV::colourSender(KeptLine& line)
{
    if (m_senderColoursVersion != m_rosterVersion) {
        // Later entries overwrite earlier ones: the last entry naming a
        // sender decides its colour.
        m_senderColours.clear();
        for (const RosterUID& uid : m_roster) {
            m_senderColours[textKey(uid.name)] = uid.colour;
        }
        m_senderColoursVersion = m_rosterVersion;
    }
    const auto found = m_senderColours.find(textKey(decodeUtf8(line.getUID())));
    if (found != m_senderColours.end()) {
        line.setUIDcolor(found->second);
    }
}

void Chat_RECV::scanLine(KeptLine& line)
{
    if (!line.mayMention()) {
        return;
    }
    if (m_matcherVersion != m_rosterVersion) {
        // Pieces are compared as the bytes that came in, and a roster text
        // was decoded from UTF-8: it goes back to those bytes.
        std::vector<std::string> uids;
        uids.reserve(m_roster.size());
        for (const RosterUID& uid : m_roster) {
            uids.push_back(encodeUtf8(uid.name));
        }
        m_matcher.setRoster(std::move(uids));
        m_matcherVersion = m_rosterVersion;
    }
    for (const std::string& piece : line.getPieceStrings()) {
        for (const std::size_t i : m_matcher.mentioned(piece)) {
            line.setReferenceColor(m_roster[i].colour, m_colourSteps);
        }
    }
}

} // namespace parlana
