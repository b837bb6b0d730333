// Load generator for the relay server.
//
// One process, one epoll loop, N clients on 127.0.0.1. Every client joins
// like a real one (join packet, then an empty packet), then sends chat lines
// that carry the sender's index, a per-sender sequence number and the send
// time. Every receiver checks that each sender's lines arrive whole, in order
// and without gaps, each one right after a roster packet, and measures the
// end-to-end latency of every line it receives.
//
// Two modes: saturation (each client keeps a window of lines in flight and
// sends a new one whenever one of its own comes back) and fixed rate (a
// total number of lines per second, spread round-robin over the clients).
//
// While the load runs, visitors may come and go beside the clients:
// newcomers that join the way the real client does (the join packet a pause
// after connecting) and leave as soon as they are answered, and silent
// connections that never send a join. One more member may flood: send lines
// as fast as its socket takes them, to see the others served all the same.
//
// With --tls the clients speak TLS (the server must offer it), each through
// its own stream, so the cost of encryption shows beside the plain figures;
// with --joins-at-once they connect and join together instead of one after
// another, and the time until the last is admitted is reported.
//
// Exit status: 0 when every line arrived in order, 1 on an order, protocol or
// set-up error or a lost line, 2 on a usage error.

#include "net/TlsClientContext.hpp"
#include "net/TlsStream.hpp"
#include "protocol/frame.hpp"
#include "protocol/line.hpp"
#include "protocol/tokens.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int kMaxClients = 46;
constexpr double kMaxDurationSeconds = 600.0;
constexpr double kMaxRate = 1'000'000.0;
constexpr int kMaxWindow = 1024;
/// How long one client may take from connecting to seeing itself listed.
constexpr std::int64_t kJoinTimeoutNs = 5'000'000'000;
/// How long the lines still in flight at the end may take to arrive.
constexpr std::int64_t kDrainTimeoutNs = 5'000'000'000;
/// Quiet time before reading the server's memory, so it reads at rest.
constexpr std::int64_t kSettleNs = 300'000'000;
/// Bytes taken from a socket in one read.
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kMaxEvents = 64;
/// Kept so a broken server does not flood the terminal.
constexpr std::size_t kMaxReportedErrors = 5;

std::int64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

void appendDecimal(std::string& out, std::uint64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

/// Parses a decimal number at the front of `text` and drops it from `text`.
bool takeDecimal(std::string_view& text, std::uint64_t& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr == text.data())
        return false;
    text.remove_prefix(static_cast<std::size_t>(result.ptr - text.data()));
    return true;
}

bool takeChar(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

// ---------------------------------------------------------------- options

struct Options {
    int port = 5000;
    int clients = kMaxClients;
    double durationSeconds = 10.0;
    int window = 4;
    double rate = 0.0; ///< lines/s in total; 0 selects saturation
    int textBytes = 0; ///< pad each typed text up to this many bytes
    long serverPid = 0;
    double newcomerEveryMs = 0; ///< 0: no newcomers
    double newcomerPauseMs = 3000;
    double silentEveryMs = 0; ///< 0: no silent connections
    bool flooder = false;
    bool tls = false;
    bool joinsAtOnce = false;
};

void printUsage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: loadgen [--port P] [--clients N] [--duration S] [--window W]\n"
                 "               [--rate R] [--text-bytes B] [--server-pid PID]\n"
                 "               [--newcomer-every MS [--newcomer-pause MS]] [--silent-every MS] [--flooder]\n"
                 "               [--tls] [--joins-at-once]\n"
                 "  --port P        server port on 127.0.0.1 (default 5000)\n"
                 "  --clients N     clients, 1..%d (default %d)\n"
                 "  --duration S    seconds of load, at most %.0f (default 10)\n"
                 "  --window W      saturation: lines in flight per client (default 4)\n"
                 "  --rate R        fixed rate: R lines/s over all clients instead of saturation\n"
                 "  --text-bytes B  pad each typed text to B bytes, at most %zu (default: no padding)\n"
                 "  --server-pid P  report the server's resident memory (VmRSS)\n"
                 "  --newcomer-every MS   during the load, a newcomer every MS ms: it sends its join\n"
                 "                        --newcomer-pause MS after connecting (default 3000, as the\n"
                 "                        real client) and leaves once admitted or refused\n"
                 "  --silent-every MS     during the load, a connection every MS ms that never joins\n"
                 "  --flooder             one more member, flood, joins after the clients and sends lines\n"
                 "                        in its own name as fast as its socket takes them, for the\n"
                 "                        whole load or until the server cuts it off\n"
                 "  --tls                 the clients speak TLS (visitors and the flooder stay plain)\n"
                 "  --joins-at-once       the clients connect and join together, not one after another,\n"
                 "                        and the time until the last is admitted is reported\n",
                 kMaxClients, kMaxClients, kMaxDurationSeconds, parlana::kMaxTypedBytes);
}

bool parseNumber(const char* text, double low, double high, double& value)
{
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(parsed >= low && parsed <= high))
        return false;
    value = parsed;
    return true;
}

