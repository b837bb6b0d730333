#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlana {

/// Judges mentions: "@", a UID taken literally, at most one punctuation
/// character, then white space or the end of the text; case-sensitive, and
/// punctuation and white space as the C locale classifies them.
///
/// The roster is indexed once (by a hash of each UID); a text is then judged
/// at every "@" against the UIDs of each distinct length. Judging a text costs
/// its length times the number of distinct UID lengths in the roster (at most
/// 10 for valid UIDs), however many UIDs the roster holds, and no pattern is
/// ever compiled.
class MentionMatcher {
public:
    /// An empty roster, and a hash base of its own.
    MentionMatcher();

    /// Indexes the roster's UIDs (as bytes), replacing the roster before.
    void setRoster(std::vector<std::string> uids);
    /// Positions in the roster, ascending, of every UID that `text` mentions.
    std::vector<std::size_t> mentioned(const std::string& text) const;

private:
    std::vector<std::uint64_t> prefixHashes(const std::string& text) const;
    std::uint64_t hashOf(const std::vector<std::uint64_t>& prefix, std::size_t from, std::size_t length) const;

    std::vector<std::string> m_uids;
    // Roster positions by the hash of their UID; equal hashes are checked
    // byte by byte, so a collision costs time, never a wrong verdict.
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_byHash;
    // Distinct UID lengths, ascending.
    std::vector<std::size_t> m_lengths;
    // Powers of m_base modulo the hash prime, up to the longest UID.
    std::vector<std::uint64_t> m_powers;
    std::uint64_t m_base;
};

} // namespace parlana
