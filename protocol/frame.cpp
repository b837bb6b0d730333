#include "protocol/frame.hpp"

#include <SFML/Network/Packet.hpp>

namespace parlana {

namespace {

void putU32(std::string& out, std::uint32_t value)
{
    out.push_back(static_cast<char>((value >> 24) & 0xFF));
    out.push_back(static_cast<char>((value >> 16) & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

std::uint32_t getU32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t{u[0]} << 24) | (std::uint32_t{u[1]} << 16) | (std::uint32_t{u[2]} << 8) | std::uint32_t{u[3]};
}

} // namespace

std::string encodeFrame(const std::string& text)
{
    std::string frame;
    frame.reserve(8 + text.size());
    putU32(frame, static_cast<std::uint32_t>(4 + text.size()));
    putU32(frame, static_cast<std::uint32_t>(text.size()));
    frame += text;
    return frame;
}

std::string encodeEmptyFrame()
{
    return std::string(4, '\0');
}

std::string extractString(const std::string& body)
{
    sf::Packet packet;
    packet.append(body.data(), body.size());
    std::string text;
    packet >> text;
    return text;
}

void FrameReader::append(const char* data, std::size_t size)
{
    if (m_rejected)
        return;
    compact();
    m_buffer.append(data, size);
}

bool FrameReader::checkHeader()
{
    if (buffered() < 4)
        return false;
    if (getU32(m_buffer.data() + m_readPos) > kMaxFrameBytes) {
        m_rejected = true;
        m_buffer.clear();
        m_buffer.shrink_to_fit();
        m_readPos = 0;
        return false;
    }
    return true;
}

bool FrameReader::hasFrame()
{
    if (m_rejected || !checkHeader())
        return false;
    return buffered() - 4 >= getU32(m_buffer.data() + m_readPos);
}

FrameReader::Result FrameReader::next(std::string& body)
{
    if (!hasFrame())
        return m_rejected ? Result::Rejected : Result::NeedMore;
    const std::size_t size = getU32(m_buffer.data() + m_readPos);
    body.assign(m_buffer, m_readPos + 4, size);
    m_readPos += 4 + size;
    if (m_readPos == m_buffer.size()) {
        m_buffer.clear();
        m_readPos = 0;
    }
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
