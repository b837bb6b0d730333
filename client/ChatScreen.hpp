#pragma once

#include "client/ClientState.hpp"
#include "client/widgets/Chat_BOX.hpp"
#include "client/widgets/Chat_RECV.hpp"
#include "client/widgets/Chat_UID.hpp"
#include "client/widgets/Cursor.hpp"
#include "client/widgets/StatusBar.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Text.hpp>

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

    /// One frame of the chat screen. `takePacket()` handles at most one packet
    /// from the server; `handleEvents()` the window's pending events. While
    /// `state.connected` is false the status bar shows its not-connected
    /// notice. The frame is drawn but not displayed.
    template <class TakePacket, class HandleEvents>
    void frame(sf::RenderWindow& window, ClientState& state, Cursor& caret, const std::string& uid,
               TakePacket&& takePacket, HandleEvents&& handleEvents, ColourStep step = ColourStep::WhenDue)
    {
        update(state, caret, uid, takePacket, step);
        handleEvents();
        draw(window, caret, state.gui_msg);
    }

    /// The frame's work before its events and its draw: the clock, the
    /// roster header, the typed line and caret, the status bar, at most one
    /// packet, the input counter and the pane's colours and mentions.
    template <class TakePacket>
    void update(ClientState& state, Cursor& caret, const std::string& uid, TakePacket&& takePacket,
                ColourStep step = ColourStep::WhenDue)
    {
        beforePacket(state, caret, uid);
        takePacket();
        afterPacket(state, step);
    }

    StatusBar bar;
    Chat_UID roster;
    Chat_BOX box;
    Chat_RECV pane;

private:
    void beforePacket(ClientState& state, Cursor& caret, const std::string& uid);
    void afterPacket(ClientState& state, ColourStep step);
    void draw(sf::RenderWindow& window, Cursor& caret, const sf::Text& gui_msg);
};

} // namespace parlana
