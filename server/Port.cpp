#include "server/Port.hpp"

#include <stdexcept>

namespace parlana {

std::optional<unsigned short> parsePort(const std::string& text)
{
    try {
        return static_cast<unsigned short>(std::stoi(text) & 0xFFFF);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    } catch (const std::out_of_range&) {
        return std::nullopt;
    }
}

} // namespace parlana
