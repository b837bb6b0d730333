#include "client/widgets/Utf8.hpp"

#include <SFML/System/Utf.hpp>

#include <iterator>

namespace parlana {

namespace {

constexpr std::uint32_t kReplacement = '?';

/// One character, or one bad sequence, and the bytes it takes.
struct Unit {
    std::uint32_t code;
    std::size_t length;
};

/// What a lead byte starts: the continuation bytes it needs, its payload
/// bits, and the range its first continuation byte must lie in (narrower
/// than 80..BF where a wider one would allow an overlong form, a surrogate or
/// a code point past U+10FFFF).
struct Lead {
    std::size_t continuations;
    std::uint32_t bits;
    unsigned low;
    unsigned high;
};

bool readLead(unsigned char byte, Lead& lead)
{
    if (byte >= 0xC2 && byte <= 0xDF) {
        lead = {1, byte & 0x1Fu, 0x80u, 0xBFu};
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        lead = {2, byte & 0x0Fu, byte == 0xE0 ? 0xA0u : 0x80u, byte == 0xED ? 0x9Fu : 0xBFu};
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        lead = {3, byte & 0x07u, byte == 0xF0 ? 0x90u : 0x80u, byte == 0xF4 ? 0x8Fu : 0xBFu};
    } else {
        return false;
    }
    return true;
}

Unit readUnit(std::string_view bytes, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (byte(at) < 0x80) {
        return {byte(at), 1};
    }
    Lead lead{};
    if (!readLead(byte(at), lead)) {
        return {kReplacement, 1};
    }
    std::uint32_t code = lead.bits;
    unsigned low = lead.low;
    unsigned high = lead.high;
    for (std::size_t length = 1; length <= lead.continuations; ++length) {
        if (at + length >= bytes.size() || byte(at + length) < low || byte(at + length) > high) {
            return {kReplacement, length};
        }
        code = (code << 6) | (byte(at + length) & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {code, lead.continuations + 1};
}

} // namespace

sf::String decodeUtf8(std::string_view bytes)
{
    std::basic_string<sf::Uint32> codes;
    codes.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const Unit unit = readUnit(bytes, at);
        codes.push_back(unit.code);
        at += unit.length;
    }
    return sf::String(codes);
}

std::size_t characterEnd(std::string_view bytes, std::size_t count)
{
    std::size_t at = 0;
    for (; count > 0 && at < bytes.size(); --count) {
        at += readUnit(bytes, at).length;
    }
    return at;
}

std::size_t lastCharacterStart(std::string_view bytes)
{
    // Read from the front: only there do the boundaries of bad sequences
    // stand where decodeUtf8 puts them.
    std::size_t last = 0;
    for (std::size_t at = 0; at < bytes.size(); at += readUnit(bytes, at).length) {
        last = at;
    }
    return last;
}

bool isScalarValue(std::uint32_t code)
{
    return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

std::string encodeUtf8(std::uint32_t code)
{
    std::string bytes;
    sf::Utf8::encode(code, std::back_inserter(bytes));
    return bytes;
}

std::string encodeUtf8(const sf::String& text)
{
    std::string bytes;
    sf::Utf32::toUtf8(text.begin(), text.end(), std::back_inserter(bytes));
    return bytes;
}

} // namespace parlana
