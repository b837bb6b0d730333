#include "client/ChatScreen.hpp"

#include "client/widgets/Style.hpp"
#include "protocol/line.hpp"

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

void ChatScreen::draw(sf::RenderTarget& target, Cursor& caret, const sf::Text& gui_msg)
{
    m_drawnSecond = bar.getClockTime();
    m_caretDrawn = Cursor::visibleAt(caret.getBlinkTime());
    // Later draws cover earlier ones: the caret goes first, under everything.
    target.clear(sf::Color(0, 0, 0, 255));
    caret.draw(target);
    bar.draw(target);
    roster.draw(target);
    box.draw(target);
    pane.draw(target);
    target.draw(gui_msg);
}

bool ChatScreen::timeChangedScreen(const Cursor& caret) const
{
    const sf::Time blink = caret.getBlinkTime();
    // Past a whole cycle the caret's next draw starts the next one.
    return std::time(nullptr) != m_drawnSecond || Cursor::visibleAt(blink) != m_caretDrawn || blink > Cursor::cycle();
}

} // namespace parlana
