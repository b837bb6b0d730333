#pragma once

#include <algorithm>
#include <chrono>

namespace parlana {

/// How long the client waits before each new attempt to reach the server:
/// 1 s after the first failure, then twice as long each time, never more
/// than 15 s, until an attempt is admitted.
class RejoinSchedule {
public:
    static constexpr std::chrono::seconds kFirstDelay{1};
    static constexpr std::chrono::seconds kLongestDelay{15};

    /// The wait before the next attempt; each call doubles the one after.
    std::chrono::seconds next()
    {
        const std::chrono::seconds delay = m_delay;
        m_delay = std::min(m_delay * 2, kLongestDelay);
        return delay;
    }

    /// The server took us back: a later loss starts again from 1 s.
    void reset() { m_delay = kFirstDelay; }

private:
    std::chrono::seconds m_delay = kFirstDelay;
};

} // namespace parlana
