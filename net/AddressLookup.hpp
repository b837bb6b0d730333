#pragma once

#include <SFML/Network/IpAddress.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace parlana {

/// Finds the address of a host name on a thread of its own. With a name
/// service that does not answer, a lookup takes seconds, and the window must
/// go on drawing meanwhile.
class AddressLookup {
public:
    /// Turns a name into its address (`sf::IpAddress::None` when it does not
    /// resolve); it may block, and runs on the looking thread.
    using Resolver = std::function<sf::IpAddress(const std::string&)>;

    /// Looks names up with the system's resolver, or with `resolve`.
    explicit AddressLookup(Resolver resolve = {});

    /// Starts finding the address of `name` (a host name or dotted address)
    /// afresh, so that a server that moved is found where it is now; a lookup
    /// of the same name still under way is waited for instead, so a slow one
    /// goes on across the attempts that gave up waiting for it.
    void start(const std::string& name);

    /// The address once the lookup has ended (`sf::IpAddress::None` when the
    /// name did not resolve), nothing while it runs or before any start.
    std::optional<sf::IpAddress> result() const;

private:
    /// Shared with the looking thread, which may outlive this object.
    struct Outcome {
        std::mutex mutex;
        std::optional<sf::IpAddress> address;
    };

    Resolver m_resolve;
    std::string m_name;
    std::shared_ptr<Outcome> m_outcome;
};

} // namespace parlana
