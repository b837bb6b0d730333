#pragma once

// Shared by every fuzz target: a reader that turns the fuzzer's bytes into
// choices, and a check that stops the process (so libFuzzer and the replay
// test both see a failed property as a crash, whatever NDEBUG says).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition, what)                                                                                    \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, what);                          \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace parlana::fuzz {

/// Consumes the input front to back; once it runs dry every read gives zeros,
/// so a target never needs to test for the end before each choice.
class ByteSource {
public:
    ByteSource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    std::size_t remaining() const { return m_size - m_pos; }

    std::uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }

    std::uint16_t u16()
    {
        const std::uint16_t high = byte();
        return static_cast<std::uint16_t>((high << 8) | byte());
    }

    /// Up to `count` bytes (fewer at the end of the input).
    std::string bytes(std::size_t count)
    {
        const std::size_t n = count < remaining() ? count : remaining();
        std::string out(reinterpret_cast<const char*>(m_data + m_pos), n);
        m_pos += n;
        return out;
    }

    /// A string whose length (below `limit`) is the next byte.
    std::string shortString(std::size_t limit) { return bytes(byte() % limit); }

    /// A string whose length (below `limit`) is the next two bytes.
    std::string longString(std::size_t limit) { return bytes(u16() % limit); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace parlana::fuzz
