#pragma once

#include <optional>
#include <string>

namespace parlana {

/// Reads a port argument as a base-10 int (leading white space and a sign
/// accepted, parsing stopping at the first non-digit) and keeps its low 16
/// bits. Empty when the text holds no number or one outside an int's range.
std::optional<unsigned short> parsePort(const std::string& text);

} // namespace parlana
