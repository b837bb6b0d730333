#pragma once

#include "client/ClientState.hpp"
#include "client/ServerLink.hpp"

#include "protocol/tokens.hpp"

#include <string>
#include <vector>

namespace parlana {

/// What a packet from the server is, decided by its first bytes only.
enum class PacketKind { Roster, UidRefused, ServerFull, ChatLine };

/// Classifies a packet string; a control token counts only at position 0.
PacketKind classify_packet(const std::string& text);

/// The UIDs of a roster text, in order: the pieces between commas after the
/// header piece. A trailing comma adds no empty UID; adjacent commas do.
std::vector<std::string> split_roster(const std::string& text);

/// Acts on one packet string: refills the roster panel, enters error mode
/// on a refusal that answers the join, or hands anything else, "" included,
/// to the message pane. A refusal after the first roster packet is ignored:
/// it can only be a member's line relayed by the server.
template <class Pane, class Roster>
PacketKind dispatch_packet(const std::string& text, Pane& pane, Roster& roster, ClientState& state)
{
    const PacketKind kind = classify_packet(text);
    switch (kind) {
    case PacketKind::Roster:
        state.admitted = true;
        roster.refresh();
        for (const std::string& uid : split_roster(text))
            roster.getUIDS(uid);
        break;
    case PacketKind::UidRefused:
        if (!state.admitted)
            state.enterErrorMode(kUidNotValidMessage);
        break;
    case PacketKind::ServerFull:
        if (!state.admitted)
            state.enterErrorMode(kServerFullMessage);
        break;
    case PacketKind::ChatLine:
        pane.insert_msg(text);
        break;
    }
    return kind;
}

/// The connection is gone: the client stops counting itself connected and
/// the roster panel, which listed who was there, is emptied. The message
/// pane keeps its lines.
template <class Roster>
void lose_connection(Roster& roster, ClientState& state)
{
    state.connected = false;
    roster.refresh();
}

/// One frame's exchange with the server while connected: what is still
/// queued goes out first, then at most one whole packet is handled. A lost
/// connection is noticed here.
template <class Pane, class Roster>
void receive(ServerLink& link, Pane& pane, Roster& roster, ClientState& state)
{
    if (!state.connected)
        return;
    link.flush();
    std::string text;
    if (link.poll(text))
        dispatch_packet(text, pane, roster, state);
    if (state.connected && link.lost())
        lose_connection(roster, state);
}

} // namespace parlana
