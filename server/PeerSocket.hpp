#pragma once

#include <SFML/Network/TcpSocket.hpp>

namespace parlana {

/// An accepted connection that finds out when its peer has vanished without
/// a word (network gone, machine asleep: no close, no reset): the next read
/// then fails within a minute, as for a closed connection (see
/// detectVanishedPeer). A peer that answers TCP never notices.
class PeerSocket : public sf::TcpSocket {
public:
    /// Arms the probes and the timeout; call once connected.
    void watchForVanishing();

    /// The system's handle, for the poller.
    int handle() const { return getHandle(); }
};

} // namespace parlana
