#pragma once

#include "client/widgets/Chat_BOX.hpp"
#include "client/widgets/Chat_RECV.hpp"
#include "client/widgets/Chat_UID.hpp"
#include "client/widgets/Cursor.hpp"
#include "client/widgets/StatusBar.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>

#include <ctime>

namespace parlana {

/// The chat screen's panels: the status bar, the roster panel, the input box
/// and the message pane, built in this order and torn down in the reverse
/// one, and the fixed order in which they are drawn. The font must outlive
/// the screen.
struct ChatScreen {
    explicit ChatScreen(sf::Font& font);
    ChatScreen(const ChatScreen&) = delete;
    ChatScreen& operator=(const ChatScreen&) = delete;

    /// Gives `gui_msg` the font and size of the window's texts and places it
    /// 70 pixels right of the input box's prompt, where the typed line shows.
    void placeTypedLine(sf::Text& gui_msg, const sf::Font& font) const;

    /// Clears the target and draws every panel, the caret first.
    void draw(sf::RenderTarget& target, Cursor& caret, const sf::Text& gui_msg);

    /// True when a draw now would differ from the last one for the passing
    /// of time alone: the clock's second or the caret's blink.
    bool timeChangedScreen(const Cursor& caret) const;

    StatusBar bar;
    Chat_UID roster;
    Chat_BOX box;
    Chat_RECV pane;

private:
    std::time_t m_drawnSecond = 0;
    bool m_caretDrawn = false;
};

} // namespace parlana
