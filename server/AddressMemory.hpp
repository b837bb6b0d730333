#pragma once

#include "server/Clock.hpp"
#include "server/NoticeThrottle.hpp"
#include "server/TokenBucket.hpp"

#include <cstddef>
#include <string>
#include <unordered_map>

namespace parlana {

/// What the room remembers of an address from one connection to the next,
/// so that reconnecting neither renews a member's budget nor escapes the
/// limit on joins. An address is forgotten once both its budgets are whole
/// again: it is then no different from one never seen (its last refusal, if
/// any, is minutes old), so only addresses active in the last minutes take
/// memory.
class AddressMemory {
public:
    struct Record {
        /// Joins allowed from the address.
        TokenBucket joins;
        /// The emptiest budget a member from the address left with.
        TokenBucket budget;
        /// Console notices of its refused joins.
        NoticeThrottle refusals;
    };

    /// A new address starts with `joins` and `budget` as given (whole).
    AddressMemory(TokenBucket joins, TokenBucket budget);

    /// The record of `address`, made whole if there is none.
    Record& at(const std::string& address);

    /// The record of `address`; null when there is none.
    const Record* find(const std::string& address) const;

    /// Forgets the addresses no different at `now` from one never seen;
    /// costs nothing until the records have doubled since the last time.
    void forgetFresh(TimePoint now);

private:
    const Record m_fresh;
    std::unordered_map<std::string, Record> m_records;
    std::size_t m_nextSweep;
};

} // namespace parlana