bool parseInt(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

/// Applies one "--name value" pair; false when the name or value is bad.
bool applyOption(Options& options, const std::string& name, const char* value)
{
    long number = 0;
    if (name == "--port" && parseInt(value, 1, 65535, number))
        options.port = static_cast<int>(number);
    else if (name == "--clients" && parseInt(value, 1, kMaxClients, number))
        options.clients = static_cast<int>(number);
    else if (name == "--window" && parseInt(value, 1, kMaxWindow, number))
        options.window = static_cast<int>(number);
    else if (name == "--text-bytes" && parseInt(value, 0, parlana::kMaxTypedBytes, number))
        options.textBytes = static_cast<int>(number);
    else if (name == "--server-pid" && parseInt(value, 1, 1L << 30, number))
        options.serverPid = number;
    else if (name == "--duration")
        return parseNumber(value, 0.1, kMaxDurationSeconds, options.durationSeconds);
    else if (name == "--rate")
        return parseNumber(value, 1.0, kMaxRate, options.rate);
    else if (name == "--newcomer-every")
        return parseNumber(value, 1.0, 60'000.0, options.newcomerEveryMs);
    else if (name == "--newcomer-pause")
        return parseNumber(value, 0.0, 60'000.0, options.newcomerPauseMs);
    else if (name == "--silent-every")
        return parseNumber(value, 1.0, 60'000.0, options.silentEveryMs);
    else
        return false;
    return true;
}

std::optional<Options> parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            printUsage(stdout);
            std::exit(0);
        }
        if (name == "--flooder" || name == "--tls" || name == "--joins-at-once") {
            (name == "--flooder" ? options.flooder : name == "--tls" ? options.tls : options.joinsAtOnce) = true;
            continue;
        }
        if (i + 1 >= argc || !applyOption(options, name, argv[i + 1])) {
            std::fprintf(stderr, "loadgen: bad or incomplete option: %s\n", name.c_str());
            return std::nullopt;
        }
        ++i;
    }
    return options;
}

// ------------------------------------------------------------ measurement

/// Log-linear latency histogram: exact below 64 ns, then 64 buckets per power
/// of two (under 1.6 % error), so millions of samples cost a few KiB.
class LatencyHistogram {
public:
    LatencyHistogram() : m_counts(kBuckets, 0) {}

    /// Adds one sample, in nanoseconds.
    void record(std::int64_t ns)
    {
        const auto value = static_cast<std::uint64_t>(std::max<std::int64_t>(ns, 0));
        ++m_counts[bucketOf(value)];
        ++m_samples;
        m_max = std::max(m_max, value);
    }

    /// The value below which `fraction` of the samples lie (bucket midpoint).
    std::uint64_t percentile(double fraction) const
    {
        if (m_samples == 0)
            return 0;
        const auto rank = static_cast<std::uint64_t>(std::ceil(fraction * static_cast<double>(m_samples)));
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < m_counts.size(); ++i) {
            seen += m_counts[i];
            if (seen >= std::max<std::uint64_t>(rank, 1))
                return std::min(midpointOf(i), m_max);
        }
        return m_max;
    }

    std::uint64_t max() const { return m_max; }
    std::uint64_t samples() const { return m_samples; }

private:
    static constexpr unsigned kSubBits = 6;
    static constexpr std::uint64_t kSub = 1u << kSubBits;
    static constexpr std::size_t kBuckets = (64 - kSubBits + 1) * kSub;

    static std::size_t bucketOf(std::uint64_t value)
    {
        if (value < kSub)
            return static_cast<std::size_t>(value);
        const unsigned exponent = 63u - static_cast<unsigned>(__builtin_clzll(value));
        const std::uint64_t sub = (value >> (exponent - kSubBits)) & (kSub - 1);
        return static_cast<std::size_t>((exponent - kSubBits + 1) * kSub + sub);
    }

    static std::uint64_t midpointOf(std::size_t bucket)
    {
        if (bucket < kSub)
            return bucket;
        const std::uint64_t exponent = bucket / kSub + kSubBits - 1;
        const std::uint64_t width = std::uint64_t{1} << (exponent - kSubBits);
        return (kSub + bucket % kSub) * width + width / 2;
    }

    std::vector<std::uint64_t> m_counts;
    std::uint64_t m_samples = 0;
    std::uint64_t m_max = 0;
};

struct Counters {
    std::uint64_t linesSent = 0;
    std::uint64_t deliveries = 0;       ///< every chat packet of ours received
    std::uint64_t windowDeliveries = 0; ///< those received before the load stopped
    std::uint64_t windowRelays = 0;     ///< own lines back to their sender, same window
    std::uint64_t orderErrors = 0;
    std::uint64_t protocolErrors = 0;
};

/// Resident memory of a process in KiB, from /proc; nullopt if unreadable.
std::optional<long> residentKiB(long pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return std::nullopt;
}

/// CPU time used so far, in seconds: by the server (if its PID is known), by
/// this process, and by the whole machine. The difference between the load's
/// two samples shows whether the server, the load generator or some other
/// process was the bottleneck on a shared machine.
struct CpuSample {
    double server = 0;
    double self = 0;
    double machine = 0;

    static CpuSample take(long serverPid)
    {
        const double tick = 1.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
        CpuSample sample;
        if (serverPid != 0)
            sample.server = static_cast<double>(serverTicks(serverPid)) * tick;
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        sample.self = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        sample.machine = static_cast<double>(machineBusyTicks()) * tick;
        return sample;
    }

private:
    /// utime + stime, fields 14 and 15 of /proc/PID/stat (after the command).
    static long long serverTicks(long pid)
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos)
            return 0;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        long long utime = 0;
        long long stime = 0;
        for (int index = 3; fields >> field && index <= 15; ++index) {
            if (index == 14)
                utime = std::atoll(field.c_str());
            if (index == 15)
                stime = std::atoll(field.c_str());
        }
        return utime + stime;
    }

    /// Every non-idle tick of every core, from the first line of /proc/stat.
    static long long machineBusyTicks()
    {
        std::ifstream stat("/proc/stat");
        std::string cpu;
        long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
        stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
        return user + nice + system + irq + softirq + steal;
    }
};

// ---------------------------------------------------------------- sockets

/// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

/// Starts a non-blocking connection to 127.0.0.1:port and waits for it.
UniqueFd connectLoopback(int port, int timeoutMs, std::string& error)
{
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return {};
    }
    // The real client's sockets disable Nagle too; without this every small
    // frame would wait for the previous one's acknowledgement.
    const int one = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        error = std::string("connect: ") + std::strerror(errno);
        return {};
    }
    pollfd waiter{fd.get(), POLLOUT, 0};
    int soError = 0;
    socklen_t length = sizeof soError;
    if (::poll(&waiter, 1, timeoutMs) != 1 || ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soError, &length) != 0 ||
        soError != 0) {
        error = std::string("connect: ") + (soError != 0 ? std::strerror(soError) : "timed out");
        return {};
    }
    return fd;
}

// ------------------------------------------------------------- visitors

/// Connections that come and go while the load runs, apart from the clients:
/// newcomers that send the real client's join a pause after connecting and
/// leave once answered, and silent connections that never send a join. They
/// have their own epoll set, which the load generator's set watches as one
/// descriptor, and their own clock.
class Visitors {
public:
    explicit Visitors(const Options& options)
        : m_port(options.port), m_newcomerEveryNs(static_cast<std::int64_t>(options.newcomerEveryMs * 1e6)),
          m_pauseNs(static_cast<std::int64_t>(options.newcomerPauseMs * 1e6)),
          m_silentEveryNs(static_cast<std::int64_t>(options.silentEveryMs * 1e6)),
          m_epoll(::epoll_create1(EPOLL_CLOEXEC)), m_tick(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
    {}

    bool wanted() const { return m_newcomerEveryNs > 0 || m_silentEveryNs > 0; }

    /// The descriptor that becomes readable when `pump` has work.
    int fd() const { return m_epoll.get(); }

    /// Starts the arrivals; false when the clock could not be set up.
    bool start(std::int64_t now)
    {
        m_nextNewcomer = now;
        m_nextSilent = now;
        itimerspec ticks{};
        ticks.it_interval.tv_nsec = kTickNs;
        ticks.it_value.tv_nsec = kTickNs;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kTickKey;
        return m_epoll.valid() && m_tick.valid() && ::timerfd_settime(m_tick.get(), 0, &ticks, nullptr) == 0 &&
               ::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, m_tick.get(), &event) == 0;
    }

