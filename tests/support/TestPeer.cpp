#include "tests/support/TestPeer.hpp"

#include "net/TlsClientContext.hpp"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <stdexcept>

namespace parlana::test {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

sockaddr_in loopback(unsigned short port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

unsigned short freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string serverBinary()
{
    return PARLANA_SERVER_BIN;
}

TestPeer::~TestPeer()
{
    close();
}

bool TestPeer::connect(unsigned short port, int receiveBuffer, const char* host)
{
    close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address = loopback(port);
    ::inet_pton(AF_INET, host, &address.sin_addr);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close();
        return false;
    }
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_eof = false;
    m_reader = parlana::FrameReader();
    m_port = port;
    return true;
}

bool TestPeer::startTls(Millis timeout)
{
    static const std::unique_ptr<parlana::TlsClientContext> context = [] {
        std::string error;
        return parlana::TlsClientContext::create(error);
    }();
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_tls = context ? parlana::TlsStream::connect(*context, m_fd, "127.0.0.1", m_port) : nullptr;
    const auto deadline = Clock::now() + timeout;
    for (parlana::TlsStatus status; m_tls && (status = m_tls->handshake()) != parlana::TlsStatus::Done;) {
        if (!await(status, Millis(remainingMs(deadline))))
            return false;
    }
    return m_tls != nullptr;
}

bool TestPeer::await(parlana::TlsStatus status, Millis timeout) const
{
    if (status != parlana::TlsStatus::WantRead && status != parlana::TlsStatus::WantWrite)
        return false;
    pollfd waiter{m_fd, static_cast<short>(status == parlana::TlsStatus::WantRead ? POLLIN : POLLOUT), 0};
    return ::poll(&waiter, 1, static_cast<int>(timeout.count())) > 0;
}

void TestPeer::join(const std::string& uid)
{
    sendRaw(parlana::encodeFrame(uid) + parlana::encodeEmptyFrame());
}

bool TestPeer::sendRaw(const std::string& bytes)
{
    if (m_tls)
        return sendTls(bytes);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TestPeer::sendTls(const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const parlana::TlsStream::Transfer sent = m_tls->write(bytes.data() + done, bytes.size() - done);
        done += sent.bytes;
        if (sent.status != parlana::TlsStatus::Done && !await(sent.status, Millis(5000)))
            return false;
    }
    return true;
}

bool TestPeer::fillTls(Millis timeout)
{
    char buffer[65536];
    if (!m_tls->hasBufferedInput() && !await(parlana::TlsStatus::WantRead, timeout))
        return false;
    const parlana::TlsStream::Transfer got = m_tls->read(buffer, sizeof buffer);
    m_eof = got.status == parlana::TlsStatus::Closed || got.status == parlana::TlsStatus::Failed;
    m_reader.append(buffer, got.bytes);
    return !m_eof;
}

bool TestPeer::fill(Millis timeout)
{
    if (m_fd < 0 || m_eof)
        return false;
    if (m_tls)
        return fillTls(timeout);
    pollfd waiter{m_fd, POLLIN, 0};
    if (::poll(&waiter, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    char buffer[65536];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        m_eof = true;
        return false;
    }
    m_reader.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> TestPeer::next(Millis timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::string body;
    while (m_reader.next(body) != parlana::FrameReader::Result::Frame) {
        if (m_reader.rejected() || !fill(Millis(remainingMs(deadline))))
            return std::nullopt;
    }
    std::string text = parlana::extractString(body);
    if (text.rfind("$%$uids$%$", 0) == 0)
        m_roster = text;
    return text;
}

std::optional<std::string> TestPeer::nextChat(Millis timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto text = next(Millis(remainingMs(deadline)));
        if (!text || text->rfind("$%$uids$%$", 0) != 0)
            return text;
    }
}

bool TestPeer::closedWithin(Millis timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!m_eof) {
        if (!fill(Millis(remainingMs(deadline))) && !m_eof)
            return false;
    }
    return true;
}

void TestPeer::reset()
{
    if (m_fd < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close();
}

void TestPeer::shutdownWrite()
{
    ::shutdown(m_fd, SHUT_WR);
}

void TestPeer::close()
{
    m_tls.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

ServerProcess::ServerProcess(const std::string& portArgument, const std::vector<std::string>& options)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const std::string binary = serverBinary();
        std::vector<const char*> argv{binary.c_str(), portArgument.c_str()};
        for (const std::string& option : options)
            argv.push_back(option.c_str());
        argv.push_back(nullptr);
        ::execv(binary.c_str(), const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    m_out = pipeFds[0];
}

ServerProcess::~ServerProcess()
{
    if (!m_reaped && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
}

std::optional<std::string> ServerProcess::line(Millis timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto newline = m_pending.find('\n');
        if (newline != std::string::npos) {
            std::string text = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return text;
        }
        pollfd waiter{m_out, POLLIN, 0};
        if (::poll(&waiter, 1, remainingMs(deadline)) <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n <= 0)
            return std::nullopt;
        m_pending.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string ServerProcess::drain()
{
    std::string lines;
    while (const auto text = line(Millis(0)))
        lines += *text + "\n";
    return lines;
}

long ServerProcess::residentKiB() const
{
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    for (std::string key; status >> key;) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

int ServerProcess::openFds() const
{
    int count = 0;
    const std::string path = "/proc/" + std::to_string(m_pid) + "/fd";
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            count += entry->d_name[0] != '.';
        ::closedir(dir);
    }
    return count;
}

bool ServerProcess::waitFor(const std::string& wanted, Millis timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto text = line(Millis(remainingMs(deadline)));
        if (!text)
            return false;
        if (*text == wanted)
            return true;
    }
}

int ServerProcess::exitStatus(Millis timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!m_reaped) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_reaped = true;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (remainingMs(deadline) == 0)
            return -1;
        ::usleep(10000);
    }
    return m_status;
}

bool ServerProcess::alive()
{
    if (m_reaped)
        return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
        return true;
    m_reaped = true;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

} // namespace parlana::test
