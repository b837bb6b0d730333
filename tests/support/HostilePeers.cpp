#include "tests/support/HostilePeers.hpp"

#include "protocol/frame.hpp"

#include <thread>

namespace parlana::test {

std::string joinThenLine(const std::string& uid, const std::string& line)
{
    return encodeFrame(uid) + encodeEmptyFrame() + encodeFrame(line);
}

bool trickle(TestPeer& peer, const std::string& bytes, Millis gap)
{
    for (const char c : bytes) {
        if (!peer.sendRaw(std::string(1, c)))
            return false;
        std::this_thread::sleep_for(gap);
    }
    return true;
}

bool sendHugeHeader(TestPeer& peer, std::size_t tail)
{
    return peer.sendRaw(encodeSize(0x80000000u) + std::string(tail, 'x'));
}

void resetMidFrame(TestPeer& peer, const std::string& line, std::size_t cut, Millis pause)
{
    peer.sendRaw(encodeFrame(line).substr(0, cut));
    std::this_thread::sleep_for(pause);
    peer.reset();
}

bool halfClose(TestPeer& peer, const std::string& lastLine)
{
    const bool sent = peer.sendText(lastLine);
    peer.shutdownWrite();
    return sent;
}

std::unique_ptr<TestPeer> silentNewcomer(unsigned short port)
{
    auto peer = std::make_unique<TestPeer>();
    return peer->connect(port) ? std::move(peer) : nullptr;
}

} // namespace parlana::test
