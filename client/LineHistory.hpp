#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace parlana {

/// The last lines sent, for Up and Down to bring back into the typed line.
class LineHistory {
public:
    /// Lines sent that are kept for recall.
    static constexpr std::size_t kKept = 100;

    /// Keeps a line just sent as the newest (the oldest go past `kKept`) and
    /// ends a walk through the lines.
    void remember(std::string line);
    /// Up: the line before the one shown; the first Up keeps `typing`, the
    /// line as it stands, for Down to give back. Nothing at the oldest.
    std::optional<std::string> older(const std::string& typing);
    /// Down: the line after the one shown, or past the newest the line that
    /// was being typed. Nothing when no walk is under way.
    std::optional<std::string> newer();

private:
    std::deque<std::string> m_lines;
    /// The line shown; m_lines.size() when none is.
    std::size_t m_at = 0;
    std::string m_typing;
};

} // namespace parlana
