#include "client/widgets/MentionMatcher.hpp"

#include <algorithm>
#include <random>

namespace parlana {

namespace {

// Polynomial hashes modulo the Mersenne prime 2^61 - 1 with a base drawn at
// start-up: a server cannot choose UIDs that collide on purpose, and any
// collision is still caught by comparing the bytes.
constexpr std::uint64_t kPrime = (std::uint64_t{1} << 61) - 1;

__extension__ typedef unsigned __int128 Wide;

std::uint64_t mulMod(std::uint64_t a, std::uint64_t b)
{
    const Wide product = static_cast<Wide>(a) * b;
    const std::uint64_t folded =
        static_cast<std::uint64_t>(product & kPrime) + static_cast<std::uint64_t>(product >> 61);
    return folded >= kPrime ? folded - kPrime : folded;
}

std::uint64_t addMod(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t sum = a + b;
    return sum >= kPrime ? sum - kPrime : sum;
}

std::uint64_t byteValue(char c)
{
    // Never 0, so that strings of NUL bytes of different lengths differ.
    return static_cast<std::uint64_t>(static_cast<unsigned char>(c)) + 1;
}

// The C locale's classes, spelled out so that no locale setting can change
// which UIDs count as mentioned.
bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isPunct(char c)
{
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
}

std::uint64_t drawBase()
{
    static std::mt19937_64 engine(std::random_device{}());
    return std::uniform_int_distribution<std::uint64_t>(256, kPrime - 1)(engine);
}

// Whether a UID that ends just before position `end` of `text` is followed
// as a mention must be: by white space or the end, after at most one
// punctuation character.
bool endsMention(const std::string& text, std::size_t end)
{
    if (end >= text.size() || isSpace(text[end])) {
        return true;
    }
    return isPunct(text[end]) && (end + 1 == text.size() || isSpace(text[end + 1]));
}

} // namespace

MentionMatcher::MentionMatcher() : m_base(drawBase()) {}

void MentionMatcher::setRoster(std::vector<std::string> uids)
{
    m_uids = std::move(uids);
    m_byHash.clear();
    m_lengths.clear();
    std::size_t longest = 0;
    for (const std::string& uid : m_uids) {
        longest = std::max(longest, uid.size());
        m_lengths.push_back(uid.size());
    }
    std::sort(m_lengths.begin(), m_lengths.end());
    m_lengths.erase(std::unique(m_lengths.begin(), m_lengths.end()), m_lengths.end());
    m_powers.assign(1, 1);
    for (std::size_t i = 1; i <= longest; ++i) {
        m_powers.push_back(mulMod(m_powers.back(), m_base));
    }
    for (std::size_t i = 0; i < m_uids.size(); ++i) {
        const std::vector<std::uint64_t> prefix = prefixHashes(m_uids[i]);
        m_byHash[prefix.back()].push_back(i);
    }
}

std::vector<std::size_t> MentionMatcher::mentioned(const std::string& text) const
{
    std::vector<std::size_t> found;
    std::size_t at = text.find('@');
    if (at == std::string::npos || m_uids.empty()) {
        return found;
    }
    const std::vector<std::uint64_t> prefix = prefixHashes(text);
    std::vector<bool> seen(m_uids.size(), false);
    for (; at != std::string::npos; at = text.find('@', at + 1)) {
        const std::size_t from = at + 1;
        for (const std::size_t length : m_lengths) {
            if (from + length > text.size()) {
                break;
            }
            if (!endsMention(text, from + length)) {
                continue;
            }
            const auto bucket = m_byHash.find(hashOf(prefix, from, length));
            if (bucket == m_byHash.end()) {
                continue;
            }
            for (const std::size_t i : bucket->second) {
                if (!seen[i] && m_uids[i].size() == length && text.compare(from, length, m_uids[i]) == 0) {
                    seen[i] = true;
                    found.push_back(i);
                }
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::uint64_t> MentionMatcher::prefixHashes(const std::string& text) const
{
    std::vector<std::uint64_t> prefix(text.size() + 1, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        prefix[i + 1] = addMod(mulMod(prefix[i], m_base), byteValue(text[i]));
    }
    return prefix;
}

std::uint64_t MentionMatcher::hashOf(const std::vector<std::uint64_t>& prefix, std::size_t from,
                                     std::size_t length) const
{
    // prefix[from + length] - prefix[from] * base^length, modulo the prime.
    return addMod(prefix[from + length], kPrime - mulMod(prefix[from], m_powers[length]));
}

} // namespace parlana
