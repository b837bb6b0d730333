#pragma once

#include "net/TlsStream.hpp"

#include <SFML/Network/TcpSocket.hpp>

#include <cstddef>
#include <memory>

namespace parlana {

class TlsServerContext;

/// An accepted connection that finds out when its peer has vanished without
/// a word (network gone, machine asleep: no close, no reset): the next read
/// then fails within a minute, as for a closed connection, and `vanished`
/// tells the two apart (see detectVanishedPeer). A peer that answers TCP
/// never notices.
///
/// Where the server offers TLS, the connection's first byte tells what it
/// speaks: a TLS handshake record, or the plain protocol, whose first byte
/// (the top of a frame's size) is never that byte for a frame under the size
/// cap. Reads and writes then go through TLS or straight to the socket.
class PeerSocket : public sf::TcpSocket {
public:
    /// What the connection speaks, as far as it has shown.
    enum class Layer { Undecided, Plain, Handshaking, Encrypted };

    ~PeerSocket() override;

    /// Arms the probes and the timeout; call once connected.
    void watchForVanishing();

    /// The system's handle, for the poller.
    int handle() const { return getHandle(); }

    /// Lets the connection open with a TLS handshake; call before any read.
    void offerTls(const TlsServerContext& context);

    /// Moves the opening along: looks at the first byte without taking it,
    /// then runs the handshake if there is one. Done once the connection
    /// speaks the protocol, NotReady while it waits for its peer,
    /// Disconnected or Error when it ended first.
    sf::Socket::Status open();

    /// What the connection has shown it speaks so far.
    Layer layer() const { return m_layer; }

    /// True once the protocol's bytes may be read and written: plain, or
    /// TLS with its handshake done.
    bool opened() const { return m_layer == Layer::Plain || m_layer == Layer::Encrypted; }

    /// True when the handshake waits until the socket can take more bytes.
    bool waitsToWrite() const { return m_waitsToWrite; }

    /// True when received bytes wait inside TLS, which the poller does not
    /// see: the next read has them.
    bool hasBufferedInput() const { return m_tls && m_tls->hasBufferedInput(); }

    /// Reads the bytes that have come, as sf::TcpSocket::receive does.
    sf::Socket::Status receiveBytes(char* data, std::size_t size, std::size_t& received);

    /// True when the last read failed because the peer had vanished, not
    /// because it closed or reset the connection.
    bool vanished() const { return m_vanished; }

    /// Hands bytes over, as sf::TcpSocket::send does; when none were taken,
    /// the next call offers the same bytes first.
    sf::Socket::Status sendBytes(const char* data, std::size_t size, std::size_t& sent);

private:
    sf::Socket::Status lookAtFirstByte();
    sf::Socket::Status handshake();

    const TlsServerContext* m_tlsContext = nullptr;
    std::unique_ptr<TlsStream> m_tls;
    Layer m_layer = Layer::Plain;
    bool m_waitsToWrite = false;
    bool m_vanished = false;
};

} // namespace parlana