    /// Handles whatever is ready: arrivals due, joins due, answers, closes.
    void pump()
    {
        epoll_event events[kMaxEvents];
        const int ready = ::epoll_wait(m_epoll.get(), events, kMaxEvents, 0);
        const std::int64_t now = nowNs();
        for (int e = 0; e < ready; ++e) {
            if (events[e].data.u64 == kTickKey)
                onTick(now);
            else
                onReadable(events[e].data.u64, now);
        }
    }

    /// No more arrivals; every visitor still there is closed.
    void stop()
    {
        m_tick.reset();
        for (auto& entry : m_visitors)
            ++(entry.second.silent ? m_silentLeftOpen : m_newcomersLeftPending);
        m_visitors.clear();
    }

    void print() const
    {
        if (m_newcomerEveryNs > 0)
            std::printf("newcomers       %llu (one every %.0f ms, join %.0f ms after connecting): %llu admitted, "
                        "%llu refused as full, %llu refused by UID, %llu closed unanswered, %llu still pending\n",
                        ull(m_newcomers), static_cast<double>(m_newcomerEveryNs) / 1e6,
                        static_cast<double>(m_pauseNs) / 1e6, ull(m_admitted), ull(m_refusedFull), ull(m_refusedUid),
                        ull(m_newcomersClosed), ull(m_newcomersLeftPending));
        if (m_silentEveryNs > 0)
            std::printf("silent          %llu (one every %.0f ms): closed by the server %llu within 1 s, %llu after "
                        "4.5 s or more, %llu in between; %llu still open at the end\n",
                        ull(m_silent), static_cast<double>(m_silentEveryNs) / 1e6, ull(m_silentClosedAtOnce),
                        ull(m_silentClosedAtLimit), ull(m_silentClosedOther), ull(m_silentLeftOpen));
        if (m_connectFailures > 0)
            std::printf("visitors        %llu connections failed\n", ull(m_connectFailures));
    }

private:
    static constexpr long kTickNs = 5'000'000;
    static constexpr std::uint64_t kTickKey = ~std::uint64_t{0};
    static constexpr std::int64_t kAtOnceNs = 1'000'000'000;
    static constexpr std::int64_t kAtLimitNs = 4'500'000'000;

    struct Visitor {
        UniqueFd fd;
        bool silent = false;
        std::int64_t openedAt = 0;
        std::int64_t joinAt = 0; ///< newcomers: when the join goes out; 0 once sent
        std::string uid;
        parlana::FrameReader in;
    };

    static unsigned long long ull(std::uint64_t n) { return static_cast<unsigned long long>(n); }

    void onTick(std::int64_t now)
    {
        std::uint64_t expirations = 0;
        if (!m_tick.valid() || ::read(m_tick.get(), &expirations, sizeof expirations) != sizeof expirations)
            return;
        for (; m_newcomerEveryNs > 0 && m_nextNewcomer <= now; m_nextNewcomer += m_newcomerEveryNs)
            open(false, now);
        for (; m_silentEveryNs > 0 && m_nextSilent <= now; m_nextSilent += m_silentEveryNs)
            open(true, now);
        for (auto& entry : m_visitors) {
            Visitor& visitor = entry.second;
            if (visitor.silent || visitor.joinAt == 0 || visitor.joinAt > now)
                continue;
            const std::string join = parlana::encodeFrame(visitor.uid) + parlana::encodeEmptyFrame();
            (void)::send(visitor.fd.get(), join.data(), join.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            visitor.joinAt = 0;
        }
    }

    void open(bool silent, std::int64_t now)
    {
        std::string error;
        Visitor visitor;
        visitor.fd = connectLoopback(m_port, 1000, error);
        if (!visitor.fd.valid()) {
            ++m_connectFailures;
            return;
        }
        const std::uint64_t key = m_nextKey++;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = key;
        if (::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, visitor.fd.get(), &event) != 0) {
            ++m_connectFailures;
            return;
        }
        visitor.silent = silent;
        visitor.openedAt = now;
        if (!silent) {
            visitor.joinAt = now + std::max<std::int64_t>(m_pauseNs, 1);
            visitor.uid = "nc" + std::to_string(m_newcomers % 10'000'000);
        }
        ++(silent ? m_silent : m_newcomers);
        m_visitors.emplace(key, std::move(visitor));
    }

    void onReadable(std::uint64_t key, std::int64_t now)
    {
        const auto found = m_visitors.find(key);
        if (found == m_visitors.end())
            return;
        Visitor& visitor = found->second;
        char buffer[4096];
        const ssize_t got = ::recv(visitor.fd.get(), buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got <= 0) {
            closedByServer(visitor, now);
            m_visitors.erase(found);
            return;
        }
        visitor.in.append(buffer, static_cast<std::size_t>(got));
        std::string body;
        while (visitor.in.next(body) == parlana::FrameReader::Result::Frame) {
            const std::string text = parlana::extractString(body);
            const bool listed = parlana::beginsWith(text, parlana::kRosterToken) &&
                                text.find("," + visitor.uid + ",") != std::string::npos;
            if (listed || text == parlana::kLimitToken || text == parlana::kUidErrorToken) {
                ++(listed ? m_admitted : text == parlana::kLimitToken ? m_refusedFull : m_refusedUid);
                m_visitors.erase(found); // answered: it leaves
                return;
            }
        }
    }

    void closedByServer(const Visitor& visitor, std::int64_t now)
    {
        if (!visitor.silent) {
            ++m_newcomersClosed;
            return;
        }
        const std::int64_t lived = now - visitor.openedAt;
        ++(lived < kAtOnceNs     ? m_silentClosedAtOnce
           : lived >= kAtLimitNs ? m_silentClosedAtLimit
                                 : m_silentClosedOther);
    }

    int m_port;
    std::int64_t m_newcomerEveryNs;
    std::int64_t m_pauseNs;
    std::int64_t m_silentEveryNs;
    UniqueFd m_epoll;
    UniqueFd m_tick;
    std::int64_t m_nextNewcomer = 0;
    std::int64_t m_nextSilent = 0;
    std::uint64_t m_nextKey = 0;
    std::map<std::uint64_t, Visitor> m_visitors;
    std::uint64_t m_newcomers = 0, m_admitted = 0, m_refusedFull = 0, m_refusedUid = 0, m_newcomersClosed = 0,
                  m_newcomersLeftPending = 0;
    std::uint64_t m_silent = 0, m_silentClosedAtOnce = 0, m_silentClosedAtLimit = 0, m_silentClosedOther = 0,
                  m_silentLeftOpen = 0;
    std::uint64_t m_connectFailures = 0;
};

