#include "protocol/line.hpp"

#include <algorithm>

namespace parlana {

std::string linePrefix(const std::string& uid)
{
    return uid + ": ";
}

bool isLineByte(char c)
{
    return c != '\t' && c != '\n' && c != '\r' && c != '\b';
}

bool isOwnLine(std::string_view line, std::string_view prefix)
{
    if (line.substr(0, prefix.size()) != prefix)
        return false;
    const std::string_view typed = line.substr(prefix.size());
    return typed.size() <= kMaxTypedBytes && std::all_of(typed.begin(), typed.end(), isLineByte);
}

} // namespace parlana
