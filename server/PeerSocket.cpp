#include "server/PeerSocket.hpp"

#include "net/keepalive.hpp"

namespace parlana {

void PeerSocket::watchForVanishing()
{
    detectVanishedPeer(getHandle());
}

} // namespace parlana
