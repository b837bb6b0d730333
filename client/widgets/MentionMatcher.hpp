#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace parlana {

/// Judges mentions: "@", a UID taken literally, at most one punctuation
/// character, then white space or the end of the text; case-sensitive.
/// Each distinct UID is numbered and its pattern compiled once, on first use.
class MentionMatcher {
public:
    MentionMatcher();
    ~MentionMatcher();
    MentionMatcher(MentionMatcher&&) noexcept;
    MentionMatcher& operator=(MentionMatcher&&) noexcept;

    /// The UID's number, stable for the matcher's lifetime.
    std::size_t idFor(const std::string& uid);
    /// Whether `text` mentions the UID numbered `id`. Never throws.
    bool mentions(const std::string& text, std::size_t id) const;

private:
    struct Patterns;

    std::map<std::string, std::size_t> m_ids;
    std::vector<std::string> m_needles;
    std::unique_ptr<Patterns> m_patterns;
};

} // namespace parlana
