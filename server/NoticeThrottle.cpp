#include "server/NoticeThrottle.hpp"

#include <utility>

namespace parlana {

std::optional<std::size_t> NoticeThrottle::pass(TimePoint now)
{
    if (m_lastPrinted && now < *m_lastPrinted + kPeriod) {
        ++m_heldBack;
        return std::nullopt;
    }
    m_lastPrinted = now;
    return std::exchange(m_heldBack, 0);
}

std::string NoticeThrottle::heldBackSuffix(std::size_t heldBack)
{
    return heldBack > 0 ? " (x" + std::to_string(heldBack) + ")" : std::string();
}

} // namespace parlana
