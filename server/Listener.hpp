#pragma once

#include <SFML/Network/TcpListener.hpp>

namespace parlana {

/// The listening socket, with its handle for the poller.
class Listener : public sf::TcpListener {
public:
    int handle() const { return getHandle(); }
};

} // namespace parlana
