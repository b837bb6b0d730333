#include "server/AddressMemory.hpp"

#include <algorithm>

namespace parlana {

namespace {

// Below this many records a sweep is not worth its walk.
constexpr std::size_t kMinSweep = 64;

} // namespace

AddressMemory::AddressMemory(TokenBucket joins, TokenBucket budget) : m_fresh{joins, budget, {}}, m_nextSweep(kMinSweep)
{}

AddressMemory::Record& AddressMemory::at(const std::string& address)
{
    return m_records.try_emplace(address, m_fresh).first->second;
}

const AddressMemory::Record* AddressMemory::find(const std::string& address) const
{
    const auto record = m_records.find(address);
    return record == m_records.end() ? nullptr : &record->second;
}

void AddressMemory::forgetFresh(TimePoint now)
{
    if (m_records.size() < m_nextSweep)
        return;
    for (auto record = m_records.begin(); record != m_records.end();) {
        const Record& kept = record->second;
        // Notices of its refusals held back are forgotten with it, as a
        // member's are when it leaves: kept for a count that the address may
        // never come back to print, its record would be kept for ever.
        const bool fresh = kept.joins.fullAgain() <= now && kept.budget.fullAgain() <= now;
        record = fresh ? m_records.erase(record) : std::next(record);
    }
    m_nextSweep = std::max(kMinSweep, 2 * m_records.size());
}

} // namespace parlana