// ------------------------------------------------------------- the flooder

/// One more member, "flood", that joins like a real client after the others,
/// then sends lines in its own name as fast as its socket takes them, for the
/// whole load or until the server cuts it off. It reads and discards what it
/// is sent, so its own reading never holds it back. Every line has the same
/// size, so the bytes it has sent count its lines. Like the visitors it has
/// its own epoll set, watched by the load generator's as one descriptor.
class Flooder {
public:
    static constexpr const char* kUid = "flood";

    explicit Flooder(int port) : m_port(port), m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {}

    /// Connects and joins, waiting (at most 5 s) for a roster listing it.
    bool join(std::string& error)
    {
        m_socket = connectLoopback(m_port, 5000, error);
        if (!m_socket.valid())
            return false;
        const std::string join = parlana::encodeFrame(kUid) + parlana::encodeEmptyFrame();
        if (::send(m_socket.get(), join.data(), join.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(join.size())) {
            error = "flooder: join not sent";
            return false;
        }
        const std::int64_t deadline = nowNs() + kJoinTimeoutNs;
        while (!m_admitted) {
            pollfd waiter{m_socket.get(), POLLIN, 0};
            if (nowNs() > deadline || ::poll(&waiter, 1, 100) < 0 || (waiter.revents != 0 && !receive())) {
                error = "flooder: not admitted";
                return false;
            }
        }
        return true;
    }

    /// The descriptor that becomes readable when `pump` has work.
    int fd() const { return m_epoll.get(); }

    /// Starts the flood; false when its socket could not be watched.
    bool start(std::int64_t now)
    {
        m_startedAt = now;
        epoll_event event{};
        event.events = EPOLLIN | EPOLLOUT;
        return ::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, m_socket.get(), &event) == 0;
    }

    /// Sends what its socket takes and reads what it is sent.
    void pump(std::int64_t now)
    {
        epoll_event event{};
        if (::epoll_wait(m_epoll.get(), &event, 1, 0) != 1 || m_closedAt != 0)
            return;
        if ((event.events & (EPOLLIN | EPOLLERR | EPOLLHUP)) && !receive())
            closed(now);
        if (m_closedAt == 0 && m_flooding && (event.events & EPOLLOUT) && !send())
            closed(now);
    }

    /// The load is over: no more lines.
    void stop()
    {
        m_flooding = false;
        epoll_event event{};
        event.events = EPOLLIN;
        if (m_closedAt == 0)
            ::epoll_ctl(m_epoll.get(), EPOLL_CTL_MOD, m_socket.get(), &event);
    }

    /// True for a line of the flooder's.
    static bool owns(std::string_view text) { return text.rfind(kPrefix, 0) == 0; }

    void print(std::uint64_t fewestSeen, std::uint64_t mostSeen) const
    {
        std::printf("flooder         %llu lines sent (%llu bytes); ", ull(m_bytesSent / kLineBytes), ull(m_bytesSent));
        if (m_closedAt != 0)
            std::printf("cut off by the server %.1f ms after its first line; ",
                        static_cast<double>(m_closedAt - m_startedAt) / 1e6);
        else
            std::printf("never cut off; ");
        std::printf("%llu to %llu of its lines reached each member\n", ull(fewestSeen), ull(mostSeen));
    }

private:
    static constexpr const char* kPrefix = "flood: ";
    /// Frame header, string length, "flood: " and ten digits.
    static constexpr std::size_t kLineBytes = 8 + 7 + 10;
    static constexpr std::size_t kLinesPerRefill = 2048;

    static unsigned long long ull(std::uint64_t n) { return static_cast<unsigned long long>(n); }

    // False when the server closed the connection or it failed.
    bool receive()
    {
        char buffer[kReadChunk];
        const ssize_t got = ::recv(m_socket.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0)
            return errno == EAGAIN || errno == EINTR;
        if (got == 0)
            return false;
        m_in.append(buffer, static_cast<std::size_t>(got));
        std::string body;
        while (m_in.next(body) == parlana::FrameReader::Result::Frame)
            m_admitted = m_admitted || parlana::extractString(body).find(",flood,") != std::string::npos;
        return true;
    }

    // False when the server closed the connection or it failed.
    bool send()
    {
        if (m_outPosition == m_out.size()) {
            m_out.clear();
            m_outPosition = 0;
            char line[32];
            for (std::size_t i = 0; i < kLinesPerRefill; ++i) {
                std::snprintf(line, sizeof line, "%s%010llu", kPrefix, ull(m_linesQueued++));
                m_out += parlana::encodeFrame(line);
            }
        }
        const ssize_t sent = ::send(m_socket.get(), m_out.data() + m_outPosition, m_out.size() - m_outPosition,
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EINTR;
        m_outPosition += static_cast<std::size_t>(sent);
        m_bytesSent += static_cast<std::uint64_t>(sent);
        return true;
    }

    void closed(std::int64_t now)
    {
        m_closedAt = now;
        ::epoll_ctl(m_epoll.get(), EPOLL_CTL_DEL, m_socket.get(), nullptr);
    }

    int m_port;
    UniqueFd m_epoll;
    UniqueFd m_socket;
    parlana::FrameReader m_in;
    bool m_admitted = false;
    bool m_flooding = true;
    std::string m_out;
    std::size_t m_outPosition = 0;
    std::uint64_t m_linesQueued = 0;
    std::uint64_t m_bytesSent = 0;
    std::int64_t m_startedAt = 0;
    std::int64_t m_closedAt = 0;
};

// ------------------------------------------------------------ the clients

struct Client {
    UniqueFd fd;
    std::unique_ptr<parlana::TlsStream> tls;
    std::string uid;
    parlana::FrameReader in;
    std::string out;
    std::size_t outPosition = 0;
    bool watchingWrites = false;
    bool admitted = false;
    std::int64_t admittedAt = 0;
    bool lastWasRoster = false;
    std::uint64_t sent = 0; ///< next sequence number to send
};

/// What one chat line of ours carries.
struct LineStamp {
    std::uint64_t sender = 0;
    std::uint64_t sequence = 0;
    std::int64_t sentAt = 0;
};

enum class Phase { Joining, Loading, Draining, Stopped };

class LoadGenerator {
public:
    explicit LoadGenerator(const Options& options);

    /// Joins every client, runs the load, reports; returns the exit status.
    int run();

private:
    bool joinAll();
    bool joinAllAtOnce();
    bool connectClient(std::size_t index);
    bool join(std::size_t index);
    void settle();
    void startLoad();
    void loadAndDrain();
    void pump(int timeoutMs);

