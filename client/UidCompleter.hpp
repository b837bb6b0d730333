#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace parlana {

/// Tab completion of the UIDs of the roster. The word at the end of the
/// typed line is matched as a case-insensitive prefix: at the start of the
/// line it becomes the UID and ": ", elsewhere the UID and a space (a word
/// starting with "@" keeps it). Tab again, on the line it made, gives the
/// next match: those who spoke most recently first, then the rest in
/// alphabetical order. The client's own UID is never offered.
class UidCompleter {
public:
    /// Speakers remembered for the order of matches; a room holds 46.
    static constexpr std::size_t kSpeakers = 64;

    explicit UidCompleter(std::string ownUid);

    /// `uid` just spoke.
    void spoke(const std::string& uid);
    /// What Tab makes of `line` with `roster` listed; nothing when no UID
    /// matches.
    std::optional<std::string> complete(const std::string& line, const std::vector<std::string>& roster);

private:
    std::vector<std::string> matches(const std::string& word, const std::vector<std::string>& roster) const;
    std::string made() const;

    const std::string m_own;
    /// Most recent first.
    std::deque<std::string> m_speakers;
    // The last completion: the line before its word, the matches in order,
    // the one used, what follows the UID, and the line it made.
    std::string m_base;
    std::vector<std::string> m_matches;
    std::size_t m_next = 0;
    std::string m_suffix;
    std::string m_made;
};

} // namespace parlana
