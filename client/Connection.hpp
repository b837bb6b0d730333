#pragma once

#include "client/ClientState.hpp"
#include "client/ServerLink.hpp"

#include "protocol/tokens.hpp"
#include "protocol/uid.hpp"

#include <SFML/Network/IpAddress.hpp>
#include <SFML/Network/TcpSocket.hpp>
#include <SFML/System/Clock.hpp>
#include <SFML/System/Sleep.hpp>
#include <SFML/System/Time.hpp>

#include <string>

namespace parlana {

/// How long after it starts connecting the client sends its join: users and
/// the server's tests know this pause.
const sf::Time kJoinPause = sf::seconds(3);

/// The port a command-line argument names: its leading decimal digits
/// (0 when there are none), taken modulo 65536.
unsigned short port_from_arg(const char* arg);

/// Connects `socket` to address:port, waiting at most `limit`; true when the
/// connection was established in time. Otherwise the attempt is abandoned
/// (the socket is left disconnected). The socket is non-blocking afterwards.
bool establish(sf::TcpSocket& socket, const sf::IpAddress& address, unsigned short port, sf::Time limit);

/// Queues the join packet carrying `uid`, then exactly one empty packet, and
/// sends them.
void send_join(ServerLink& link, const std::string& uid);

/// Queues `line` unchanged as one chat packet and sends what the socket takes
/// now; the rest goes out in later frames.
void send_format_msg(ServerLink& link, const std::string& line);

/// Sends a finished chat line if the connection is up and the outgoing queue
/// is not backed up beyond `kMaxQueuedBytes`. Returns false, having sent
/// nothing, otherwise: the caller keeps the line for the user.
bool offer_line(ClientState& state, ServerLink& link, const std::string& line);

/// Joins the server named by `address` and argv[3] as the UID argv[1]. A UID
/// the server would refuse puts the client in error mode without connecting.
/// Otherwise it connects, names the server on `bar` and waits out `pause`
/// from the start of the attempt; the join goes out, and the client counts as
/// connected, only if the connection was established within the pause.
template <class Bar>
void connect(ClientState& state, ServerLink& link, const std::string& address, char** argv, Bar& bar,
             sf::Time pause = kJoinPause)
{
    if (!isValidUid(argv[1])) {
        state.enterErrorMode(kUidNotValidMessage);
        return;
    }
    const sf::IpAddress server(address);
    const sf::Clock attempt;
    const bool established = establish(*state.client, server, port_from_arg(argv[3]), pause);
    bar.setServerName(address);
    sf::sleep(pause - attempt.getElapsedTime());
    if (!established)
        return;
    send_join(link, argv[1]);
    state.connected = !link.lost();
}

} // namespace parlana