    void onReadable(std::size_t receiver);
    void onReadableTls(std::size_t receiver);
    void flushTls(std::size_t index);
    void onTimer();
    void parseFrames(std::size_t receiver, std::int64_t receivedAt);
    void handleBody(std::size_t receiver, const char* body, std::uint32_t size, std::int64_t receivedAt);
    void handleRoster(Client& client, std::string_view text);
    void handleChat(std::size_t receiver, std::string_view text, std::int64_t receivedAt);
    bool parseLine(std::string_view text, LineStamp& stamp) const;

    void queueLine(std::size_t sender);
    void flush(std::size_t index);
    void watchWrites(std::size_t index, bool on);

    void fail(const std::string& message);
    void protocolError(const std::string& message, bool framingLost);
    std::uint64_t expectedDeliveries() const;
    /// The epoll key of the visitors' set: two past the clients.
    std::size_t visitorsKey() const { return m_count + 1; }
    /// The epoll key of the flooder's set: three past the clients.
    std::size_t flooderKey() const { return m_count + 2; }
    bool clean() const;
    void printReport() const;
    void printLoad() const;
    void printMemory() const;
    void printLatency() const;
    void printJoins() const;
    void printCpu() const;

    Options m_options;
    std::size_t m_count;
    std::unique_ptr<parlana::TlsClientContext> m_tls;
    std::int64_t m_joinsStart = 0;
    Visitors m_visitors;
    std::optional<Flooder> m_flooder;
    std::vector<std::uint64_t> m_floodLinesSeen; ///< per client
    std::vector<Client> m_clients;
    std::vector<char> m_readBuffer = std::vector<char>(kReadChunk);
    std::string m_body;                        ///< the frame being handled, its capacity kept
    std::vector<std::uint64_t> m_nextExpected; ///< [receiver * count + sender]
    UniqueFd m_epoll;
    UniqueFd m_timer;
    Phase m_phase = Phase::Joining;
    bool m_failed = false;
    std::size_t m_nextRateSender = 0;
    std::int64_t m_loadStart = 0;
    std::int64_t m_loadEnd = 0;
    std::int64_t m_loadStopped = 0; ///< earlier than m_loadEnd if the run failed
    CpuSample m_cpuAtStart;
    CpuSample m_cpuAtStop;
    std::uint64_t m_lostLines = 0;
    Counters m_counters;
    LatencyHistogram m_latency;
    std::optional<long> m_rssBaseline;
    std::optional<long> m_rssJoined;
    std::optional<long> m_rssAfter;
};

LoadGenerator::LoadGenerator(const Options& options)
    : m_options(options), m_count(static_cast<std::size_t>(options.clients)), m_visitors(options),
      m_floodLinesSeen(m_count, 0), m_clients(m_count), m_nextExpected(m_count * m_count, 0),
      m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    if (options.flooder)
        m_flooder.emplace(options.port);
    std::string error;
    if (options.tls && !(m_tls = parlana::TlsClientContext::create(error)))
        fail(error);
    for (std::size_t i = 0; i < m_count; ++i)
        m_clients[i].uid = "lg" + std::to_string(i);
}

int LoadGenerator::run()
{
    if (m_failed)
        return 1;
    if (!m_epoll.valid()) {
        std::fprintf(stderr, "loadgen: epoll_create1: %s\n", std::strerror(errno));
        return 1;
    }
    if (m_options.serverPid != 0)
        m_rssBaseline = residentKiB(m_options.serverPid);
    if (m_options.joinsAtOnce ? joinAllAtOnce() : joinAll()) {
        settle();
        if (m_options.serverPid != 0)
            m_rssJoined = residentKiB(m_options.serverPid);
        loadAndDrain();
        settle();
        if (m_options.serverPid != 0)
            m_rssAfter = residentKiB(m_options.serverPid);
    }
    printReport();
    return clean() ? 0 : 1;
}

// Clients join one at a time, each waiting for a roster that lists it before
// the next one connects, so the roster's order is the clients' order.
bool LoadGenerator::joinAll()
{
    for (std::size_t i = 0; i < m_count && !m_failed; ++i) {
        if (!join(i))
            return false;
    }
    std::string error;
    if (m_flooder && !m_failed && !m_flooder->join(error))
        fail(error);
    return !m_failed;
}

// Every client connects and sends its join before any is admitted; the
// roster's order is then the order in which the server admitted them.
bool LoadGenerator::joinAllAtOnce()
{
    m_joinsStart = nowNs();
    for (std::size_t i = 0; i < m_count && !m_failed; ++i)
        connectClient(i);
    const std::int64_t deadline = m_joinsStart + kJoinTimeoutNs;
    const auto everyone = [&] {
        return std::all_of(m_clients.begin(), m_clients.end(), [](const Client& c) { return c.admitted; });
    };
    while (!m_failed && !everyone()) {
        const std::int64_t left = deadline - nowNs();
        if (left <= 0) {
            fail("not every client was admitted within 5 s");
            return false;
        }
        pump(static_cast<int>(left / 1'000'000) + 1);
    }
    std::string error;
    if (m_flooder && !m_failed && !m_flooder->join(error))
        fail(error);
    return !m_failed;
}

// Connects, and sends the join (over TLS, the handshake goes first).
bool LoadGenerator::connectClient(std::size_t index)
{
    Client& client = m_clients[index];
    std::string error;
    client.fd = connectLoopback(m_options.port, static_cast<int>(kJoinTimeoutNs / 1'000'000), error);
    if (!client.fd.valid()) {
        fail(client.uid + ": " + error);
        return false;
    }
    if (m_tls && !(client.tls = parlana::TlsStream::connect(*m_tls, client.fd.get(), "127.0.0.1",
                                                            static_cast<unsigned short>(m_options.port)))) {
        fail(client.uid + ": no TLS stream");
        return false;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = index;
    if (::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, client.fd.get(), &event) != 0) {
        fail(std::string("epoll_ctl: ") + std::strerror(errno));
        return false;
    }
    client.out = parlana::encodeFrame(client.uid) + parlana::encodeEmptyFrame();
    flush(index);
    return !m_failed;
}

bool LoadGenerator::join(std::size_t index)
{
    Client& client = m_clients[index];
    if (!connectClient(index))
        return false;
    const std::int64_t deadline = nowNs() + kJoinTimeoutNs;
    while (!client.admitted && !m_failed) {
        const std::int64_t left = deadline - nowNs();
        if (left <= 0) {
            fail(client.uid + ": no roster listing it within 5 s of connecting");
            return false;
        }
        pump(static_cast<int>(left / 1'000'000) + 1);
    }
    return !m_failed;
}

