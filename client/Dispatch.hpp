#pragma once

#include "client/ClientState.hpp"
#include "client/PacketKind.hpp"

#include <string>
#include <vector>

namespace parlana {

/// The UIDs of a roster text, in order: the pieces between commas after the
/// header piece. A trailing comma adds no empty UID; adjacent commas do.
std::vector<std::string> split_roster(const std::string& text);

/// Acts on one packet string of kind `kind`: refills the roster panel, enters
/// error mode on a refusal, or hands anything else, "" included, to the
/// message pane. Which refusals reach it is the connection's business.
template <class Pane, class Roster>
void dispatch_packet(PacketKind kind, const std::string& text, Pane& pane, Roster& roster, ClientState& state)
{
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
}

/// `dispatch_packet` for a string not yet classified.
template <class Pane, class Roster>
PacketKind dispatch_packet(const std::string& text, Pane& pane, Roster& roster, ClientState& state)
{
    const PacketKind kind = classify_packet(text);
    dispatch_packet(kind, text, pane, roster, state);
    return kind;
}

} // namespace parlana
