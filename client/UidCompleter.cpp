#include "client/UidCompleter.hpp"

#include <algorithm>
#include <cctype>
#include <utility>

namespace parlana {

namespace {

char folded(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithFolded(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(),
                                                      [](char a, char b) { return folded(a) == folded(b); });
}

bool alphabetical(const std::string& a, const std::string& b)
{
    const auto lower = [](char x, char y) { return folded(x) < folded(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lower))
        return true;
    return !std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lower) && a < b;
}

} // namespace

UidCompleter::UidCompleter(std::string ownUid) : m_own(std::move(ownUid)) {}

void UidCompleter::spoke(const std::string& uid)
{
    const auto known = std::find(m_speakers.begin(), m_speakers.end(), uid);
    if (known != m_speakers.end())
        m_speakers.erase(known);
    m_speakers.push_front(uid);
    if (m_speakers.size() > kSpeakers)
        m_speakers.pop_back();
}

std::optional<std::string> UidCompleter::complete(const std::string& line, const std::vector<std::string>& roster)
{
    if (!m_matches.empty() && line == m_made) {
        m_next = (m_next + 1) % m_matches.size();
        m_made = made();
        return m_made;
    }
    // npos + 1 is 0: a line without a space is one word.
    const std::size_t wordStart = line.rfind(' ') + 1;
    std::string word = line.substr(wordStart);
    m_base = line.substr(0, wordStart);
    const bool mention = !word.empty() && word.front() == '@';
    if (mention) {
        word.erase(0, 1);
        m_base += '@';
    }
    m_suffix = wordStart == 0 && !mention ? ": " : " ";
    m_matches = matches(word, roster);
    m_next = 0;
    if (m_matches.empty()) {
        m_made.clear();
        return std::nullopt;
    }
    m_made = made();
    return m_made;
}

std::vector<std::string> UidCompleter::matches(const std::string& word, const std::vector<std::string>& roster) const
{
    std::vector<std::string> found;
    for (const std::string& uid : roster)
        if (uid != m_own && startsWithFolded(uid, word) && std::find(found.begin(), found.end(), uid) == found.end())
            found.push_back(uid);
    const auto recency = [this](const std::string& uid) {
        return static_cast<std::size_t>(std::find(m_speakers.begin(), m_speakers.end(), uid) - m_speakers.begin());
    };
    std::sort(found.begin(), found.end(), [&](const std::string& a, const std::string& b) {
        const std::size_t ra = recency(a);
        const std::size_t rb = recency(b);
        return ra != rb ? ra < rb : alphabetical(a, b);
    });
    return found;
}

std::string UidCompleter::made() const
{
    return m_base + m_matches[m_next] + m_suffix;
}

} // namespace parlana
