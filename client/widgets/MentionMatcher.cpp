#include "client/widgets/MentionMatcher.hpp"

#include <regex>

namespace parlana {

namespace {

// UIDs are chosen freely by users: taken as pattern syntax, one could make
// every client's search backtrack for ever or fail to compile.
std::string escapeForPattern(const std::string& text)
{
    static const std::string special = "^$\\.*+?()[]{}|/";
    std::string escaped;
    escaped.reserve(text.size() * 2);
    for (const char c : text) {
        if (special.find(c) != std::string::npos) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// One white-space character settles a match as surely as a run of them, and
// the library's matcher recurses once per character of a run: "\s+" against
// a line of 64 KiB of spaces overflowed the stack.
std::string mentionPattern(const std::string& uid)
{
    const std::string mention = "@" + escapeForPattern(uid);
    return mention + "[[:punct:]]?\\s|" + mention + "[[:punct:]]?$";
}

} // namespace

struct MentionMatcher::Patterns {
    std::vector<std::regex> compiled;
    std::vector<bool> valid;
};

MentionMatcher::MentionMatcher() : patterns(std::make_unique<Patterns>()) {}
MentionMatcher::~MentionMatcher() = default;
MentionMatcher::MentionMatcher(MentionMatcher&&) noexcept = default;
MentionMatcher& MentionMatcher::operator=(MentionMatcher&&) noexcept = default;

std::size_t MentionMatcher::idFor(const std::string& uid)
{
    const auto known = ids.find(uid);
    if (known != ids.end()) {
        return known->second;
    }
    const std::size_t id = needles.size();
    ids.emplace(uid, id);
    needles.push_back("@" + uid);
    try {
        patterns->compiled.emplace_back(mentionPattern(uid), std::regex_constants::ECMAScript);
        patterns->valid.push_back(true);
    } catch (const std::regex_error&) {
        // Escaped UIDs always compile; should the library still refuse one,
        // that UID is simply never found.
        patterns->compiled.emplace_back();
        patterns->valid.push_back(false);
    }
    return id;
}

bool MentionMatcher::mentions(const std::string& text, std::size_t id) const
{
    // Every match holds "@uid" literally; most texts are settled by find alone.
    if (id >= needles.size() || !patterns->valid[id] || text.find(needles[id]) == std::string::npos) {
        return false;
    }
    try {
        return std::regex_search(text, patterns->compiled[id], std::regex_constants::match_default);
    } catch (const std::regex_error&) {
        return false;
    }
}

} // namespace parlana
