#pragma once

#include "protocol/tokens.hpp"

#include <string>

namespace parlana {

/// What a packet from the server is, decided by its first bytes only.
enum class PacketKind { Roster, UidRefused, ServerFull, ChatLine };

/// Classifies a packet string; a control token counts only at position 0.
inline PacketKind classify_packet(const std::string& text)
{
    if (beginsWith(text, kRosterToken))
        return PacketKind::Roster;
    if (beginsWith(text, kUidErrorToken))
        return PacketKind::UidRefused;
    if (beginsWith(text, kLimitToken))
        return PacketKind::ServerFull;
    return PacketKind::ChatLine;
}

} // namespace parlana
