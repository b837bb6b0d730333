#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace parlana {

/// Hands finished chat lines to the connection no faster than the server's
/// default flood control allows with room to spare: at most `kBurst` at
/// once, then `kPerSecond` a second. A typed line goes ahead of the lines of
/// a paste still waiting.
class LinePacer {
public:
    using Clock = std::chrono::steady_clock;
    /// Lines that may go at once: half the server's default burst.
    static constexpr std::size_t kBurst = 10;
    /// Lines a second after the burst: half the server's default rate.
    static constexpr std::size_t kPerSecond = 5;

    /// Queues a paste's lines behind every line waiting; they count as one
    /// paste until the last has gone or the paste is stopped.
    void queuePaste(std::vector<std::string> lines);
    /// Queues a typed line behind the typed lines waiting, ahead of a paste.
    void queueTyped(std::string line);
    /// Drops the lines of the paste that have not gone yet.
    void stopPaste();

    /// Offers the waiting lines, in order, to `send` (which answers whether
    /// it took the line) while the pace allows; a line refused waits for a
    /// later call. Returns how many went.
    template <class Send>
    std::size_t release(Clock::time_point now, Send&& send)
    {
        refill(now);
        std::size_t sent = 0;
        while (!m_lines.empty() && m_allowance >= 1.0 && send(m_lines.front().text)) {
            m_pasteSent += m_lines.front().pasted ? 1 : 0;
            m_lines.pop_front();
            m_allowance -= 1.0;
            ++sent;
        }
        if (m_pasteSent == m_pasteTotal)
            m_pasteSent = m_pasteTotal = 0;
        return sent;
    }

    /// True while lines wait.
    bool waiting() const { return !m_lines.empty(); }
    /// True while a paste's lines wait.
    bool pasting() const { return m_pasteTotal > 0; }
    /// Lines of the paste gone so far, and in all.
    std::size_t pasteSent() const { return m_pasteSent; }
    std::size_t pasteTotal() const { return m_pasteTotal; }

private:
    struct Line {
        std::string text;
        bool pasted;
    };

    void refill(Clock::time_point now);

    std::deque<Line> m_lines;
    double m_allowance = static_cast<double>(kBurst);
    Clock::time_point m_refilled{};
    bool m_started = false;
    std::size_t m_pasteSent = 0;
    std::size_t m_pasteTotal = 0;
};

} // namespace parlana
