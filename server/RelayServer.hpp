#pragma once

#include "server/Room.hpp"

#include <SFML/Network/SocketSelector.hpp>
#include <SFML/Network/TcpListener.hpp>
#include <SFML/System/Time.hpp>

#include <ostream>
#include <string>

namespace parlana {

/// The network side of the relay: listens, reads each newcomer's join
/// packet, reads whole packets from the clients and writes their queues
/// without ever blocking on a slow reader.
class RelayServer {
public:
    /// Longest wait for a newcomer's whole join packet. The real client sends
    /// it about three seconds after connecting.
    static constexpr float kJoinTimeoutSeconds = 5.f;
    /// Packets relayed from one client in one pass, so a flooding client
    /// cannot starve the others.
    static constexpr int kMaxPacketsPerPass = 16;
    /// Wait of the selector while some client still has bytes to take.
    static constexpr sf::Int32 kFlushRetryMicroseconds = 1000;

    /// Log lines go to `log`.
    explicit RelayServer(std::ostream& log);

    /// Starts listening on every local address; false when that failed.
    bool listen(unsigned short port);

    /// Serves for ever.
    [[noreturn]] void run();

private:
    void pass();
    sf::Time nextWait();
    void acceptStep();
    bool readJoin(Participant& newcomer, std::string& uid);
    void serveClients();
    bool serve(Participant& client, bool readable);
    bool receiveChunk(Participant& client);
    void flushClients();
    void depart(Participant& client);

    sf::TcpListener server;
    sf::SocketSelector sock_selector;
    Room m_room;
    bool m_listening = false;
};

} // namespace parlana
