#pragma once

#include "client/ClientState.hpp"
#include "client/widgets/Chat_BOX.hpp"
#include "client/widgets/Chat_RECV.hpp"
#include "client/widgets/Chat_UID.hpp"
#include "client/widgets/Cursor.hpp"
#include "client/widgets/StatusBar.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Text.hpp>

#include <ctime>
#include <string>

namespace parlana {

/// When a connected frame takes one step of the message pane's colour cycle.
enum class ColourStep {
    /// Once more than a second has passed since the last step (the program).
    WhenDue,
    /// In every frame (fuzzing, where a second is many inputs away).
    EveryFrame,
};

/// The chat screen: the status bar, the roster panel, the input box and the
/// message pane, built in this order and torn down in the reverse one, and
/// the fixed order in which one connected frame updates and draws them.
/// The font must outlive the screen.
struct ChatScreen {
    explicit ChatScreen(sf::Font& font);
    ChatScreen(const ChatScreen&) = delete;
    ChatScreen& operator=(const ChatScreen&) = delete;

    /// Gives `gui_msg` the font and size of the window's texts and places it
    /// 70 pixels right of the input box's prompt, where the typed line shows.
    void placeTypedLine(sf::Text& gui_msg, const sf::Font& font) const;

    /// One frame of the chat screen, always drawn (not displayed): `update`,
    /// then `handleEvents()` for the window's pending events, then `draw`.
    template <class TakePackets, class HandleEvents>
    void frame(sf::RenderWindow& window, ClientState& state, Cursor& caret, const std::string& uid, bool admitted,
               TakePackets&& takePackets, HandleEvents&& handleEvents, ColourStep step = ColourStep::WhenDue)
    {
        update(state, caret, uid, admitted, takePackets, step);
        handleEvents();
        draw(window, caret, state.gui_msg);
    }

    /// The frame's work before its events and its draw: the clock, the
    /// roster header, the typed line and caret, the status bar (the UID
    /// while `admitted`, else its not-connected notice), the packets that
    /// `takePackets()` hands to the panels, the input counter and the pane's
    /// colours and mentions. True when a step of the colour cycle recoloured
    /// a line.
    template <class TakePackets>
    bool update(ClientState& state, Cursor& caret, const std::string& uid, bool admitted, TakePackets&& takePackets,
                ColourStep step = ColourStep::WhenDue)
    {
        beforePackets(state, caret, uid, admitted);
        takePackets();
        return afterPackets(state, step);
    }

    /// Clears the window and draws every panel, the caret first.
    void draw(sf::RenderWindow& window, Cursor& caret, const sf::Text& gui_msg);

    /// True when a draw now would differ from the last one for the passing
    /// of time alone: the clock's second or the caret's blink.
    bool timeChangedScreen(const Cursor& caret) const;
    /// True while lines wait to be scrolled in, which the draw does.
    bool scrolling() const;

    StatusBar bar;
    Chat_UID roster;
    Chat_BOX box;
    Chat_RECV pane;

private:
    void beforePackets(ClientState& state, Cursor& caret, const std::string& uid, bool admitted);
    bool afterPackets(ClientState& state, ColourStep step);

    std::time_t m_drawnSecond = 0;
    bool m_caretDrawn = false;
};

} // namespace parlana
