#pragma once

#include <SFML/Network/TcpListener.hpp>

namespace parlana {

/// The listening socket. It binds with the address reuse option, so that a
/// server restarted on its port (by its service manager, by an upgrade)
/// takes the port back at once instead of failing while the connections of
/// its previous run wind down.
class Listener : public sf::TcpListener {
public:
    /// Listens on `port` on every local address.
    sf::Socket::Status listenOnEveryAddress(unsigned short port);

    /// The system's handle, for the poller.
    int handle() const { return getHandle(); }
};

} // namespace parlana
