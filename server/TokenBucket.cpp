#include "server/TokenBucket.hpp"

#include <algorithm>

namespace parlana {

TokenBucket::TokenBucket(unsigned rate, unsigned burst)
    : TokenBucket(rate == 0 ? Clock::duration::zero()
                            : std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / rate,
                  burst)
{}

TokenBucket::TokenBucket(Clock::duration interval, unsigned burst)
    : m_interval(interval), m_tolerance(m_interval * (std::max(burst, 1u) - 1))
{}

bool TokenBucket::take(TimePoint now)
{
    if (unlimited())
        return true;
    if (now < nextToken())
        return false;
    m_whole = std::max(m_whole, now) + m_interval;
    return true;
}

bool TokenBucket::allows(TimePoint now, unsigned count) const
{
    return unlimited() || count == 0 || std::max(m_whole, now) + m_interval * (count - 1) - m_tolerance <= now;
}

TimePoint TokenBucket::nextToken() const
{
    return unlimited() ? TimePoint::min() : m_whole - m_tolerance;
}

} // namespace parlana
