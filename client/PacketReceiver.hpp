#pragma once

#include "client/ClientState.hpp"
#include "client/Dispatch.hpp"
#include "client/ServerLink.hpp"

#include <chrono>
#include <cstddef>
#include <string>

namespace parlana {

/// Most time one frame spends on packets, so that a busy room never stalls
/// the window; what is left waits for the next frame.
inline constexpr std::chrono::milliseconds kIntakeBudget{4};

/// Takes in, once a frame, what the server has sent, and keeps the roster
/// panel listing only while the client is admitted.
class PacketReceiver {
public:
    /// Pumps `link`, then hands every whole packet that has arrived, in
    /// arrival order, to the panels until `budget` is spent; returns how many
    /// were handled. Each has the effect it would have alone, except that a
    /// roster identical to the one listed is not listed again.
    template <class Pane, class Roster>
    std::size_t receive(ServerLink& link, Pane& pane, Roster& roster, ClientState& state,
                        ServerLink::Clock::time_point now, ServerLink::Clock::duration budget = kIntakeBudget)
    {
        link.pump(now);
        // The budget is of work done, so it is measured on the clock itself.
        const ServerLink::Clock::time_point deadline = ServerLink::Clock::now() + budget;
        std::size_t handled = 0;
        ServerLink::Packet packet;
        while (state.client_status && link.takePacket(packet)) {
            ++handled;
            if (packet.kind == PacketKind::Roster) {
                if (packet.text == m_listed)
                    continue;
                m_listed = packet.text;
            }
            dispatch_packet(packet.kind, packet.text, pane, roster, state);
            if (ServerLink::Clock::now() >= deadline)
                break;
        }
        if (!link.admitted() && !m_listed.empty()) {
            // Nobody is listed without a connection; the pane keeps its lines.
            roster.refresh();
            m_listed.clear();
        }
        return handled;
    }

private:
    /// The roster text the panel lists; empty while it lists nobody.
    std::string m_listed;
};

} // namespace parlana
