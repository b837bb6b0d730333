#include "client/widgets/MentionMatcher.hpp"

#include <regex>

namespace parlana {

namespace {

// UIDs are chosen freely by users: taken as pattern syntax, one could make
// every client's search backtrack for ever or fail to compile.
std::string escapeForPattern(const std::string& text)
{
    static const std::string kSpecial = "^$\\.*+?()[]{}|/";
    std::string escaped;
    escaped.reserve(text.size() * 2);
    for (const char c : text) {
        if (kSpecial.find(c) != std::string::npos) {
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

MentionMatcher::MentionMatcher() : m_patterns(std::make_unique<Patterns>()) {}
MentionMatcher::~MentionMatcher() = default;
MentionMatcher::MentionMatcher(MentionMatcher&&) noexcept = default;
MentionMatcher& MentionMatcher::operator=(MentionMatcher&&) noexcept = default;

std::size_t MentionMatcher::idFor(const std::string& uid)
{
    const auto known = m_ids.find(uid);
    if (known != m_ids.end()) {
        return known->second;
    }
    const std::size_t id = m_needles.size();
    m_ids.emplace(uid, id);
    m_needles.push_back("@" + uid);
    try {
        m_patterns->compiled.emplace_back(mentionPattern(uid), std::regex_constants::ECMAScript);
        m_patterns->valid.push_back(true);
    } catch (const std::regex_error&) {
        // Escaped UIDs always compile; should the library still refuse one,
        // that UID is simply never found.
        m_patterns->compiled.emplace_back();
        m_patterns->valid.push_back(false);
    }
    return id;
}

bool MentionMatcher::mentions(const std::string& text, std::size_t id) const
{
    // Every match holds "@uid" literally; most texts are settled by find alone.
    if (id >= m_needles.size() || !m_patterns->valid[id] || text.find(m_needles[id]) == std::string::npos) {
        return false;
    }
    try {
        return std::regex_search(text, m_patterns->compiled[id], std::regex_constants::match_default);
    } catch (const std::regex_error&) {
        return false;
    }
}

} // namespace parlana
