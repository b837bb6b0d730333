#include "client/widgets/Scrollback.hpp"

#include <algorithm>
#include <iterator>

namespace parlana {

Scrollback::Scrollback(std::size_t capacity, std::size_t viewRows)
    : m_capacity(std::max<std::size_t>(capacity, 1)), m_viewRows(std::max<std::size_t>(viewRows, 2))
{}

std::size_t Scrollback::append(std::size_t rows)
{
    m_firstRows.push_back(m_endRow);
    m_endRow += std::max<std::size_t>(rows, 1);
    std::size_t dropped = 0;
    for (; m_firstRows.size() > m_capacity; ++dropped)
        m_firstRows.pop_front();
    if (m_heldTop)
        m_heldTop = std::max(*m_heldTop, firstRow());
    settle();
    return dropped;
}

std::size_t Scrollback::rowsOf(std::size_t line) const
{
    const std::uint64_t end = line + 1 < m_firstRows.size() ? m_firstRows[line + 1] : m_endRow;
    return static_cast<std::size_t>(end - m_firstRows[line]);
}

std::size_t Scrollback::topLine() const
{
    return m_firstRows.empty() ? 0 : lineAt(top());
}

std::size_t Scrollback::topLineRow() const
{
    return m_firstRows.empty() ? 0 : static_cast<std::size_t>(top() - m_firstRows[topLine()]);
}

std::size_t Scrollback::linesBelow() const
{
    if (live())
        return 0;
    // The line on the mark's row, and every line after it.
    return m_firstRows.size() - lineAt(*m_heldTop + shownRows());
}

void Scrollback::scrollUp(std::size_t rows)
{
    const std::uint64_t from = top();
    const std::uint64_t to = from - std::min<std::uint64_t>(rows, from - firstRow());
    if (to < liveTop())
        m_heldTop = to;
}

void Scrollback::scrollDown(std::size_t rows)
{
    if (m_heldTop) {
        *m_heldTop += rows;
        settle();
    }
}

void Scrollback::toOldest()
{
    if (firstRow() < liveTop())
        m_heldTop = firstRow();
}

std::uint64_t Scrollback::liveTop() const
{
    return std::max(firstRow(), m_endRow > m_viewRows ? m_endRow - m_viewRows : 0);
}

std::size_t Scrollback::lineAt(std::uint64_t row) const
{
    const auto after = std::upper_bound(m_firstRows.begin(), m_firstRows.end(), row);
    return after == m_firstRows.begin() ? 0 : static_cast<std::size_t>(std::distance(m_firstRows.begin(), after) - 1);
}

void Scrollback::settle()
{
    if (m_heldTop && *m_heldTop + shownRows() >= m_endRow)
        m_heldTop.reset();
}

} // namespace parlana
