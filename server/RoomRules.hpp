#pragma once

#include <cstddef>

namespace parlana {

/// The room's limits that the operator may change on the command line.
struct RoomRules {
    /// Packets per second a member's budget refills with; 0 turns flood
    /// control off. Ten a second is far above anyone typing and far below
    /// what a script sends.
    unsigned floodRate = 10;
    /// Packets a member may send at once before its budget holds it back:
    /// a real client's join, a few lines pasted in a row and some slack.
    unsigned floodBurst = 20;
    /// Members admitted from one address at once; 0 is no cap, so a class
    /// behind one NAT can fill the room.
    std::size_t maxPerAddress = 0;
};

} // namespace parlana
