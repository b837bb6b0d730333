#pragma once

#include <SFML/Network/TcpSocket.hpp>

#include <chrono>

namespace parlana {

/// An accepted connection that finds out when its peer has vanished without
/// a word (network gone, machine asleep: no close, no reset). A quiet
/// connection is probed once it has been idle `kKeepIdle`, every
/// `kKeepInterval`, and given up after `kKeepProbes` unanswered probes; a
/// busy one is given up once data has waited `kUserTimeout` for an
/// acknowledgement. Either way the next read fails, within a minute, as for
/// a closed connection. A peer that answers TCP never notices.
class PeerSocket : public sf::TcpSocket {
public:
    static constexpr std::chrono::seconds kKeepIdle{20};
    static constexpr std::chrono::seconds kKeepInterval{5};
    static constexpr int kKeepProbes = 4;
    static constexpr std::chrono::seconds kUserTimeout{40};

    /// Arms the probes and the timeout; call once connected.
    void watchForVanishing();

    /// The system's handle, for the poller.
    int handle() const { return getHandle(); }
};

} // namespace parlana
