#pragma once

#include <chrono>

namespace parlana {

/// The relay's time. Monotonic, so neither budgets nor deadlines move when the
/// wall clock is set; the socket-free decisions are handed the time rather
/// than reading it, so tests can pass any instant.
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

} // namespace parlana
