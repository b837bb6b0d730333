#pragma once

namespace parlana {

/// Asks the system to probe a connection that has carried nothing for 20 s,
/// every 5 s, and to give up after 4 unanswered probes, and to abandon data
/// left unacknowledged for 40 s. A peer whose network vanished without a
/// word (no FIN, no RST) is then found gone within a minute, whether the
/// connection was quiet or busy; a peer that answers never notices. False
/// when the system refused an option.
bool detectVanishedPeer(int descriptor);

} // namespace parlana
