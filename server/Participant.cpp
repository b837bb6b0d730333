#include "server/Participant.hpp"

namespace parlana {

namespace {

// Capacity kept by an idle connection's queue; a burst may grow it, but a
// quiet connection should not hold on to a megabyte.
constexpr std::size_t kIdleCapacity = 16 * 1024;

} // namespace

Participant::Participant(std::unique_ptr<sf::TcpSocket> socket) : m_socket(std::move(socket)) {}

Participant::FlushResult Participant::flush()
{
    if (queued() == 0)
        return FlushResult::Flushed;
    if (!m_socket)
        return FlushResult::Pending;
    std::size_t sent = 0;
    const sf::Socket::Status status = m_socket->send(m_out.data() + m_sent, queued(), sent);
    m_sent += sent;
    if (status == sf::Socket::Disconnected || status == sf::Socket::Error)
        return FlushResult::Failed;
    compact();
    return queued() == 0 ? FlushResult::Flushed : FlushResult::Pending;
}

std::string Participant::takeQueued()
{
    std::string out = m_out.substr(m_sent);
    m_out.clear();
    m_sent = 0;
    return out;
}

void Participant::compact()
{
    if (m_sent == m_out.size()) {
        m_out.clear();
        m_sent = 0;
        if (m_out.capacity() > kIdleCapacity)
            std::string().swap(m_out);
    } else if (m_sent > kIdleCapacity && m_sent * 2 > m_out.size()) {
        m_out.erase(0, m_sent);
        m_sent = 0;
    }
}

} // namespace parlana
