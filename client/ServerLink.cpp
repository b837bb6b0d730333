#include "client/ServerLink.hpp"

#include <array>

namespace parlana {

namespace {
// Chat packets are at most a few hundred bytes; one read of this size holds
// many of them, and the reader never keeps more than one capped frame besides.
constexpr std::size_t kReadChunk = 4096;

bool gone(sf::Socket::Status status)
{
    return status == sf::Socket::Disconnected || status == sf::Socket::Error;
}
} // namespace

ServerLink::ServerLink(sf::TcpSocket& socket) : m_socket(socket) {}

bool ServerLink::poll(std::string& text)
{
    if (m_lost)
        return false;
    if (!m_reader.hasFrame())
        readOnce();
    std::string body;
    switch (m_reader.next(body)) {
    case FrameReader::Result::Frame:
        text = extractString(body);
        return true;
    case FrameReader::Result::Rejected:
        lose();
        return false;
    case FrameReader::Result::NeedMore:
        break;
    }
    return false;
}

void ServerLink::queue(const std::string& text)
{
    m_outgoing += encodeFrame(text);
}

void ServerLink::queueEmpty()
{
    m_outgoing += encodeEmptyFrame();
}

void ServerLink::flush()
{
    if (m_lost || m_outgoing.empty())
        return;
    std::size_t sent = 0;
    const sf::Socket::Status status = m_socket.send(m_outgoing.data(), m_outgoing.size(), sent);
    if (gone(status)) {
        lose();
        return;
    }
    // A partial send leaves the rest of a packet at the front: it goes out
    // first next time, so the server's framing never slips.
    m_outgoing.erase(0, sent);
}

std::size_t ServerLink::queued() const
{
    return m_outgoing.size();
}

bool ServerLink::lost() const
{
    return m_lost;
}

void ServerLink::readOnce()
{
    std::array<char, kReadChunk> chunk;
    std::size_t received = 0;
    const sf::Socket::Status status = m_socket.receive(chunk.data(), chunk.size(), received);
    if (status == sf::Socket::Done)
        m_reader.append(chunk.data(), received);
    else if (gone(status))
        lose();
}

void ServerLink::lose()
{
    m_lost = true;
    m_socket.disconnect();
    m_outgoing.clear();
    m_outgoing.shrink_to_fit();
}

} // namespace parlana
