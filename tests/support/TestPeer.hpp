#pragma once

#include "net/TlsStream.hpp"
#include "protocol/frame.hpp"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlana::test {

using Millis = std::chrono::milliseconds;

/// Picks a loopback TCP port that nothing listens on right now.
unsigned short freePort();

/// A raw loopback TCP client that speaks the wire format, for driving the
/// real server. Every wait is bounded.
class TestPeer {
public:
    TestPeer() = default;
    ~TestPeer();
    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;

    /// Connects to 127.0.0.1:port (or host:port), with a small kernel receive buffer when
    /// `receiveBuffer` is non-zero; false when refused.
    bool connect(unsigned short port, int receiveBuffer = 0, const char* host = "127.0.0.1");
    /// Speaks TLS from here on, once its handshake is done; false when it
    /// failed or took longer than `timeout`.
    bool startTls(Millis timeout = Millis(5000));
    /// The fingerprint of the server's key, once TLS is on.
    std::string serverFingerprint() const { return m_tls ? m_tls->peerFingerprint() : std::string(); }
    /// Sends the real client's join sequence: the UID packet, then an empty packet.
    void join(const std::string& uid);
    /// Sends raw bytes; false when the connection refused them.
    bool sendRaw(const std::string& bytes);
    /// Sends one packet holding `text`.
    bool sendText(const std::string& text) { return sendRaw(parlana::encodeFrame(text)); }
    /// Next packet's string, or nothing when none arrived in time or the
    /// connection closed.
    std::optional<std::string> next(Millis timeout = Millis(5000));
    /// Skips roster packets; returns the next chat line.
    std::optional<std::string> nextChat(Millis timeout = Millis(5000));
    /// Waits until the connection has been closed by the server.
    bool closedWithin(Millis timeout);
    /// Closes abruptly: a reset instead of an orderly close.
    void reset();
    /// Stops sending (half close), still able to read.
    void shutdownWrite();
    void close();
    int fd() const { return m_fd; }
    /// The most recent roster text received.
    const std::string& lastRoster() const { return m_roster; }

private:
    bool fill(Millis timeout);
    bool fillTls(Millis timeout);
    bool sendTls(const std::string& bytes);
    /// Waits for what the stream waits on; false when it failed or time ran out.
    bool await(parlana::TlsStatus status, Millis timeout) const;

    int m_fd = -1;
    unsigned short m_port = 0;
    std::unique_ptr<parlana::TlsStream> m_tls;
    bool m_eof = false;
    parlana::FrameReader m_reader;
    std::string m_roster;
};

/// The real server binary, started on a port and options, its console read line by line.
class ServerProcess {
public:
    explicit ServerProcess(const std::string& portArgument, const std::vector<std::string>& options = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    /// Next console line, or nothing when none came in time.
    std::optional<std::string> line(Millis timeout = Millis(5000));
    /// Reads lines until one equals `wanted`; false when it did not come in time.
    bool waitFor(const std::string& wanted, Millis timeout = Millis(8000));
    /// Discards whatever the console has printed so far, so a long run never
    /// blocks the server on a full pipe. Returns the lines discarded.
    std::string drain();
    /// Resident memory in KiB and open descriptors, read from /proc.
    long residentKiB() const;
    int openFds() const;
    /// Waits for the process to end by itself; its exit status, or -1.
    int exitStatus(Millis timeout = Millis(5000));
    bool alive();
    int pid() const { return m_pid; }

private:
    int m_pid = -1;
    int m_out = -1;
    std::string m_pending;
    int m_status = -1;
    bool m_reaped = false;
};

/// Path of the server binary under test.
std::string serverBinary();

} // namespace parlana::test
