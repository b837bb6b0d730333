#include "server/PeerSocket.hpp"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace parlana {

namespace {

// A refused option leaves the connection as the system made it: the peer is
// then found gone later, never wrongly.
void setOption(int handle, int level, int name, int value)
{
    ::setsockopt(handle, level, name, &value, sizeof value);
}

} // namespace

void PeerSocket::watchForVanishing()
{
    const int handle = getHandle();
    setOption(handle, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(handle, IPPROTO_TCP, TCP_KEEPIDLE, static_cast<int>(kKeepIdle.count()));
    setOption(handle, IPPROTO_TCP, TCP_KEEPINTVL, static_cast<int>(kKeepInterval.count()));
    setOption(handle, IPPROTO_TCP, TCP_KEEPCNT, kKeepProbes);
    setOption(handle, IPPROTO_TCP, TCP_USER_TIMEOUT,
              static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(kUserTimeout).count()));
}

} // namespace parlana
