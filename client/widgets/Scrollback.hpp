#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace parlana {

/// The rows of the message pane's lines and the view over them, without
/// anything to draw. The view either follows the newest rows (live: the last
/// `viewRows` rows) or holds still where the user scrolled it, with its last
/// row given to a mark that counts the lines below. Lines past the capacity
/// are dropped, oldest first. Lines and rows are counted from the oldest
/// line kept.
class Scrollback {
public:
    /// Rows kept from the page before on PageUp and PageDown.
    static constexpr std::size_t kPageContext = 2;

    Scrollback(std::size_t capacity, std::size_t viewRows);

    /// Adds the newest line, of `rows` rows (1 or more); returns how many of
    /// the oldest lines were dropped to keep at most the capacity. A held
    /// view stays on the rows it shows, unless they were dropped: then it
    /// shows the oldest kept rows.
    std::size_t append(std::size_t rows);

    /// Lines kept.
    std::size_t lines() const { return m_firstRows.size(); }
    /// Rows of line `line`.
    std::size_t rowsOf(std::size_t line) const;

    /// True while the view follows the newest rows.
    bool live() const { return !m_heldTop; }
    /// Rows the view shows lines on: every row while live, all but the
    /// mark's row while held.
    std::size_t shownRows() const { return live() ? m_viewRows : m_viewRows - 1; }
    /// The line on the view's top row (0 when there is none).
    std::size_t topLine() const;
    /// Which of its rows the top line shows on the view's top row.
    std::size_t topLineRow() const;
    /// Lines with a row below the view: the mark's count (0 while live).
    std::size_t linesBelow() const;

    /// Moves the view `rows` rows towards the oldest, never past the oldest
    /// row; a view that shows every row already stays live.
    void scrollUp(std::size_t rows);
    /// Moves the view `rows` rows towards the newest; once nothing is left
    /// below, the view is live again.
    void scrollDown(std::size_t rows);
    void pageUp() { scrollUp(page()); }
    void pageDown() { scrollDown(page()); }
    /// The oldest kept line's first row on the top row.
    void toOldest();
    /// Back to the live view.
    void toNewest() { m_heldTop.reset(); }

private:
    std::size_t page() const { return m_viewRows - 1 - kPageContext; }
    /// Rows are numbered from the first row ever added, so that a held view
    /// keeps its number while lines come and go.
    std::uint64_t firstRow() const { return m_firstRows.empty() ? m_endRow : m_firstRows.front(); }
    std::uint64_t liveTop() const;
    std::uint64_t top() const { return m_heldTop ? *m_heldTop : liveTop(); }
    /// The kept line holding row `row`.
    std::size_t lineAt(std::uint64_t row) const;
    /// Ends a hold that has nothing left below it.
    void settle();

    std::size_t m_capacity;
    std::size_t m_viewRows;
    std::deque<std::uint64_t> m_firstRows;
    std::uint64_t m_endRow = 0;
    std::optional<std::uint64_t> m_heldTop;
};

} // namespace parlana
