#pragma once

#include "client/ChatScreen.hpp"
#include "client/ClientState.hpp"
#include "client/KeyboardInput.hpp"
#include "client/LineHistory.hpp"
#include "client/LinePacer.hpp"
#include "client/PacketReceiver.hpp"
#include "client/ServerLink.hpp"
#include "client/Surface.hpp"
#include "client/UidCompleter.hpp"

#include "client/widgets/Chat_Error.hpp"
#include "client/widgets/Cursor.hpp"
#include "client/widgets/MentionMatcher.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlana {

/// How a connected frame paces its work; the program's values by default.
struct FrameRules {
    /// Most time one frame spends on packets (see `PacketReceiver`).
    std::chrono::steady_clock::duration intakeBudget = kIntakeBudget;
    /// What packets change is drawn at most this often: a busy room would
    /// otherwise cost a whole draw per line, and a line shown 50 ms later
    /// reads the same.
    std::chrono::steady_clock::duration packetDrawPeriod = std::chrono::milliseconds(50);
};

/// The chat screen while connected (or trying to be): one frame at a time,
/// it takes what the server sent, handles the window's events, hands the
/// lines due to the link, brings every panel up to date and draws, in that
/// order, so that what a frame shows includes everything it took in. A frame
/// is drawn only when something on the screen changed, so a quiet chat costs
/// next to nothing. The font, the state, the link and the surface must
/// outlive it.
///
/// Keys besides typing, Backspace, Enter, Left and Right (`KeyboardInput`):
/// PageUp and PageDown scroll the pane a page, the wheel over it 3 rows a
/// notch, Ctrl+Home to the oldest line and Ctrl+End (or a click on the mark)
/// back to the newest; Up and Down walk the lines sent; Tab completes a UID;
/// Ctrl+W erases the last word and Ctrl+U the line; Ctrl+V and Shift+Insert
/// paste, asking first before a paste of several lines, which Enter sends
/// paced and Esc cancels or stops.
///
/// While the link waits for the user's word on the server's key, the frame
/// shows the question in place of the chat: Enter trusts the key, Esc or
/// closing the window leaves. A key the link refused ends the run with the
/// error screen saying why.
class ConnectedFrame {
public:
    using Clock = std::chrono::steady_clock;

    /// The frames of `uid`'s client, which draw on `surface` with `font` and
    /// keep the typed line in `state`.
    ConnectedFrame(sf::Font& font, ClientState& state, ServerLink& link, Surface& surface, std::string uid,
                   FrameRules rules = {});
    ConnectedFrame(const ConnectedFrame&) = delete;
    ConnectedFrame& operator=(const ConnectedFrame&) = delete;

    /// Runs one frame at `now`; true when it drew and displayed.
    bool run(Clock::time_point now);

    /// The panels, for what the program sets once (the server's name) and
    /// for tests.
    ChatScreen& screen() { return m_screen; }
    const Cursor& caret() const { return m_caret; }
    /// Packets taken in since the frames began.
    std::size_t packetsTaken() const { return m_packetsTaken; }

private:
    /// Where a frame's packets go: chat lines pass by the frame on their way
    /// to the pane.
    struct LineSink {
        ConnectedFrame& frame;
        void insert_msg(std::string line) { frame.takeChatLine(std::move(line)); }
    };

    Cursor placeTypedLine(sf::Font& font);
    /// A frame of the question about the server's key; true when it drew.
    bool askTrust(Clock::time_point now);
    bool handleEvents();
    /// Acts on the keys and clicks of this class; false for an event left
    /// to `KeyboardInput`.
    bool handleCommand(const sf::Event& event);
    bool handleKey(const sf::Event::KeyEvent& key);
    bool sendTyped(const std::string& line);
    void paste();
    void eraseWord();
    void takeChatLine(std::string line);
    /// Shows the paste's question or progress; true when it changed.
    bool refreshNotice();
    /// Brings the panels up to date with the link, the roster and the typed
    /// line; true when a step of the mention colours recoloured a line.
    bool refresh(Clock::time_point now);
    void refreshStatusBar();

    sf::Font& m_font;
    ClientState& m_state;
    ServerLink& m_link;
    Surface& m_surface;
    const std::string m_uid;
    const FrameRules m_rules;
    ChatScreen m_screen;
    Cursor m_caret;
    KeyboardInput<Chat_BOX, Cursor, Chat_UID> m_input;
    PacketReceiver m_receiver;
    LinePacer m_pacer;
    LineHistory m_history;
    UidCompleter m_completer;
    MentionMatcher m_ownMention;
    /// A paste waiting for Enter or Esc.
    std::vector<std::string> m_asking;
    sf::String m_notice;
    /// Attention was asked for since the window last had the focus.
    bool m_attentionAsked = false;
    /// The question about the server's key, while it is asked.
    std::unique_ptr<Chat_Error> m_question;
    Clock::time_point m_questionDrawnAt{};

    Clock::time_point m_colourStepAt{};
    Clock::time_point m_drawnAt{};
    bool m_packetsUndrawn = false;
    std::size_t m_packetsTaken = 0;
    /// What the status bar's UID label was made from: the roster's version
    /// and whether the client was admitted.
    std::optional<std::uint64_t> m_barVersion;
    bool m_barAdmitted = false;
};

} // namespace parlana
