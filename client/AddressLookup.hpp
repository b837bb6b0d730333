#pragma once

#include <SFML/Network/IpAddress.hpp>

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
    /// Starts finding the address of `name` (a host name or dotted address),
    /// unless that lookup is under way or found an address already: a name
    /// that resolved once is not looked up again, and a slow lookup goes on
    /// across the attempts that gave up waiting for it.
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

    std::string m_name;
    std::shared_ptr<Outcome> m_outcome;
};

} // namespace parlana
