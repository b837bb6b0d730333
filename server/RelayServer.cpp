#include "server/RelayServer.hpp"

#include <algorithm>
#include <optional>
#include <thread>

namespace parlana {

namespace {

// A connection with this much unparsed input is not read again until its
// packets have been handled; it bounds each connection's input buffer.
constexpr std::size_t kMaxBufferedInput = 2 * kMaxFrameBytes;

// With flood control on, a member is gone before its input reaches the bound
// above, so it is read for as long as it sends and its flooding is seen.
static_assert(Session::kMaxWaitingInput < kMaxBufferedInput);

constexpr std::chrono::milliseconds kNoWait{0};

// Hands bytes to a non-blocking socket: the count it took, possibly none, or
// nothing when the connection has failed.
class SocketWriter {
public:
    explicit SocketWriter(PeerSocket& socket) : m_socket(socket) {}

    std::optional<std::size_t> operator()(const char* data, std::size_t size) const
    {
        std::size_t sent = 0;
        const sf::Socket::Status status = m_socket.sendBytes(data, size, sent);
        if (status == sf::Socket::Disconnected || status == sf::Socket::Error)
            return std::nullopt;
        return sent;
    }

private:
    PeerSocket& m_socket;
};

} // namespace

RelayServer::RelayServer(std::ostream& log, RoomRules rules) : m_log(log), m_room(log, rules)
{
    server.setBlocking(false);
}

bool RelayServer::listen(unsigned short port)
{
    m_listening = server.listenOnEveryAddress(port) == sf::Socket::Done && sock_selector.add(server.handle());
    return m_listening;
}

void RelayServer::offerTls(std::unique_ptr<TlsServerContext> context, bool required)
{
    m_tls = std::move(context);
    m_tlsRequired = required;
}

void RelayServer::run()
{
    for (;;)
        pass();
}

void RelayServer::pass()
{
    // Newcomers are taken first, so none waits in the backlog behind a busy
    // room; taking one costs no wait, as its join is read only once it is
    // there. Joins, relays and writes then all happen in the same pass.
    const bool ready = gatherWhenBusy() || sock_selector.wait(nextWait());
    m_now = Clock::now();
    if (ready && m_listening && sock_selector.isReady(server.handle()))
        acceptNewcomers();
    servePending();
    serveClients();
    flushClients();
}

bool RelayServer::gatherWhenBusy()
{
    // Something already waits as the last pass ends: the room is busy. A
    // moment's wait lets more lines in, so each member is sent them in fewer,
    // fuller writes; each write costs the kernel far more than its bytes do.
    // A quiet room never waits here, so its lines go out at once.
    if (!sock_selector.wait(kNoWait))
        return false;
    std::this_thread::sleep_for(kBusyGather);
    return sock_selector.wait(kNoWait);
}

std::optional<std::chrono::milliseconds> RelayServer::nextWait() const
{
    if (m_room.broadcasting())
        return kNoWait;
    // The first instant at which a packet may be taken from a member, a
    // write owed may be tried again, or a newcomer runs out of time; a member
    // held back by its budget is not looked at again before its next packet
    // is due.
    const TimePoint now = Clock::now();
    TimePoint due = m_pending.empty() ? TimePoint::max() : m_pending.front().deadline;
    // Bytes held inside TLS are read without the poller's word.
    for (const Newcomer& newcomer : m_pending) {
        if (newcomer.socket->hasBufferedInput())
            return kNoWait;
        if (newcomer.socket->waitsToWrite())
            due = std::min(due, now + kFlushRetry);
    }
    for (const auto& client : m_room.members()) {
        const PeerSocket* const socket = socketOf(*client);
        if (socket && socket->hasBufferedInput() && client->inbox().buffered() < kMaxBufferedInput)
            return kNoWait;
        due = std::min(due, client->readyAt());
        if (client->queued() > 0)
            due = std::min(due, now + kFlushRetry);
    }
    if (due == TimePoint::max())
        return std::nullopt; // no limit
    if (due <= now)
        return kNoWait;
    return std::chrono::ceil<std::chrono::milliseconds>(due - now);
}

void RelayServer::acceptNewcomers()
{
    for (int taken = 0; taken < kMaxAcceptsPerPass; ++taken) {
        auto socket = std::make_unique<PeerSocket>();
        if (server.accept(*socket) != sf::Socket::Done)
            return;
        // Closed here, unlogged: it never became anybody.
        std::string address = socket->getRemoteAddress().toString();
        if (m_pending.size() >= kMaxPendingJoins || !m_room.mayAwaitJoin(address, pendingFrom(address), m_now) ||
            !sock_selector.add(socket->handle()))
            continue;
        socket->setBlocking(false);
        socket->watchForVanishing();
        if (m_tls)
            socket->offerTls(*m_tls);
        auto session = std::make_unique<Session>(std::move(address));
        m_pending.push_back({std::move(socket), std::move(session), m_now + kJoinTimeout});
    }
}

std::size_t RelayServer::pendingFrom(const std::string& address) const
{
    return static_cast<std::size_t>(std::count_if(m_pending.begin(), m_pending.end(), [&](const Newcomer& newcomer) {
        return newcomer.session->address() == address;
    }));
}

void RelayServer::servePending()
{
    // Joins are judged as they complete, so a newcomer that sends its UID at
    // once is admitted while one that pauses is still waited for.
    for (std::size_t i = 0; i < m_pending.size();) {
        if (settleJoin(m_pending[i]))
            m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

bool RelayServer::settleJoin(Newcomer& newcomer)
{
    PeerSocket& socket = *newcomer.socket;
    FrameReader& inbox = newcomer.session->inbox();
    PeerState state = openStep(socket);
    if (refusedAsPlain(newcomer))
        return true;
    if (state == PeerState::Open && socket.opened() && readable(socket) && inbox.buffered() < kMaxBufferedInput)
        state = receiveChunk(socket, inbox);
    if (inbox.next(m_body) == FrameReader::Result::Frame) {
        judgeJoin(newcomer);
        return true;
    }
    if (state == PeerState::Open && !inbox.rejected() && m_now < newcomer.deadline)
        return false;
    sock_selector.remove(newcomer.socket->handle());
    m_room.joinFailed(newcomer.session->address(), m_now);
    return true;
}

RelayServer::PeerState RelayServer::openStep(PeerSocket& socket) const
{
    // The first byte and the handshake come before the join, within its time.
    if (socket.opened() || !(sock_selector.isReady(socket.handle()) || socket.waitsToWrite()))
        return PeerState::Open;
    const sf::Socket::Status status = socket.open();
    return status == sf::Socket::Done || status == sf::Socket::NotReady ? PeerState::Open : PeerState::Closed;
}

bool RelayServer::refusedAsPlain(const Newcomer& newcomer)
{
    if (!m_tlsRequired || newcomer.socket->layer() != PeerSocket::Layer::Plain)
        return false;
    sock_selector.remove(newcomer.socket->handle());
    if (const std::optional<std::size_t> heldBack = m_plainRefusals.pass(m_now))
        m_log << "[!] PLAIN JOIN REFUSED (" << newcomer.session->address() << ") : disconnected"
              << NoticeThrottle::heldBackSuffix(*heldBack) << std::endl;
    return true;
}

void RelayServer::judgeJoin(Newcomer& newcomer)
{
    Room::JoinResult result = m_room.join(std::move(newcomer.session), extractString(m_body), m_now);
    if (result.admitted) {
        m_sockets.emplace(result.admitted, std::move(newcomer.socket));
        return;
    }
    sock_selector.remove(newcomer.socket->handle());
    // One small packet into an empty buffer, then the connection is closed.
    result.refused->flush({}, SocketWriter(*newcomer.socket));
}

void RelayServer::serveClients()
{
    // After a departure the index still moves on: the member that slid into
    // the freed place is served on the next pass, when the selector reports
    // it again or its buffered packets make the next wait a short one.
    const auto& clients = m_room.members();
    for (std::size_t i = 0; i < clients.size(); ++i) {
        Session& client = *clients[i];
        PeerSocket* const socket = socketOf(client);
        const bool canRead = socket && readable(*socket);
        if ((canRead || client.inbox().hasFrame()) && serve(client, socket, canRead) == PeerState::Closed)
            depart(client);
    }
}

bool RelayServer::readable(const PeerSocket& socket) const
{
    return sock_selector.isReady(socket.handle()) || socket.hasBufferedInput();
}

RelayServer::PeerState RelayServer::serve(Session& client, PeerSocket* socket, bool readable)
{
    if (readable && client.inbox().buffered() < kMaxBufferedInput) {
        const PeerState state = receiveChunk(*socket, client.inbox());
        // What a member sent before it closed is still served at its budget,
        // but one whose network vanished is long gone: it leaves at once.
        if (state != PeerState::Open)
            hangUp(client, state == PeerState::Vanished ? m_now : m_now + Room::kCloseDrain);
    }
    if (m_room.serve(client, m_now, kMaxPacketsPerPass) != Room::Intake::Open)
        return PeerState::Closed;
    return PeerState::Open;
}

RelayServer::PeerState RelayServer::receiveChunk(PeerSocket& socket, FrameReader& inbox)
{
    std::size_t received = 0;
    const sf::Socket::Status status = socket.receiveBytes(m_readBuffer.data(), m_readBuffer.size(), received);
    if (status == sf::Socket::Done)
        inbox.append(m_readBuffer.data(), received);
    if (status == sf::Socket::Done || status == sf::Socket::NotReady)
        return PeerState::Open;
    return socket.vanished() ? PeerState::Vanished : PeerState::Closed;
}

void RelayServer::hangUp(Session& client, TimePoint leaveBy)
{
    dropSocket(client);
    m_room.closed(client, leaveBy);
}

void RelayServer::flushClients()
{
    m_gone.clear();
    for (const auto& client : m_room.members()) {
        // A closed connection takes nothing more. One that fails here is
        // left to its next read, which finds it closed.
        PeerSocket* const socket = socketOf(*client);
        if (socket &&
            client->flush(m_room.broadcastFor(*client), SocketWriter(*socket)) == Session::FlushResult::Overflowed)
            m_gone.push_back(client.get());
    }
    m_room.endPass();
    // Their departures put the new roster in the next pass's broadcast.
    for (const Session* client : m_gone)
        depart(*client);
}

void RelayServer::depart(const Session& client)
{
    dropSocket(client);
    m_room.depart(client);
}

void RelayServer::dropSocket(const Session& client)
{
    const auto entry = m_sockets.find(&client);
    if (entry == m_sockets.end())
        return;
    sock_selector.remove(entry->second->handle());
    m_sockets.erase(entry);
}

PeerSocket* RelayServer::socketOf(const Session& client) const
{
    const auto entry = m_sockets.find(&client);
    return entry == m_sockets.end() ? nullptr : entry->second.get();
}

} // namespace parlana
