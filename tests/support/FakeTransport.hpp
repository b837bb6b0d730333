#pragma once

#include "client/Transport.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace parlana::test {

/// What a `FakeTransport` answers and what it was given, kept by the test:
/// the link under test owns the transport itself.
struct WireScript {
    Transport::Progress onConnect = Transport::Progress::Done;
    Transport::Progress onConnecting = Transport::Progress::Done;
    /// Bytes the server has sent and the link has not taken yet.
    std::string inbound;
    /// The server has gone: receive fails once `inbound` is taken.
    bool peerGone = false;
    /// Bytes the connection still takes before it stalls.
    std::size_t sendRoom = std::numeric_limits<std::size_t>::max();
    /// Bytes handed over, one string per connection made.
    std::vector<std::string> sent;
    int closes = 0;
    /// The server's key, for a connection played as TLS.
    std::optional<PeerKey> key;
};

/// A connection without a socket, played from a `WireScript`.
class FakeTransport : public Transport {
public:
    explicit FakeTransport(WireScript& script) : m_script(script) {}

    Progress connect(const std::string&, unsigned short) override
    {
        m_script.sent.emplace_back();
        m_script.peerGone = false;
        return m_script.onConnect;
    }
    Progress connecting() override { return m_script.onConnecting; }
    std::optional<std::size_t> send(const char* data, std::size_t size) override
    {
        if (m_script.peerGone)
            return std::nullopt;
        const std::size_t taken = std::min(size, m_script.sendRoom);
        m_script.sendRoom -= taken;
        m_script.sent.back().append(data, taken);
        return taken;
    }
    std::optional<std::size_t> receive(char* data, std::size_t size) override
    {
        if (m_script.inbound.empty() && m_script.peerGone)
            return std::nullopt;
        const std::size_t count = std::min(size, m_script.inbound.size());
        std::memcpy(data, m_script.inbound.data(), count);
        m_script.inbound.erase(0, count);
        return count;
    }
    void close() override { ++m_script.closes; }
    std::optional<PeerKey> peerKey() const override { return m_script.key; }

private:
    WireScript& m_script;
};

} // namespace parlana::test
