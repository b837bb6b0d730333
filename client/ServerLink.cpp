#include "client/ServerLink.hpp"

#include <array>

namespace parlana {

namespace {
// Chat packets are at most a few hundred bytes; one read of this size holds
// many of them, and the reader never keeps more than one capped frame besides.
constexpr std::size_t kReadChunk = 4096;
} // namespace

ServerLink::ServerLink(sf::TcpSocket& socket) : m_socket(socket) {}

bool ServerLink::poll(std::string& text)
{
    if (m_reader.rejected())
        return false;
    if (!m_reader.hasFrame())
        readOnce();
    std::string body;
    switch (m_reader.next(body)) {
    case FrameReader::Result::Frame:
        text = extractString(body);
        return true;
    case FrameReader::Result::Rejected:
        m_socket.disconnect();
        return false;
    case FrameReader::Result::NeedMore:
        break;
    }
    return false;
}

void ServerLink::readOnce()
{
    std::array<char, kReadChunk> chunk;
    std::size_t received = 0;
    if (m_socket.receive(chunk.data(), chunk.size(), received) == sf::Socket::Done)
        m_reader.append(chunk.data(), received);
}

} // namespace parlana
