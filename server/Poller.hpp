#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

namespace parlana {

/// Waits until some of many sockets can be read. The kernel keeps the set
/// from one wait to the next and reports only the sockets that are ready, so
/// a wait costs the same with 2 members or 46 and 64 pending joins.
class Poller {
public:
    Poller();
    ~Poller();
    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;

    /// Watches the socket `handle` for data, a close or an error. False
    /// when the system refuses (no poller, out of memory, the watch limit):
    /// the socket would then never be read.
    bool add(int handle);

    /// Stops watching `handle`; call before the socket is closed.
    void remove(int handle);

    /// Waits until a watched socket is ready or `timeout` has passed (none:
    /// no limit; zero: only looks). False when nothing became ready.
    bool wait(std::optional<std::chrono::milliseconds> timeout);

    /// True when `handle` was ready at the last wait.
    bool isReady(int handle) const;

private:
    int m_epoll;
    std::vector<int> m_readyList;
    /// Whether each handle was in the last wait's ready list, by handle.
    std::vector<bool> m_ready;
};

} // namespace parlana
