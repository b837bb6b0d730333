#pragma once

#include "client/ClientState.hpp"

#include "protocol/tokens.hpp"

#include <SFML/Network/IpAddress.hpp>
#include <SFML/Network/TcpSocket.hpp>

#include <cstring>
#include <string>

#include <unistd.h>

namespace parlana {

/// True when `uid` is short enough to be sent (at most 10 bytes).
bool uid_fits(const char* uid);

/// The port a command-line argument names: its leading decimal digits
/// (0 when there are none), taken modulo 65536.
unsigned short port_from_arg(const char* arg);

/// Sends the join packet carrying `uid`, then exactly one empty packet.
/// Results are not examined: a failed join simply never gets an answer.
void send_join(sf::TcpSocket& socket, const std::string& uid);

/// Sends `line` unchanged as one chat packet. The argument vector is not
/// used: the caller has already put the UID prefix in front of the line.
void send_format_msg(sf::TcpSocket* socket, char** argv, std::string& line);

/// Joins the server named by `address` and argv[3] as the UID argv[1]. A UID
/// that is too long puts the client in error mode without connecting.
/// Otherwise it starts the connection, names the server on `bar`, waits
/// three seconds for the connection to settle and sends the join sequence.
template <class Bar>
void connect(ClientState& state, const std::string& address, char** argv, Bar& bar)
{
    if (!uid_fits(argv[1])) {
        state.enterErrorMode(kUidNotValidMessage);
        return;
    }
    state.client->connect(sf::IpAddress(address), port_from_arg(argv[3]), sf::Time::Zero);
    bar.setServerName(address);
    // The socket is non-blocking, so connect returned at once; the join
    // packet needs an established connection.
    sleep(3);
    send_join(*state.client, argv[1]);
}

} // namespace parlana
