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
/// on a refusal, or hands anything else, "" included, to the message pane.
template <class Pane, class Roster>
PacketKind dispatch_packet(const std::string& text, Pane& pane, Roster& roster, ClientState& state)
{
    const PacketKind kind = classify_packet(text);
    switch (kind) {
    case PacketKind::Roster:
        roster.refresh();
        for (const std::string& uid : split_roster(text))
            roster.getUIDS(uid);
        break;
    case PacketKind::UidRefused:
        state.enterErrorMode(kUidNotValidMessage);
        break;
    case PacketKind::ServerFull:
        state.enterErrorMode(kServerFullMessage);
        break;
    case PacketKind::ChatLine:
        pane.insert_msg(text);
        break;
    }
    return kind;
}

/// Handles at most one whole packet from the server, if one is there.
template <class Pane, class Roster>
void receive(ServerLink& link, Pane& pane, Roster& roster, ClientState& state)
{
    std::string text;
    if (link.poll(text))
        dispatch_packet(text, pane, roster, state);
}

} // namespace parlana
