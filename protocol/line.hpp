#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parlana {

/// What both programs hold a chat line to: "UID: " and then the typed text,
/// at most 112 bytes that are neither tab, line feed, carriage return nor
/// backspace. The text is UTF-8 by convention only: the client types and
/// draws it so, the server relays every other byte unchanged.

/// Longest typed text of one chat line, in bytes.
constexpr std::size_t kMaxTypedBytes = 112;

/// The start of every line `uid` sends: the UID, a colon and a space.
std::string linePrefix(const std::string& uid);

/// True for a byte the typed text may hold. The four refused ones would move
/// the text over the rows below it or back over its own start.
bool isLineByte(char c);

/// True when `line` is one its sender may send: `prefix` (the sender's
/// linePrefix), then a typed text within the limit and of line bytes only.
bool isOwnLine(std::string_view line, std::string_view prefix);

} // namespace parlana
