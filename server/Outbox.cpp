#include "server/Outbox.hpp"

#include <algorithm>
#include <cstring>

namespace parlana {

namespace {

// Smallest ring worth allocating: a few relays of a full room.
constexpr std::size_t kMinCapacity = 4 * 1024;

} // namespace

void Outbox::append(std::string_view bytes)
{
    if (bytes.empty())
        return;
    if (m_size + bytes.size() > m_capacity)
        grow(m_size + bytes.size());
    const std::size_t mask = m_capacity - 1;
    const std::size_t tail = (m_head + m_size) & mask;
    const std::size_t first = std::min(bytes.size(), m_capacity - tail);
    std::memcpy(m_ring.get() + tail, bytes.data(), first);
    std::memcpy(m_ring.get(), bytes.data() + first, bytes.size() - first);
    m_size += bytes.size();
}

std::string_view Outbox::front() const
{
    if (m_size == 0)
        return {};
    return {m_ring.get() + m_head, std::min(m_size, m_capacity - m_head)};
}

void Outbox::consume(std::size_t count)
{
    count = std::min(count, m_size);
    m_size -= count;
    // An emptied ring starts over at its beginning, so the next bytes lie in
    // one piece and go out in one send.
    m_head = m_size == 0 ? 0 : (m_head + count) & (m_capacity - 1);
}

void Outbox::grow(std::size_t needed)
{
    std::size_t capacity = std::max(m_capacity, kMinCapacity);
    while (capacity < needed)
        capacity *= 2;
    std::unique_ptr<char[]> ring(new char[capacity]);
    if (m_size != 0) {
        const std::string_view first = front();
        std::memcpy(ring.get(), first.data(), first.size());
        std::memcpy(ring.get() + first.size(), m_ring.get(), m_size - first.size());
    }
    m_ring = std::move(ring);
    m_capacity = capacity;
    m_head = 0;
}

} // namespace parlana
