#include "net/keepalive.hpp"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace parlana {

namespace {

constexpr int kIdleSeconds = 20;
constexpr int kProbeIntervalSeconds = 5;
constexpr int kProbes = 4;
// Covers a busy connection, where keepalive never starts: data sent to a
// vanished peer is retransmitted for this long, not for the system's default
// quarter of an hour.
constexpr unsigned kUnacknowledgedMilliseconds = 40 * 1000;

template <typename Value>
bool setOption(int descriptor, int level, int name, Value value)
{
    return ::setsockopt(descriptor, level, name, &value, sizeof value) == 0;
}

} // namespace

bool detectVanishedPeer(int descriptor)
{
    // Each option on its own: one refused leaves that part as the system
    // made it, and a vanished peer is then found later, never wrongly.
    bool all = setOption(descriptor, SOL_SOCKET, SO_KEEPALIVE, 1);
    all = setOption(descriptor, IPPROTO_TCP, TCP_KEEPIDLE, kIdleSeconds) && all;
    all = setOption(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, kProbeIntervalSeconds) && all;
    all = setOption(descriptor, IPPROTO_TCP, TCP_KEEPCNT, kProbes) && all;
    return setOption(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT, kUnacknowledgedMilliseconds) && all;
}

} // namespace parlana