/// Serves whatever still arrives for a short quiet time.
void LoadGenerator::settle()
{
    const std::int64_t until = nowNs() + kSettleNs;
    for (std::int64_t left = kSettleNs; left > 0 && !m_failed; left = until - nowNs())
        pump(static_cast<int>(left / 1'000'000) + 1);
}

void LoadGenerator::startLoad()
{
    m_phase = Phase::Loading;
    m_loadStart = nowNs();
    m_cpuAtStart = CpuSample::take(m_options.serverPid);
    m_loadEnd = m_loadStart + static_cast<std::int64_t>(m_options.durationSeconds * 1e9);
    if (m_visitors.wanted()) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = visitorsKey();
        if (!m_visitors.start(m_loadStart) || ::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, m_visitors.fd(), &event) != 0)
            fail(std::string("visitors: ") + std::strerror(errno));
    }
    if (m_flooder) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = flooderKey();
        if (!m_flooder->start(m_loadStart) || ::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, m_flooder->fd(), &event) != 0)
            fail(std::string("flooder: ") + std::strerror(errno));
    }
    if (m_options.rate > 0) {
        m_timer = UniqueFd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
        const auto periodNs = static_cast<std::int64_t>(1e9 / m_options.rate);
        itimerspec ticks{};
        ticks.it_interval.tv_sec = periodNs / 1'000'000'000;
        ticks.it_interval.tv_nsec = periodNs % 1'000'000'000;
        ticks.it_value = ticks.it_interval;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = m_count; // one past the clients
        if (!m_timer.valid() || ::timerfd_settime(m_timer.get(), 0, &ticks, nullptr) != 0 ||
            ::epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, m_timer.get(), &event) != 0) {
            fail(std::string("timer: ") + std::strerror(errno));
        }
        return;
    }
    for (std::size_t i = 0; i < m_count; ++i) {
        for (int w = 0; w < m_options.window; ++w)
            queueLine(i);
        flush(i);
    }
}

void LoadGenerator::loadAndDrain()
{
    startLoad();
    while (!m_failed && m_phase == Phase::Loading) {
        const std::int64_t left = m_loadEnd - nowNs();
        if (left <= 0)
            m_phase = Phase::Draining;
        else
            pump(static_cast<int>(std::min<std::int64_t>(left / 1'000'000 + 1, 100)));
    }
    m_loadStopped = std::min(nowNs(), m_loadEnd);
    m_cpuAtStop = CpuSample::take(m_options.serverPid);
    m_timer.reset();
    m_visitors.stop();
    if (m_flooder)
        m_flooder->stop();
    const std::int64_t drainDeadline = nowNs() + kDrainTimeoutNs;
    while (!m_failed && m_counters.deliveries < expectedDeliveries()) {
        const std::int64_t left = drainDeadline - nowNs();
        if (left <= 0)
            break;
        pump(static_cast<int>(std::min<std::int64_t>(left / 1'000'000 + 1, 100)));
    }
    if (!m_failed && m_counters.deliveries < expectedDeliveries())
        m_lostLines = expectedDeliveries() - m_counters.deliveries;
    m_phase = Phase::Stopped;
}

std::uint64_t LoadGenerator::expectedDeliveries() const
{
    return m_counters.linesSent * m_count;
}

void LoadGenerator::pump(int timeoutMs)
{
    epoll_event events[kMaxEvents];
    const int ready = ::epoll_wait(m_epoll.get(), events, kMaxEvents, timeoutMs);
    if (ready < 0 && errno != EINTR)
        fail(std::string("epoll_wait: ") + std::strerror(errno));
    for (int e = 0; e < ready && !m_failed; ++e) {
        const std::size_t index = events[e].data.u64;
        if (index == m_count) {
            onTimer();
            continue;
        }
        if (index == visitorsKey()) {
            m_visitors.pump();
            continue;
        }
        if (index == flooderKey()) {
            m_flooder->pump(nowNs());
            continue;
        }
        if (events[e].events & (EPOLLIN | EPOLLERR | EPOLLHUP))
            onReadable(index);
        if (!m_failed && (events[e].events & EPOLLOUT))
            flush(index);
    }
}

// ------------------------------------------------------------- receiving

void LoadGenerator::onReadable(std::size_t receiver)
{
    Client& client = m_clients[receiver];
    if (client.tls) {
        onReadableTls(receiver);
        return;
    }
    const ssize_t got = ::recv(client.fd.get(), m_readBuffer.data(), m_readBuffer.size(), 0);
    if (got == 0) {
        fail(client.uid + ": the server closed the connection");
        return;
    }
    if (got < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            fail(client.uid + ": recv: " + std::strerror(errno));
        return;
    }
    client.in.append(m_readBuffer.data(), static_cast<std::size_t>(got));
    const std::size_t queuedBefore = client.out.size();
    parseFrames(receiver, nowNs());
    if (!m_failed && client.out.size() != queuedBefore)
        flush(receiver);
}

// Everything the stream has is taken: what it holds inside is no event.
// Writes held by the handshake go out once it has moved on.
void LoadGenerator::onReadableTls(std::size_t receiver)
{
    Client& client = m_clients[receiver];
    for (;;) {
        const parlana::TlsStream::Transfer got = client.tls->read(m_readBuffer.data(), m_readBuffer.size());
        if (got.status == parlana::TlsStatus::Closed || got.status == parlana::TlsStatus::Failed) {
            fail(client.uid +
                 (got.status == parlana::TlsStatus::Closed ? ": the server closed the connection" : ": TLS failed"));
            return;
        }
        client.in.append(m_readBuffer.data(), got.bytes);
        if (got.bytes == 0 || !client.tls->hasBufferedInput())
            break;
    }
    parseFrames(receiver, nowNs());
    if (!m_failed && client.outPosition < client.out.size())
        flush(receiver);
}

// TCP cuts the stream anywhere: whole frames are handled, and a partial one
// waits in the reader for later reads.
void LoadGenerator::parseFrames(std::size_t receiver, std::int64_t receivedAt)
{
    Client& client = m_clients[receiver];
    while (!m_failed) {
        switch (client.in.next(m_body)) {
        case parlana::FrameReader::Result::Frame:
            handleBody(receiver, m_body.data(), static_cast<std::uint32_t>(m_body.size()), receivedAt);
            break;
        case parlana::FrameReader::Result::Rejected:
            protocolError(client.uid + ": frame of more than " + std::to_string(parlana::kMaxFrameBytes) +
                              " bytes announced",
                          true);
            return;
        case parlana::FrameReader::Result::NeedMore:
            return;
        }
    }
}

