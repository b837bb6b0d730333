#include "client/ServerLink.hpp"

#include <array>
#include <utility>

namespace parlana {

namespace {

// A frame takes every packet that has arrived; the input is read until the
// socket has nothing more or this much waits unparsed.
constexpr std::size_t kMaxBufferedInput = 4 * kMaxFrameBytes;
constexpr std::size_t kReadChunk = 16 * 1024;

} // namespace

ServerLink::ServerLink(std::string uid, std::string address, unsigned short port, std::unique_ptr<Transport> transport,
                       ServerTrust trust)
    : m_uid(std::move(uid)), m_address(std::move(address)), m_port(port), m_transport(std::move(transport)),
      m_trust(std::move(trust))
{}

void ServerLink::start(Clock::time_point now, Clock::duration pause)
{
    m_now = now;
    attempt(now);
    m_joinAt = now + pause;
}

void ServerLink::pump(Clock::time_point now)
{
    m_now = now;
    if (m_state == State::Lost && now >= m_nextAttempt)
        attempt(now);
    if (m_state == State::Connecting)
        advanceAttempt(now);
    if (m_state == State::Unverified && !m_peerGone) {
        // Nothing is sent while the user decides; reading tells whether
        // the server has given up meanwhile.
        readAll();
        return;
    }
    if (!joined())
        return;
    if (!m_peerGone)
        flush();
    // Even after a failed send: what the server said before it went, a
    // refusal say, is still there to read.
    readAll();
    if (m_peerGone && !m_reader.hasFrame())
        lose(now);
}

bool ServerLink::takePacket(Packet& packet)
{
    while (joined()) {
        const FrameReader::Result result = m_reader.next(m_body);
        if (result == FrameReader::Result::Rejected) {
            lose(m_now);
            return false;
        }
        if (result == FrameReader::Result::NeedMore) {
            if (m_peerGone)
                lose(m_now);
            return false;
        }
        // Into buffers that outlive the packet: a busy room costs no allocation per line.
        const std::string_view text = bodyString(m_body);
        packet.text.assign(text.data(), text.size());
        packet.kind = classify_packet(packet.text);
        switch (packet.kind) {
        case PacketKind::Roster:
            if (m_state == State::Joining) {
                m_state = State::Admitted;
                m_everAdmitted = true;
                m_schedule.reset();
            }
            return true;
        case PacketKind::UidRefused:
        case PacketKind::ServerFull:
            // A refusal only ever answers a join: once admitted it is a
            // member's line relayed, and it is not shown.
            if (m_state == State::Admitted)
                continue;
            if (m_everAdmitted) {
                lose(m_now);
                return false;
            }
            m_state = State::Refused;
            m_transport->close();
            return true;
        case PacketKind::ChatLine:
            return true;
        }
    }
    return false;
}

bool ServerLink::hasPacket() const
{
    return joined() && m_reader.hasFrame();
}

bool ServerLink::offerLine(const std::string& line)
{
    if (m_state != State::Admitted || queued() > kMaxOutgoingBytes)
        return false;
    enqueue(encodeFrame(line), true);
    if (!m_peerGone)
        flush();
    return true;
}

void ServerLink::close()
{
    m_transport->close();
    m_state = State::NotConnected;
}

bool ServerLink::trustKey(Clock::time_point now, std::string& error)
{
    if (m_state != State::Unverified)
        return true;
    const bool saved = m_trust.trust(m_address, m_port, m_decision.presented, error);
    m_decision.verdict = ServerTrust::Verdict::Accepted;
    if (m_peerGone || now - m_attemptStarted >= kUnjoinedLimit) {
        m_reader = FrameReader();
        attempt(now);
    } else {
        m_secured = true;
        join();
    }
    return saved;
}

void ServerLink::attempt(Clock::time_point now)
{
    m_state = State::Connecting;
    m_attemptStarted = now;
    // Only the first join waits out the pause; a rejoin goes at once.
    m_joinAt = now;
    m_peerGone = false;
    m_established = false;
    m_secured = false;
    progressed(m_transport->connect(m_address, m_port), now);
}

void ServerLink::advanceAttempt(Clock::time_point now)
{
    if (!m_established)
        progressed(m_transport->connecting(), now);
    if (m_state != State::Connecting)
        return;
    if (m_established && now >= m_joinAt)
        join();
    else if (!m_established && now >= m_attemptStarted + kConnectLimit)
        lose(now); // nothing may complete later, unjoined
}

void ServerLink::progressed(Transport::Progress progress, Clock::time_point now)
{
    switch (progress) {
    case Transport::Progress::Pending:
        return;
    case Transport::Progress::Failed:
        lose(now);
        return;
    case Transport::Progress::NotTls:
        if (m_everSecured)
            lose(now);
        else
            untrusted({ServerTrust::Verdict::NotTls, {}, {}});
        return;
    case Transport::Progress::Done:
        m_established = true;
        checkKey();
        return;
    }
}

void ServerLink::checkKey()
{
    const std::optional<PeerKey> key = m_transport->peerKey();
    if (!key)
        return;
    m_everSecured = true;
    m_decision = m_trust.decide(m_address, m_port, *key);
    if (m_decision.verdict == ServerTrust::Verdict::Accepted)
        m_secured = true;
    else if (m_decision.verdict == ServerTrust::Verdict::Unknown)
        m_state = State::Unverified;
    else
        untrusted(m_decision);
}

void ServerLink::untrusted(ServerTrust::Decision decision)
{
    m_transport->close();
    m_decision = std::move(decision);
    m_state = State::Untrusted;
}

void ServerLink::join()
{
    // The UID, then the empty packet the roster answers, ahead of any line
    // kept from a lost connection: those go once admitted.
    enqueue(encodeFrame(m_uid) + encodeEmptyFrame(), false);
    m_state = State::Joining;
}

void ServerLink::lose(Clock::time_point now)
{
    m_transport->close();
    m_reader = FrameReader();
    // Lines not handed over whole are sent again, from their first byte;
    // the join and empty packets are made afresh for the next connection.
    m_frontSent = 0;
    if (!m_outgoing.empty() && !m_outgoing.front().chatLine) {
        m_queuedBytes -= m_outgoing.front().frame.size();
        m_outgoing.pop_front();
    }
    m_peerGone = false;
    m_established = false;
    m_secured = false;
    m_state = State::Lost;
    m_nextAttempt = now + m_schedule.next();
}

void ServerLink::flush()
{
    while (!m_outgoing.empty()) {
        const Outgoing& front = m_outgoing.front();
        // Lines wait for the roster: a refused rejoin would swallow them.
        if (front.chatLine && m_state != State::Admitted)
            return;
        const std::size_t left = front.frame.size() - m_frontSent;
        const std::optional<std::size_t> taken = m_transport->send(front.frame.data() + m_frontSent, left);
        if (!taken) {
            m_peerGone = true;
            return;
        }
        m_frontSent += *taken;
        if (*taken < left)
            return;
        m_queuedBytes -= front.frame.size();
        m_outgoing.pop_front();
        m_frontSent = 0;
    }
}

void ServerLink::readAll()
{
    std::array<char, kReadChunk> chunk;
    while (m_reader.buffered() < kMaxBufferedInput) {
        const std::optional<std::size_t> received = m_transport->receive(chunk.data(), chunk.size());
        if (!received) {
            m_peerGone = true;
            return;
        }
        if (*received == 0)
            return;
        m_reader.append(chunk.data(), *received);
    }
}

void ServerLink::enqueue(std::string frame, bool chatLine)
{
    m_queuedBytes += frame.size();
    if (chatLine)
        m_outgoing.push_back({std::move(frame), true});
    else
        m_outgoing.push_front({std::move(frame), false});
}

} // namespace parlana
