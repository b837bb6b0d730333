#include "client/ChatScreen.hpp"

#include "client/widgets/Style.hpp"
#include "client/widgets/Utf8.hpp"
#include "protocol/line.hpp"

#include <algorithm>
#include <map>

namespace parlana {

ChatScreen::ChatScreen(sf::Font& font) : bar(font), roster(font), box(font, kMaxTypedBytes), pane(font) {}

void ChatScreen::placeTypedLine(sf::Text& gui_msg, const sf::Font& font) const
{
    gui_msg.setFont(font);
    gui_msg.setCharacterSize(kCharacterSize);
    gui_msg.setLetterSpacing(1.0f);
    const sf::Vector2f label = box.getEnterLabelXY();
    gui_msg.setPosition(label.x + 70.0f, label.y);
}

void ChatScreen::beforePackets(ClientState& state, Cursor& caret, const std::string& uid, bool admitted)
{
    bar.updateClock();
    roster.updateUIDcounter();
    state.gui_msg.setString(decodeUtf8(state.msg));
    caret.updatePosition(static_cast<int>(state.gui_msg.getLocalBounds().width), 1);
    // Until admitted the bar says so, whatever colours the run has handed
    // out: it shows the notice for an empty map.
    static const std::map<std::string, sf::Color> kNobody;
    bar.setInfo(uid, admitted ? roster.getUIDSmap() : kNobody);
}

bool ChatScreen::afterPackets(ClientState& state, ColourStep step)
{
    box.get_msg_length(state.msg);
    pane.assignMSGcolors(roster.getUIDS());
    bool recoloured = false;
    if (step == ColourStep::EveryFrame || state.chrono.getElapsedTime().asSeconds() > 1.0f) {
        pane.setMSGcolor();
        state.chrono.restart();
        // Only lines that mention someone change colour.
        const std::vector<MultipartText>& lines = pane.getMessages();
        recoloured = std::any_of(lines.begin(), lines.end(),
                                 [](const MultipartText& line) { return !line.getReferenceColors().empty(); });
    }
    pane.assignUIDreference(roster.getUIDS());
    return recoloured;
}

void ChatScreen::draw(sf::RenderWindow& window, Cursor& caret, const sf::Text& gui_msg)
{
    m_drawnSecond = bar.getClockTime();
    m_caretDrawn = Cursor::visibleAt(caret.getBlinkTime());
    // Later draws cover earlier ones: the caret goes first, under everything.
    window.clear(sf::Color(0, 0, 0, 255));
    caret.draw(window);
    bar.draw(window);
    roster.draw(window);
    box.draw(window);
    pane.draw(window, roster.getUIDSmap());
    window.draw(gui_msg);
}

bool ChatScreen::timeChangedScreen(const Cursor& caret) const
{
    const sf::Time blink = caret.getBlinkTime();
    // Past a whole cycle the caret's next draw starts the next one.
    return std::time(nullptr) != m_drawnSecond || Cursor::visibleAt(blink) != m_caretDrawn || blink > Cursor::cycle();
}

bool ChatScreen::scrolling() const
{
    return pane.getRowCount() > kRowsPerPanel;
}

} // namespace parlana
