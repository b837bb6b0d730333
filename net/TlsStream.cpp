#include "net/TlsStream.hpp"

#include "net/OpenSsl.hpp"
#include "net/TlsClientContext.hpp"
#include "net/TlsServerContext.hpp"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace parlana {

namespace {

bool isAddress(const std::string& host)
{
    unsigned char address[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), address) == 1 || ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// The name sent to the server and checked against its certificate: a
// certificate names an address differently, and an address is never sent.
bool expectHost(SSL* connection, const std::string& host)
{
    if (isAddress(host))
        return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(connection), host.c_str()) == 1;
    return SSL_set_tlsext_host_name(connection, host.c_str()) == 1 && SSL_set1_host(connection, host.c_str()) == 1;
}

} // namespace

std::unique_ptr<TlsStream> TlsStream::accept(const TlsServerContext& context, int descriptor)
{
    openssl::Connection connection(SSL_new(context.native()));
    if (!connection || !openssl::attachSocket(connection.get(), descriptor)) {
        ERR_clear_error();
        return nullptr;
    }
    SSL_set_accept_state(connection.get());
    return std::unique_ptr<TlsStream>(new TlsStream(std::move(connection), {}));
}

std::unique_ptr<TlsStream> TlsStream::connect(TlsClientContext& context, int descriptor, const std::string& host,
                                              unsigned short port)
{
    openssl::Connection connection(SSL_new(context.native()));
    if (!connection || !openssl::attachSocket(connection.get(), descriptor) || !expectHost(connection.get(), host)) {
        ERR_clear_error();
        return nullptr;
    }
    std::unique_ptr<TlsStream> stream(new TlsStream(std::move(connection), host + ":" + std::to_string(port)));
    SSL* made = stream->m_connection.get();
    SSL_set_connect_state(made);
    // The context files the sessions this server grants under its name.
    SSL_set_app_data(made, &stream->m_peer);
    if (ssl_session_st* session = context.sessionFor(stream->m_peer))
        SSL_set_session(made, session);
    return stream;
}

TlsStream::TlsStream(NativeConnection connection, std::string peer)
    : m_connection(std::move(connection)), m_peer(std::move(peer))
{}

TlsStatus TlsStream::handshake()
{
    if (m_failed)
        return TlsStatus::Failed;
    ERR_clear_error();
    const int result = SSL_do_handshake(m_connection.get());
    const TlsStatus status = result == 1 ? TlsStatus::Done : statusOf(result, m_failed);
    // The handshake takes every whole record it holds before it waits to
    // read, so what it still holds then is only the start of the next one.
    m_drained = status == TlsStatus::WantRead;
    return status;
}

TlsStream::Transfer TlsStream::read(char* data, std::size_t size)
{
    // Records are taken until the caller's room or what has come runs out,
    // as a socket read would take them; once some are taken the socket is
    // not asked again, as that costs a system call that mostly finds nothing.
    std::size_t total = 0;
    while (!m_failed && total < size && (total == 0 || SSL_has_pending(m_connection.get()) == 1)) {
        ERR_clear_error();
        std::size_t got = 0;
        const int result = SSL_read_ex(m_connection.get(), data + total, size - total, &got);
        if (result != 1) {
            const TlsStatus status = statusOf(result, m_failed);
            m_drained = status == TlsStatus::WantRead;
            if (total == 0)
                return {status, 0};
            break;
        }
        m_drained = false;
        total += got;
    }
    return {m_failed && total == 0 ? TlsStatus::Failed : TlsStatus::Done, total};
}

TlsStream::Transfer TlsStream::write(const char* data, std::size_t size)
{
    // A record at a time, until all is taken or the socket is full; a
    // record the socket refused is the start of what the next write offers.
    std::size_t total = 0;
    while (!writeBroken() && total < size) {
        ERR_clear_error();
        std::size_t sent = 0;
        const int result = SSL_write_ex(m_connection.get(), data + total, size - total, &sent);
        if (result != 1) {
            const TlsStatus status = statusOf(result, m_writeFailed);
            if (total == 0)
                return {status, 0};
            break;
        }
        total += sent;
    }
    return {writeBroken() && total == 0 ? TlsStatus::Failed : TlsStatus::Done, total};
}

bool TlsStream::hasBufferedInput() const
{
    return !m_failed && !m_drained && SSL_has_pending(m_connection.get()) == 1;
}

bool TlsStream::established() const
{
    return SSL_is_init_finished(m_connection.get()) == 1;
}

bool TlsStream::resumed() const
{
    return SSL_session_reused(m_connection.get()) == 1;
}

std::string TlsStream::peerFingerprint() const
{
    return openssl::keyFingerprint(SSL_get0_peer_certificate(m_connection.get()));
}

bool TlsStream::peerVouchedFor() const
{
    return SSL_get0_peer_certificate(m_connection.get()) != nullptr &&
           SSL_get_verify_result(m_connection.get()) == X509_V_OK;
}

void TlsStream::close()
{
    // The library forbids a close_notify after a fatal error.
    if (!writeBroken() && established()) {
        ERR_clear_error();
        SSL_shutdown(m_connection.get());
        ERR_clear_error();
    }
    m_failed = true;
}

bool TlsStream::writeBroken() const
{
    return m_failed || m_writeFailed;
}

TlsStatus TlsStream::statusOf(int result, bool& broken)
{
    switch (SSL_get_error(m_connection.get(), result)) {
    case SSL_ERROR_WANT_READ:
        return TlsStatus::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return TlsStatus::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return TlsStatus::Closed;
    default:
        broken = true;
        ERR_clear_error();
        return TlsStatus::Failed;
    }
}

} // namespace parlana