// The server only ever sends packets holding exactly one string, so a body
// whose string length does not fill it means the stream has lost its framing.
void LoadGenerator::handleBody(std::size_t receiver, const char* body, std::uint32_t size, std::int64_t receivedAt)
{
    Client& client = m_clients[receiver];
    const std::size_t header = parlana::kFrameHeaderBytes;
    if (size < header || parlana::decodeSize(body) != size - header) {
        protocolError(client.uid + ": packet of " + std::to_string(size) + " bytes does not hold exactly one string",
                      true);
        return;
    }
    const std::string_view text(body + header, size - header);
    if (text.compare(0, parlana::kRosterToken.size(), parlana::kRosterToken) == 0)
        handleRoster(client, text);
    else if (text == parlana::kLimitToken)
        fail(client.uid + ": refused, the server is full (is another client connected?)");
    else if (text == parlana::kUidErrorToken)
        fail(client.uid + ": refused, UID already in use (is another loadgen running?)");
    else
        handleChat(receiver, text, receivedAt);
}

void LoadGenerator::handleRoster(Client& client, std::string_view text)
{
    client.lastWasRoster = true;
    if (!client.admitted && text.find("," + client.uid + ",") != std::string_view::npos) {
        client.admitted = true;
        client.admittedAt = nowNs();
    }
}

void LoadGenerator::handleChat(std::size_t receiver, std::string_view text, std::int64_t receivedAt)
{
    Client& client = m_clients[receiver];
    if (!client.lastWasRoster)
        protocolError(client.uid + ": chat packet not preceded by a roster packet", false);
    client.lastWasRoster = false;
    if (m_flooder && Flooder::owns(text)) {
        ++m_floodLinesSeen[receiver];
        return;
    }
    LineStamp stamp;
    if (!parseLine(text, stamp) || stamp.sentAt > receivedAt) {
        protocolError(client.uid + ": unexpected chat line \"" + std::string(text.substr(0, 60)) + "\"", false);
        return;
    }
    std::uint64_t& expected = m_nextExpected[receiver * m_count + stamp.sender];
    if (stamp.sequence != expected) {
        ++m_counters.orderErrors;
        if (m_counters.orderErrors <= kMaxReportedErrors) {
            std::fprintf(stderr, "loadgen: order error: %s got line %llu of %s, expected %llu\n", client.uid.c_str(),
                         static_cast<unsigned long long>(stamp.sequence), m_clients[stamp.sender].uid.c_str(),
                         static_cast<unsigned long long>(expected));
        }
    }
    expected = stamp.sequence + 1; // resynchronise so one fault is counted once
    ++m_counters.deliveries;
    m_latency.record(receivedAt - stamp.sentAt);
    const bool inWindow = receivedAt <= m_loadEnd;
    m_counters.windowDeliveries += inWindow ? 1 : 0;
    if (stamp.sender != receiver)
        return;
    m_counters.windowRelays += inWindow ? 1 : 0;
    if (m_phase == Phase::Loading && m_options.rate <= 0)
        queueLine(receiver);
}

/// Reads "UID: index sequence nanoseconds[ padding]" as written by queueLine.
bool LoadGenerator::parseLine(std::string_view text, LineStamp& stamp) const
{
    const std::size_t colon = text.find(": ");
    if (colon == std::string_view::npos)
        return false;
    const std::string_view uid = text.substr(0, colon);
    text.remove_prefix(colon + 2);
    std::uint64_t sentAt = 0;
    if (!takeDecimal(text, stamp.sender) || !takeChar(text, ' ') || !takeDecimal(text, stamp.sequence) ||
        !takeChar(text, ' ') || !takeDecimal(text, sentAt))
        return false;
    if (!text.empty() && text.front() != ' ')
        return false;
    stamp.sentAt = static_cast<std::int64_t>(sentAt);
    return stamp.sender < m_count && uid == m_clients[stamp.sender].uid &&
           stamp.sequence < m_clients[stamp.sender].sent;
}

// --------------------------------------------------------------- sending

void LoadGenerator::onTimer()
{
    std::uint64_t expirations = 0;
    if (::read(m_timer.get(), &expirations, sizeof expirations) != sizeof expirations)
        return;
    if (m_phase != Phase::Loading)
        return;
    // A late wake-up owes every tick it missed, so the offered rate holds.
    std::vector<bool> touched(m_count, false);
    for (std::uint64_t k = 0; k < expirations; ++k) {
        const std::size_t sender = m_nextRateSender;
        m_nextRateSender = (m_nextRateSender + 1) % m_count;
        queueLine(sender);
        touched[sender] = true;
    }
    for (std::size_t i = 0; i < m_count && !m_failed; ++i) {
        if (touched[i])
            flush(i);
    }
}

/// Appends one framed chat line to the sender's output, stamped now.
void LoadGenerator::queueLine(std::size_t sender)
{
    Client& client = m_clients[sender];
    std::string& out = client.out;
    const std::size_t frameStart = out.size();
    out.append(8, '\0'); // body size and string length, filled in below
    out += client.uid;
    out += ": ";
    const std::size_t textStart = out.size();
    appendDecimal(out, sender);
    out += ' ';
    appendDecimal(out, client.sent);
    out += ' ';
    appendDecimal(out, static_cast<std::uint64_t>(nowNs()));
    const std::size_t textLength = out.size() - textStart;
    const auto wanted = static_cast<std::size_t>(m_options.textBytes);
    if (wanted > textLength + 1) {
        out += ' ';
        out.append(wanted - textLength - 1, 'x');
    }
    const auto lineLength = static_cast<std::uint32_t>(out.size() - frameStart - 8);
    out.replace(frameStart, 8, parlana::encodeSize(4 + lineLength) + parlana::encodeSize(lineLength));
    ++client.sent;
    ++m_counters.linesSent;
}

// What the kernel does not take now stays queued and goes out when the
// socket reports it is writable again.
void LoadGenerator::flush(std::size_t index)
{
    Client& client = m_clients[index];
    if (client.tls) {
        flushTls(index);
        return;
    }
    while (client.outPosition < client.out.size()) {
        const ssize_t sent = ::send(client.fd.get(), client.out.data() + client.outPosition,
                                    client.out.size() - client.outPosition, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                watchWrites(index, true);
                return;
            }
            if (errno == EINTR)
                continue;
            fail(client.uid + ": send: " + std::strerror(errno));
            return;
        }
        client.outPosition += static_cast<std::size_t>(sent);
    }
    client.out.clear();
    client.outPosition = 0;
    watchWrites(index, false);
}

