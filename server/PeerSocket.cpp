#include "server/PeerSocket.hpp"

#include "protocol/keepalive.hpp"

namespace parlana {

void PeerSocket::watchForVanishing()
{
    detectVanishedPeer(getHandle());
}

} // namespace parlana
