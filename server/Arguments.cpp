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

// Applies one count option to `rules`; false when `name` is no such option
// or `value` is out of its range.
bool applyCount(std::string_view name, unsigned long value, RoomRules& rules)
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

// The setting a path option fills; null when `name` is no path option.
std::string* pathOption(std::string_view name, TlsSettings& tls)
{
    if (name == "--tls-cert")
        return &tls.certificate;
    if (name == "--tls-key")
        return &tls.key;
    if (name == "--tls-dir")
        return &tls.directory;
    return nullptr;
}

// Applies the option at argv[i] and its value, if it takes one; the index of
// the next option, or nothing when the option or its value is not valid.
std::optional<int> applyOption(int i, int argc, const char* const* argv, ServerArguments& arguments)
{
    const std::string_view name = argv[i];
    if (name == "--tls-required") {
        arguments.tls.required = true;
        return i + 1;
    }
    if (i + 1 >= argc)
        return std::nullopt;
    const std::string_view value = argv[i + 1];
    if (std::string* path = pathOption(name, arguments.tls)) {
        // A forgotten path must not swallow the next option.
        if (value.empty() || value.front() == '-')
            return std::nullopt;
        *path = value;
        return i + 2;
    }
    const std::optional<unsigned long> count = parseCount(value);
    if (!count || !applyCount(name, *count, arguments.rules))
        return std::nullopt;
    return i + 2;
}

// Why the TLS options do not make one key source; empty when they do.
std::string tlsMismatch(const TlsSettings& tls)
{
    if (tls.certificate.empty() != tls.key.empty())
        return "--tls-cert and --tls-key go together";
    if (!tls.directory.empty() && !tls.certificate.empty())
        return "--tls-dir or --tls-cert with --tls-key, not both";
    if (tls.required && !tls.enabled())
        return "--tls-required needs --tls-dir or --tls-cert with --tls-key";
    return {};
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
    for (int i = 2; i < argc;) {
        const std::optional<int> next = applyOption(i, argc, argv, arguments);
        if (!next) {
            error = "unknown option or bad value: " + std::string(argv[i]) +
                    (i + 1 < argc ? " " + std::string(argv[i + 1]) : "");
            return std::nullopt;
        }
        i = *next;
    }
    error = tlsMismatch(arguments.tls);
    if (!error.empty())
        return std::nullopt;
    return arguments;
}

} // namespace parlana
