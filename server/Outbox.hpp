#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace parlana {

/// Bytes a connection has not taken yet, oldest first, in a ring: sends take
/// from the front while new bytes go in at the back, so nothing queued is
/// ever moved except when the ring has to grow. The ring keeps its size once
/// grown, so a reader that keeps lagging by the same amount costs no
/// allocation either.
class Outbox {
public:
    /// Adds `bytes` behind everything queued.
    void append(std::string_view bytes);

    /// The oldest queued bytes that lie in one piece; empty when nothing is
    /// queued. Valid until the next `append` or `consume`.
    std::string_view front() const;

    /// Forgets the first `count` queued bytes (at most `size()`), which the
    /// connection has taken.
    void consume(std::size_t count);

    /// Bytes queued.
    std::size_t size() const { return m_size; }

    bool empty() const { return m_size == 0; }

    /// Bytes it holds before it must grow.
    std::size_t capacity() const { return m_capacity; }

private:
    void grow(std::size_t needed);

    std::unique_ptr<char[]> m_ring;
    std::size_t m_capacity = 0; ///< zero or a power of two
    std::size_t m_head = 0;     ///< position of the oldest byte
    std::size_t m_size = 0;
};

} // namespace parlana
