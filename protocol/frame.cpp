#include "protocol/frame.hpp"

namespace parlana {

namespace {

void putU32(std::string& out, std::uint32_t value)
{
    const char bytes[kFrameHeaderBytes] = {static_cast<char>((value >> 24) & 0xFF),
                                           static_cast<char>((value >> 16) & 0xFF),
                                           static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
    out.append(bytes, sizeof bytes);
}

} // namespace

std::string encodeSize(std::uint32_t size)
{
    std::string bytes;
    putU32(bytes, size);
    return bytes;
}

std::uint32_t decodeSize(const char* bytes)
{
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    return (std::uint32_t{u[0]} << 24) | (std::uint32_t{u[1]} << 16) | (std::uint32_t{u[2]} << 8) | std::uint32_t{u[3]};
}

std::string encodeBody(const std::string& text)
{
    std::string body;
    body.reserve(kFrameHeaderBytes + text.size());
    putU32(body, static_cast<std::uint32_t>(text.size()));
    body += text;
    return body;
}

std::string encodeFrame(const std::string& text)
{
    std::string frame;
    frame.reserve(2 * kFrameHeaderBytes + text.size());
    appendFrame(frame, text);
    return frame;
}

std::string encodeEmptyFrame()
{
    return encodeSize(0);
}

void appendFrame(std::string& out, std::string_view text)
{
    putU32(out, static_cast<std::uint32_t>(kFrameHeaderBytes + text.size()));
    putU32(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

std::string_view bodyString(std::string_view body)
{
    if (body.size() < kFrameHeaderBytes)
        return {};
    const std::uint32_t length = decodeSize(body.data());
    if (length > body.size() - kFrameHeaderBytes)
        return {};
    return body.substr(kFrameHeaderBytes, length);
}

std::string extractString(const std::string& body)
{
    return std::string(bodyString(body));
}

DecodedFrames decodeFrames(const std::string& bytes)
{
    FrameReader reader;
    reader.append(bytes.data(), bytes.size());
    DecodedFrames decoded;
    std::string body;
    while (reader.next(body) == FrameReader::Result::Frame)
        decoded.bodies.push_back(body);
    decoded.rejected = reader.rejected();
    decoded.leftover = reader.buffered();
    return decoded;
}

std::vector<std::string> decodeTexts(const std::string& bytes)
{
    std::vector<std::string> texts;
    for (const std::string& body : decodeFrames(bytes).bodies)
        texts.push_back(extractString(body));
    return texts;
}

void FrameReader::append(const char* data, std::size_t size)
{
    if (m_rejected)
        return;
    compact();
    m_buffer.append(data, size);
    checkHeader();
}

void FrameReader::checkHeader()
{
    if (buffered() < kFrameHeaderBytes || decodeSize(m_buffer.data() + m_readPos) <= kMaxFrameBytes)
        return;
    m_rejected = true;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_readPos = 0;
}

bool FrameReader::hasFrame() const
{
    if (m_rejected || buffered() < kFrameHeaderBytes)
        return false;
    return buffered() - kFrameHeaderBytes >= decodeSize(m_buffer.data() + m_readPos);
}

FrameReader::Result FrameReader::next(std::string& body)
{
    if (!hasFrame())
        return m_rejected ? Result::Rejected : Result::NeedMore;
    const std::size_t size = decodeSize(m_buffer.data() + m_readPos);
    body.assign(m_buffer, m_readPos + kFrameHeaderBytes, size);
    m_readPos += kFrameHeaderBytes + size;
    if (m_readPos == m_buffer.size()) {
        m_buffer.clear();
        m_readPos = 0;
    }
    checkHeader();
    return Result::Frame;
}

void FrameReader::compact()
{
    // Drop consumed bytes before growing, so a long-lived connection holds
    // at most one partial frame plus the latest read.
    if (m_readPos == 0)
        return;
    m_buffer.erase(0, m_readPos);
    m_readPos = 0;
    if (m_buffer.capacity() > 2 * kMaxFrameBytes && m_buffer.size() < kMaxFrameBytes)
        m_buffer.shrink_to_fit();
}

} // namespace parlana
