#include "server/Poller.hpp"

#include <sys/epoll.h>
#include <unistd.h>

#include <array>

namespace parlana {

namespace {

// Ready sockets taken in one wait; any beyond are reported at the next.
constexpr int kMaxEvents = 128;

} // namespace

Poller::Poller() : m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {}

Poller::~Poller()
{
    if (m_epoll >= 0)
        ::close(m_epoll);
}

bool Poller::add(int handle)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = handle;
    return ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, handle, &event) == 0;
}

void Poller::remove(int handle)
{
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, handle, nullptr);
    if (static_cast<std::size_t>(handle) < m_ready.size())
        m_ready[static_cast<std::size_t>(handle)] = false;
}

bool Poller::wait(std::optional<std::chrono::milliseconds> timeout)
{
    for (const int handle : m_readyList)
        m_ready[static_cast<std::size_t>(handle)] = false;
    m_readyList.clear();
    std::array<epoll_event, kMaxEvents> events;
    const int count =
        ::epoll_wait(m_epoll, events.data(), kMaxEvents, timeout ? static_cast<int>(timeout->count()) : -1);
    for (int i = 0; i < count; ++i) {
        const auto handle = static_cast<std::size_t>(events[static_cast<std::size_t>(i)].data.fd);
        if (handle >= m_ready.size())
            m_ready.resize(handle + 1);
        m_ready[handle] = true;
        m_readyList.push_back(events[static_cast<std::size_t>(i)].data.fd);
    }
    return count > 0;
}

bool Poller::isReady(int handle) const
{
    return handle >= 0 && static_cast<std::size_t>(handle) < m_ready.size() &&
           m_ready[static_cast<std::size_t>(handle)];
}

} // namespace parlana