// A write the stream could not take is offered again from the same place;
// one that waits on the handshake's reading goes out from onReadableTls.
void LoadGenerator::flushTls(std::size_t index)
{
    Client& client = m_clients[index];
    while (client.outPosition < client.out.size()) {
        const parlana::TlsStream::Transfer sent =
            client.tls->write(client.out.data() + client.outPosition, client.out.size() - client.outPosition);
        client.outPosition += sent.bytes;
        if (sent.status == parlana::TlsStatus::WantRead || sent.status == parlana::TlsStatus::WantWrite) {
            watchWrites(index, sent.status == parlana::TlsStatus::WantWrite);
            return;
        }
        if (sent.status != parlana::TlsStatus::Done) {
            fail(client.uid + ": TLS write failed");
            return;
        }
    }
    client.out.clear();
    client.outPosition = 0;
    watchWrites(index, false);
}

void LoadGenerator::watchWrites(std::size_t index, bool on)
{
    Client& client = m_clients[index];
    if (client.watchingWrites == on)
        return;
    epoll_event event{};
    event.events = EPOLLIN | (on ? EPOLLOUT : 0u);
    event.data.u64 = index;
    if (::epoll_ctl(m_epoll.get(), EPOLL_CTL_MOD, client.fd.get(), &event) != 0)
        fail(std::string("epoll_ctl: ") + std::strerror(errno));
    client.watchingWrites = on;
}

// -------------------------------------------------------------- reporting

void LoadGenerator::fail(const std::string& message)
{
    if (!m_failed)
        std::fprintf(stderr, "loadgen: %s\n", message.c_str());
    m_failed = true;
}

void LoadGenerator::protocolError(const std::string& message, bool framingLost)
{
    ++m_counters.protocolErrors;
    if (m_counters.protocolErrors <= kMaxReportedErrors)
        std::fprintf(stderr, "loadgen: protocol error: %s\n", message.c_str());
    // Without framing nothing further on the stream can be trusted.
    if (framingLost)
        m_failed = true;
}

void LoadGenerator::printLatency() const
{
    std::printf("latency         p50 %.1f us, p99 %.1f us, max %.1f us (%llu samples, at every receiver)\n",
                static_cast<double>(m_latency.percentile(0.50)) / 1e3,
                static_cast<double>(m_latency.percentile(0.99)) / 1e3, static_cast<double>(m_latency.max()) / 1e3,
                static_cast<unsigned long long>(m_latency.samples()));
}

void LoadGenerator::printMemory() const
{
    if (m_options.serverPid == 0)
        return;
    if (!m_rssBaseline || !m_rssJoined) {
        std::printf("server VmRSS    unreadable for pid %ld\n", m_options.serverPid);
        return;
    }
    const auto perClient = [&](long kib) {
        return static_cast<double>(kib - *m_rssBaseline) / static_cast<double>(m_count);
    };
    std::printf("server VmRSS    %ld KiB before joining, %ld KiB with %zu idle clients (%.1f KiB/client)",
                *m_rssBaseline, *m_rssJoined, m_count, perClient(*m_rssJoined));
    if (m_rssAfter)
        std::printf(", %ld KiB at rest after the load (%.1f KiB/client)", *m_rssAfter, perClient(*m_rssAfter));
    std::printf("\n");
}

void LoadGenerator::printJoins() const
{
    if (m_joinsStart == 0)
        return;
    std::vector<double> ms;
    for (const Client& client : m_clients) {
        if (client.admitted)
            ms.push_back(static_cast<double>(client.admittedAt - m_joinsStart) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    if (ms.empty())
        return;
    std::printf("joins at once   %zu of %zu admitted; after the first connect: first %.1f ms, median %.1f ms, "
                "last %.1f ms\n",
                ms.size(), m_count, ms.front(), ms[ms.size() / 2], ms.back());
}

void LoadGenerator::printReport() const
{
    if (m_options.rate > 0)
        std::printf("mode            fixed rate, %.0f lines/s in total\n", m_options.rate);
    else
        std::printf("mode            saturation, window %d lines per client\n", m_options.window);
    std::printf("clients         %zu on 127.0.0.1:%d%s, text padded to %d bytes\n", m_count, m_options.port,
                m_tls ? " over TLS" : "", m_options.textBytes);
    printJoins();
    if (m_loadStart != 0)
        printLoad();
    m_visitors.print();
    if (m_flooder && m_loadStart != 0)
        m_flooder->print(*std::min_element(m_floodLinesSeen.begin(), m_floodLinesSeen.end()),
                         *std::max_element(m_floodLinesSeen.begin(), m_floodLinesSeen.end()));
    printMemory();
    std::printf("result          %s\n", clean() ? "OK" : "FAILED");
}

void LoadGenerator::printLoad() const
{
    const double seconds = static_cast<double>(m_loadStopped - m_loadStart) / 1e9;
    const auto perSecond = [&](std::uint64_t n) { return seconds > 0 ? static_cast<double>(n) / seconds : 0.0; };
    std::printf("load            %.2f s, %llu lines sent\n", seconds,
                static_cast<unsigned long long>(m_counters.linesSent));
    std::printf("relays/s        %.0f\n", perSecond(m_counters.windowRelays));
    std::printf("deliveries/s    %.0f\n", perSecond(m_counters.windowDeliveries));
    printLatency();
    std::printf("order errors    %llu\n", static_cast<unsigned long long>(m_counters.orderErrors));
    std::printf("protocol errors %llu\n", static_cast<unsigned long long>(m_counters.protocolErrors));
    std::printf("lost lines      %llu\n", static_cast<unsigned long long>(m_lostLines));
    printCpu();
}

void LoadGenerator::printCpu() const
{
    const double seconds = static_cast<double>(m_loadStopped - m_loadStart) / 1e9;
    if (seconds <= 0)
        return;
    const auto percent = [&](double used) { return 100.0 * used / seconds; };
    const double server = m_cpuAtStop.server - m_cpuAtStart.server;
    const double self = m_cpuAtStop.self - m_cpuAtStart.self;
    const double machine = m_cpuAtStop.machine - m_cpuAtStart.machine;
    std::printf("cpu, %% of core ");
    if (m_options.serverPid != 0)
        std::printf("server %.0f, loadgen %.0f, everything else %.0f\n", percent(server), percent(self),
                    percent(std::max(0.0, machine - server - self)));
    else
        std::printf("loadgen %.0f, everything else with the server %.0f\n", percent(self),
                    percent(std::max(0.0, machine - self)));
}

bool LoadGenerator::clean() const
{
    return !m_failed && m_counters.orderErrors == 0 && m_counters.protocolErrors == 0 && m_lostLines == 0;
}

} // namespace

int main(int argc, char** argv)
{
    ::signal(SIGPIPE, SIG_IGN);
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        printUsage(stderr);
        return 2;
    }
    LoadGenerator generator(*options);
    return generator.run();
}
