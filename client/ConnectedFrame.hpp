#pragma once

#include "client/ChatScreen.hpp"
#include "client/ClientState.hpp"
#include "client/KeyboardInput.hpp"
#include "client/PacketReceiver.hpp"
#include "client/ServerLink.hpp"
#include "client/Surface.hpp"

#include "client/widgets/Cursor.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

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
/// it takes what the server sent, handles the window's events, brings every
/// panel up to date and draws, in that order, so that what a frame shows
/// includes everything it took in. A frame is drawn only when something on
/// the screen changed, so a quiet chat costs next to nothing. The font, the
/// state, the link and the surface must outlive it.
class ConnectedFrame {
public:
    using Clock = std::chrono::steady_clock;

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
    Cursor placeTypedLine(sf::Font& font);
    bool handleEvents();
    /// Brings the panels up to date with the link, the roster and the typed
    /// line; true when a step of the mention colours recoloured a line.
    bool refresh(Clock::time_point now);
    void refreshStatusBar();

    ClientState& m_state;
    ServerLink& m_link;
    Surface& m_surface;
    const std::string m_uid;
    const FrameRules m_rules;
    ChatScreen m_screen;
    Cursor m_caret;
    KeyboardInput<Chat_BOX, Cursor, Chat_UID> m_input;
    PacketReceiver m_receiver;

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
