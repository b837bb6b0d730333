#include "server/Arguments.hpp"

#include <cstddef>
#include <stdexcept>
#include <string_view>

namespace parlana {

namespace {

// Far above any sensible setting, and small enough that no arithmetic on a
// count can overflow.
constexpr unsigned long kMaxCount = 1000000;

// A count as an operator writes it: decimal digits only, so that a stray sign
// or suffix is caught rather than read as something else.
std::optional<unsigned long> parseCount(std::string_view text)
{
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const unsigned long value = std::stoul(std::string(text));
    return value <= kMaxCount ? std::optional<unsigned long>(value) : std::nullopt;
}

// Applies one option to `rules`; false when `name` is no option or `value`
// is out of its range.
bool applyOption(std::string_view name, unsigned long value, RoomRules& rules)
{
    if (name == "--flood-rate")
        rules.floodRate = static_cast<unsigned>(value);
    else if (name == "--flood-burst" && value >= 1)
        rules.floodBurst = static_cast<unsigned>(value);
    else if (name == "--max-per-address")
        rules.maxPerAddress = static_cast<std::size_t>(value);
    else
        return false;
    return true;
}

} // namespace

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

std::optional<ServerArguments> parseArguments(int argc, const char* const* argv, std::string& error)
{
    ServerArguments arguments;
    const std::optional<unsigned short> port = argc > 1 ? parsePort(argv[1]) : std::nullopt;
    if (!port) {
        error = argc > 1 ? "PORT is not a number: " + std::string(argv[1]) : "PORT is missing";
        return std::nullopt;
    }
    arguments.port = *port;
    for (int i = 2; i < argc; i += 2) {
        const std::optional<unsigned long> value = i + 1 < argc ? parseCount(argv[i + 1]) : std::nullopt;
        if (!value || !applyOption(argv[i], *value, arguments.rules)) {
            error = "unknown option or bad count: " + std::string(argv[i]) +
                    (i + 1 < argc ? " " + std::string(argv[i + 1]) : "");
            return std::nullopt;
        }
    }
    return arguments;
}

} // namespace parlana
