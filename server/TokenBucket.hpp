#pragma once

#include "server/Clock.hpp"

namespace parlana {

/// A budget of events: `burst` at once, refilled at `rate` per second, never
/// holding more than `burst`. Kept as the instant at which the budget would be
/// whole again, so it costs one comparison per event and never drifts.
class TokenBucket {
public:
    /// A `rate` of 0 is no budget at all: every event is allowed. `burst` is
    /// taken as at least 1.
    TokenBucket(unsigned rate, unsigned burst);

    /// One event every `interval` (zero: every event is allowed), `burst`
    /// (at least 1) at once.
    TokenBucket(Clock::duration interval, unsigned burst);

    /// Spends one token at `now`; false, spending nothing, when none is left.
    bool take(TimePoint now);

    /// The first instant at which `take` succeeds.
    TimePoint nextToken() const;

    /// True when `count` calls of `take` would succeed at `now`.
    bool allows(TimePoint now, unsigned count = 1) const;

    /// The instant from which the budget is whole again; of two budgets with
    /// the same rate and burst, the later one is the emptier.
    TimePoint fullAgain() const { return m_whole; }

    /// True when every event is allowed.
    bool unlimited() const { return m_interval == Clock::duration::zero(); }

private:
    Clock::duration m_interval;  ///< between two refills; zero when unlimited
    Clock::duration m_tolerance; ///< how far ahead of now the budget may be spent
    TimePoint m_whole{};         ///< when the budget is whole again
};

} // namespace parlana
