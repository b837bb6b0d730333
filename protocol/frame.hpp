#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlana {

/// Largest packet body either program accepts. A real chat packet is at most
/// 132 bytes; anything announcing more than this is hostile or broken and the
/// connection carrying it is dropped before a byte of it is buffered.
constexpr std::size_t kMaxFrameBytes = 64 * 1024;

/// Bytes of a frame header (the body size), and of the length in front of a
/// string in a body: both are 32-bit big-endian.
constexpr std::size_t kFrameHeaderBytes = 4;

/// A size as a frame header or a string length carries it.
std::string encodeSize(std::uint32_t size);

/// The size in the `kFrameHeaderBytes` bytes at `bytes`.
std::uint32_t decodeSize(const char* bytes);

/// The body of a packet holding one string: its length, then its bytes.
std::string encodeBody(const std::string& text);

/// Bytes of one frame on the wire: a 32-bit big-endian body size, then the
/// body. The body of every packet we send holds one string (32-bit big-endian
/// length, then its bytes) or nothing at all.
std::string encodeFrame(const std::string& text);

/// The frame of a packet into which nothing was written (body size 0).
std::string encodeEmptyFrame();

/// Appends the frame of a packet holding `text` to `out`, as `encodeFrame`
/// would make it, without building it apart first.
void appendFrame(std::string& out, std::string_view text);

/// The first string of a packet body, read the way the packet class reads it:
/// a body too short for a length, or whose length runs past its end, gives "".
/// The view points into `body`.
std::string_view bodyString(std::string_view body);

/// `bodyString`, copied.
std::string extractString(const std::string& body);

/// What a byte string holds, frame after frame.
struct DecodedFrames {
    /// The body of every whole frame, in order.
    std::vector<std::string> bodies;
    /// Bytes at the end that do not make a whole frame.
    std::size_t leftover = 0;
    /// True when a header announced more than `kMaxFrameBytes`; nothing after
    /// it is decoded.
    bool rejected = false;
};

/// Splits a byte string into frames the way a receiver does.
DecodedFrames decodeFrames(const std::string& bytes);

/// The string of every whole frame in `bytes`, in order.
std::vector<std::string> decodeTexts(const std::string& bytes);

/// Reassembles frames from a byte stream cut at arbitrary places.
///
/// Bytes go in with `append`; whole bodies come out of `next` in arrival
/// order. Only a frame header announcing more than `kMaxFrameBytes` makes the
/// stream unusable (`rejected`); a partial frame simply waits for more bytes.
/// A header is judged as soon as it is whole and next in line, so asking
/// whether a frame waits changes nothing.
class FrameReader {
public:
    enum class Result { Frame, NeedMore, Rejected };

    /// Adds received bytes. Ignored once the stream has been rejected.
    void append(const char* data, std::size_t size);

    /// Moves the next whole body into `body` and returns Frame, or returns
    /// NeedMore (nothing whole yet) or Rejected (oversized frame announced).
    Result next(std::string& body);

    /// True when a whole frame is waiting, so the caller need not read.
    bool hasFrame() const;

    /// True once an oversized frame has been announced.
    bool rejected() const { return m_rejected; }

    /// Bytes held and not yet returned as frames.
    std::size_t buffered() const { return m_buffer.size() - m_readPos; }

private:
    void compact();
    void checkHeader();

    std::string m_buffer;
    std::size_t m_readPos = 0;
    bool m_rejected = false;
};

} // namespace parlana
