#include "protocol/keepalive.hpp"

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

bool setOption(int descriptor, int level, int name, int value)
{
    return ::setsockopt(descriptor, level, name, &value, sizeof value) == 0;
}

} // namespace

bool detectVanishedPeer(int descriptor)
{
    const unsigned timeout = kUnacknowledgedMilliseconds;
    const bool keepalive = setOption(descriptor, SOL_SOCKET, SO_KEEPALIVE, 1) &&
                           setOption(descriptor, IPPROTO_TCP, TCP_KEEPIDLE, kIdleSeconds) &&
                           setOption(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, kProbeIntervalSeconds) &&
                           setOption(descriptor, IPPROTO_TCP, TCP_KEEPCNT, kProbes);
    return keepalive && ::setsockopt(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout) == 0;
}

} // namespace parlana
