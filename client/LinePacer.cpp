#include "client/LinePacer.hpp"

#include <algorithm>

namespace parlana {

void LinePacer::queuePaste(std::vector<std::string> lines)
{
    for (std::string& line : lines)
        m_lines.push_back({std::move(line), true});
    m_pasteTotal += lines.size();
}

void LinePacer::queueTyped(std::string line)
{
    const auto firstPasted =
        std::find_if(m_lines.begin(), m_lines.end(), [](const Line& waiting) { return waiting.pasted; });
    m_lines.insert(firstPasted, {std::move(line), false});
}

void LinePacer::stopPaste()
{
    m_lines.erase(std::remove_if(m_lines.begin(), m_lines.end(), [](const Line& waiting) { return waiting.pasted; }),
                  m_lines.end());
    m_pasteSent = m_pasteTotal = 0;
}

void LinePacer::refill(Clock::time_point now)
{
    if (m_started && now > m_refilled) {
        const double seconds = std::chrono::duration<double>(now - m_refilled).count();
        m_allowance = std::min(static_cast<double>(kBurst), m_allowance + seconds * static_cast<double>(kPerSecond));
    }
    m_started = true;
    m_refilled = std::max(m_refilled, now);
}

} // namespace parlana
