#pragma once

#include <SFML/System/String.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlana {

// Chat text is UTF-8 by convention, and nothing enforces it: a server relays
// any byte. So every reading here takes any bytes. A sequence that is not
// well-formed UTF-8 reads as one "?" per maximal subpart (the longest start
// of a well-formed sequence found there, else a single byte), so a bad byte
// never swallows the good characters after it and every "?" is one glyph.
// Below, such a sequence counts as one character, as it draws as one.

/// The characters `bytes` draw as.
sf::String decodeUtf8(std::string_view bytes);

/// Offset of the first byte after the first `count` characters of `bytes`
/// (its size when it holds fewer).
std::size_t characterEnd(std::string_view bytes, std::size_t count);

/// Offset where the last character of `bytes` starts (0 when empty).
std::size_t lastCharacterStart(std::string_view bytes);

/// True for a Unicode scalar value: at most U+10FFFF and not a surrogate.
bool isScalarValue(std::uint32_t code);

/// The UTF-8 bytes of `code`, a scalar value.
std::string encodeUtf8(std::uint32_t code);

/// The UTF-8 bytes of `text`.
std::string encodeUtf8(const sf::String& text);

} // namespace parlana
