#include "net/AddressLookup.hpp"

#include <arpa/inet.h>

#include <system_error>
#include <thread>
#include <utility>

namespace parlana {

namespace {

/// A dotted address, or nothing to look up at all, is known at once.
bool needsNoLookup(const std::string& name)
{
    in_addr parsed{};
    return name.empty() || ::inet_pton(AF_INET, name.c_str(), &parsed) == 1;
}

} // namespace

AddressLookup::AddressLookup(Resolver resolve) : m_resolve(std::move(resolve))
{
    if (!m_resolve)
        m_resolve = [](const std::string& name) { return sf::IpAddress(name); };
}

void AddressLookup::start(const std::string& name)
{
    if (name == m_name && m_outcome && !result())
        return;
    m_name = name;
    m_outcome = std::make_shared<Outcome>();
    if (needsNoLookup(name)) {
        m_outcome->address = sf::IpAddress(name);
        return;
    }
    const auto find = [outcome = m_outcome, resolve = m_resolve, name] {
        const sf::IpAddress address = resolve(name);
        const std::lock_guard<std::mutex> lock(outcome->mutex);
        outcome->address = address;
    };
    try {
        std::thread(find).detach();
    } catch (const std::system_error&) {
        find(); // no thread to be had: waiting beats never connecting
    }
}

std::optional<sf::IpAddress> AddressLookup::result() const
{
    if (!m_outcome)
        return std::nullopt;
    const std::lock_guard<std::mutex> lock(m_outcome->mutex);
    return m_outcome->address;
}

} // namespace parlana
