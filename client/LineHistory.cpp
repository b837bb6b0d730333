#include "client/LineHistory.hpp"

#include <utility>

namespace parlana {

void LineHistory::remember(std::string line)
{
    m_lines.push_back(std::move(line));
    if (m_lines.size() > kKept)
        m_lines.pop_front();
    m_at = m_lines.size();
    m_typing.clear();
}

std::optional<std::string> LineHistory::older(const std::string& typing)
{
    if (m_at == 0)
        return std::nullopt;
    if (m_at == m_lines.size())
        m_typing = typing;
    return m_lines[--m_at];
}

std::optional<std::string> LineHistory::newer()
{
    if (m_at == m_lines.size())
        return std::nullopt;
    return ++m_at == m_lines.size() ? m_typing : m_lines[m_at];
}

} // namespace parlana
