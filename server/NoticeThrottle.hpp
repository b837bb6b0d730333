#pragma once

#include "server/Clock.hpp"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace parlana {

/// Lets one kind of console notice about one member through at most once per
/// period, so a member repeating a fault cannot bury the console; the next
/// notice let through says how many were held back.
class NoticeThrottle {
public:
    static constexpr std::chrono::seconds kPeriod{10};

    /// A notice at `now`: the number held back since the last one printed
    /// when this one is to be printed, nothing when it is held back.
    std::optional<std::size_t> pass(TimePoint now);

    /// How the notice let through says that `heldBack` were not: " (xN)",
    /// or nothing when none were held back.
    static std::string heldBackSuffix(std::size_t heldBack);

private:
    std::optional<TimePoint> m_lastPrinted;
    std::size_t m_heldBack = 0;
};

} // namespace parlana
