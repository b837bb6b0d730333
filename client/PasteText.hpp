#pragma once

#include <SFML/System/String.hpp>

#include <cstddef>
#include <string>
#include <vector>

namespace parlana {

/// The lines of pasted text, as UTF-8: tabs become spaces, CR LF and CR
/// break lines like LF, other control characters (and anything that is not
/// a character) are dropped, and empty lines are skipped.
std::vector<std::string> pastedLines(const sf::String& text);

/// `line` cut into pieces of at most `limit` bytes: at the last space that
/// leaves a piece within the limit (the space itself goes), else at the last
/// character boundary within it; empty pieces are skipped.
std::vector<std::string> splitLongLine(const std::string& line, std::size_t limit);

} // namespace parlana
