#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace parlana {

/// Largest packet body either program accepts. A real chat packet is at most
/// 132 bytes; anything announcing more than this is hostile or broken and the
/// connection carrying it is dropped before a byte of it is buffered.
constexpr std::size_t kMaxFrameBytes = 64 * 1024;

/// Bytes of one frame on the wire: a 32-bit big-endian body size, then the
/// body. The body of every packet we send holds one string (32-bit big-endian
/// length, then its bytes) or nothing at all.
std::string encodeFrame(const std::string& text);

/// The frame of a packet into which nothing was written (body size 0).
std::string encodeEmptyFrame();

/// The first string of a packet body, read the way the packet class reads it:
/// a body too short for a length, or whose length runs past its end, gives "".
std::string extractString(const std::string& body);

/// Reassembles frames from a byte stream cut at arbitrary places.
///
/// Bytes go in with `append`; whole bodies come out of `next` in arrival
/// order. Only a frame header announcing more than `kMaxFrameBytes` makes the
/// stream unusable (`rejected`); a partial frame simply waits for more bytes.
class FrameReader {
public:
    enum class Result { Frame, NeedMore, Rejected };

    /// Adds received bytes. Ignored once the stream has been rejected.
    void append(const char* data, std::size_t size);

    /// Moves the next whole body into `body` and returns Frame, or returns
    /// NeedMore (nothing whole yet) or Rejected (oversized frame announced).
    Result next(std::string& body);

    /// True when a whole frame is waiting, so the caller need not read.
    bool hasFrame();

    /// True once an oversized frame has been announced.
    bool rejected() const { return m_rejected; }

    /// Bytes held and not yet returned as frames.
    std::size_t buffered() const { return m_buffer.size() - m_readPos; }

private:
    void compact();
    bool checkHeader();

    std::string m_buffer;
    std::size_t m_readPos = 0;
    bool m_rejected = false;
};

} // namespace parlana
