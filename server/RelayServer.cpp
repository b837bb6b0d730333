#include "server/RelayServer.hpp"

#include <SFML/Network/TcpSocket.hpp>
#include <SFML/System/Clock.hpp>

#include <array>
#include <vector>

namespace parlana {

namespace {

constexpr std::size_t kReadChunk = 16 * 1024;

// A client with this much unparsed input is not read again until its
// packets have been relayed; it bounds each connection's input buffer.
constexpr std::size_t kMaxBufferedInput = kMaxFrameBytes + kReadChunk;

} // namespace

RelayServer::RelayServer(std::ostream& log) : m_room(log)
{
    server.setBlocking(false);
}

bool RelayServer::listen(unsigned short port)
{
    m_listening = server.listen(port, sf::IpAddress::Any) == sf::Socket::Done;
    if (m_listening)
        sock_selector.add(server);
    return m_listening;
}

void RelayServer::run()
{
    for (;;)
        pass();
}

void RelayServer::pass()
{
    const sf::Time wait = nextWait();
    const bool ready = sock_selector.wait(wait);
    // A newcomer is taken before anyone is served: its client has already
    // waited out its pause, and in a busy room serving first would leave it in
    // the backlog behind relay after relay. Ready clients lose nothing: the
    // selector reports them again at the next pass.
    if (ready && m_listening && sock_selector.isReady(server))
        acceptStep();
    else
        serveClients();
    flushClients();
}

sf::Time RelayServer::nextWait()
{
    sf::Time wait = sf::Time::Zero; // no limit
    for (const auto& client : m_room.members()) {
        if (client->inbox().hasFrame())
            return sf::microseconds(1); // relay what is already here
        if (client->queued() > 0)
            wait = sf::microseconds(kFlushRetryMicroseconds);
    }
    return wait;
}

void RelayServer::acceptStep()
{
    auto socket = std::make_unique<sf::TcpSocket>();
    if (server.accept(*socket) != sf::Socket::Done)
        return; // the peer went away before we took it; nothing to keep
    socket->setBlocking(false);
    auto newcomer = std::make_unique<Participant>(std::move(socket));
    std::string uid;
    if (!readJoin(*newcomer, uid)) {
        m_room.joinFailed();
        return;
    }
    Room::JoinResult result = m_room.join(std::move(newcomer), uid);
    if (result.refused)
        result.refused->flush(); // one small packet into an empty buffer; then closed
    else
        sock_selector.add(*result.admitted->socket());
}

bool RelayServer::readJoin(Participant& newcomer, std::string& uid)
{
    sf::SocketSelector one;
    one.add(*newcomer.socket());
    const sf::Clock clock;
    const sf::Time limit = sf::seconds(kJoinTimeoutSeconds);
    std::string body;
    for (;;) {
        switch (newcomer.inbox().next(body)) {
        case FrameReader::Result::Frame:
            uid = extractString(body);
            return true;
        case FrameReader::Result::Rejected:
            return false;
        case FrameReader::Result::NeedMore:
            break;
        }
        const sf::Time left = limit - clock.getElapsedTime();
        if (left <= sf::Time::Zero || !one.wait(left))
            return false;
        if (!receiveChunk(newcomer))
            return false;
    }
}

bool RelayServer::receiveChunk(Participant& client)
{
    std::array<char, kReadChunk> buffer;
    std::size_t received = 0;
    const sf::Socket::Status status = client.socket()->receive(buffer.data(), buffer.size(), received);
    if (status == sf::Socket::Done) {
        client.inbox().append(buffer.data(), received);
        return true;
    }
    return status == sf::Socket::NotReady;
}

void RelayServer::serveClients()
{
    // After a departure the index still moves on: the client that slid into
    // the freed place is served on the next pass, when the selector reports
    // it again or its buffered packets make the next wait a short one.
    const auto& clients = m_room.members();
    for (std::size_t i = 0; i < clients.size(); ++i) {
        Participant& client = *clients[i];
        const bool readable = sock_selector.isReady(*client.socket());
        if ((readable || client.inbox().hasFrame()) && !serve(client, readable))
            depart(client);
    }
}

bool RelayServer::serve(Participant& client, bool readable)
{
    bool open = true;
    if (readable && client.inbox().buffered() < kMaxBufferedInput)
        open = receiveChunk(client);
    // Packets that arrived before a close are still relayed.
    const int budget = open ? kMaxPacketsPerPass : static_cast<int>(kMaxBufferedInput);
    std::string body;
    for (int n = 0; n < budget; ++n) {
        const auto result = client.inbox().next(body);
        if (result == FrameReader::Result::Rejected)
            return false;
        if (result == FrameReader::Result::NeedMore)
            break;
        m_room.relay(body);
    }
    return open;
}

void RelayServer::flushClients()
{
    std::vector<const Participant*> gone;
    for (const auto& client : m_room.members()) {
        if (client->queued() > Participant::kMaxQueuedBytes || client->flush() == Participant::FlushResult::Failed)
            gone.push_back(client.get());
    }
    for (const Participant* client : gone)
        depart(const_cast<Participant&>(*client));
}

void RelayServer::depart(Participant& client)
{
    sock_selector.remove(*client.socket());
    m_room.depart(client);
}

} // namespace parlana
