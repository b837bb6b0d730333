#include "net/TlsConnection.hpp"

#include "net/TlsClientContext.hpp"

namespace parlana {

namespace {

// What a step of the stream that moved `transfer` means to the caller: a
// wait is no bytes moved, and an end is the end.
std::optional<std::size_t> moved(TlsStream::Transfer transfer)
{
    switch (transfer.status) {
    case TlsStatus::Done:
        return transfer.bytes;
    case TlsStatus::WantRead:
    case TlsStatus::WantWrite:
        return 0;
    case TlsStatus::Closed:
    case TlsStatus::Failed:
        break;
    }
    return std::nullopt;
}

} // namespace

TlsConnection::TlsConnection(std::unique_ptr<TlsClientContext> context) : m_context(std::move(context)) {}

TlsConnection::~TlsConnection()
{
    close();
}

ConnectProgress TlsConnection::connect(const std::string& address, unsigned short port)
{
    close();
    m_host = address;
    m_port = port;
    return startTls(m_tcp.connect(address, port));
}

ConnectProgress TlsConnection::connecting()
{
    return m_stream ? handshake() : startTls(m_tcp.connecting());
}

ConnectProgress TlsConnection::startTls(ConnectProgress tcp)
{
    if (tcp != ConnectProgress::Done)
        return tcp;
    m_stream = TlsStream::connect(*m_context, m_tcp.descriptor(), m_host, m_port);
    if (!m_stream) {
        close();
        return ConnectProgress::Failed;
    }
    return handshake();
}

ConnectProgress TlsConnection::handshake()
{
    switch (m_stream->handshake()) {
    case TlsStatus::Done:
        return ConnectProgress::Done;
    case TlsStatus::WantRead:
    case TlsStatus::WantWrite:
        return ConnectProgress::Pending;
    case TlsStatus::Closed:
    case TlsStatus::Failed:
        break;
    }
    return ConnectProgress::NotTls;
}

std::optional<std::size_t> TlsConnection::send(const char* data, std::size_t size)
{
    return m_stream ? moved(m_stream->write(data, size)) : std::nullopt;
}

std::optional<std::size_t> TlsConnection::receive(char* data, std::size_t size)
{
    return m_stream ? moved(m_stream->read(data, size)) : std::nullopt;
}

void TlsConnection::close()
{
    if (m_stream) {
        m_stream->close();
        m_stream.reset();
    }
    m_tcp.close();
}

} // namespace parlana
