#include "tests/support/HostilePeers.hpp"

#include "protocol/frame.hpp"
#include "protocol/line.hpp"
#include "protocol/tokens.hpp"

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

std::vector<std::pair<std::string, std::string>> invalidJoins()
{
    const auto join = [](const std::string& uid) { return encodeFrame(uid) + encodeEmptyFrame(); };
    return {
        {"empty string", join("")},
        {"packet holding nothing", encodeEmptyFrame() + encodeEmptyFrame()},
        {"string longer than its packet", encodeSize(8) + encodeSize(20) + "abcd" + encodeEmptyFrame()},
        {"11 bytes", join("abcdefghijk")},
        {"comma", join("ann,bob")},
        {"colon", join("bob:")},
        {"line feed", join("a\nb")},
        {"control byte", join(std::string("a\x01", 2))},
        {"byte above 0x7E", join("caf\xc3\xa9")},
        {"roster token", join(kRosterToken)},
        {"control prefix", join("$%$x")},
    };
}

std::vector<std::string> refusedLines(const std::string& uid, const std::string& other)
{
    const std::string own = uid + ": ";
    return {
        kUidErrorToken,
        kLimitToken,
        kRosterToken + ",ghost,",
        other + ": I quit",
        uid + ":no space",
        "nobody at all",
        own + std::string(kMaxTypedBytes + 1, 'x'),
        own + "tab\there",
        own + "line\nfeed",
        own + "carriage\rreturn",
        own + "back\bspace",
    };
}

} // namespace parlana::test
