#include "net/TlsClientContext.hpp"

#include "net/OpenSsl.hpp"

namespace parlana {

namespace {

// The library shows each session a server grants; the stream that connected
// names the server (see TlsStream::connect). A copy is kept: the library
// bars its own from resumption when the connection ends without a
// close_notify, which is how a lost network ends one, and a rejoin after a
// lost network is what resumption is for.
int keepSession(SSL* connection, SSL_SESSION* session)
{
    auto* context = static_cast<TlsClientContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(connection)));
    const auto* peer = static_cast<const std::string*>(SSL_get_app_data(connection));
    NativeSession copy(SSL_SESSION_dup(session));
    if (context != nullptr && peer != nullptr && copy)
        context->remember(*peer, std::move(copy));
    return 0;
}

} // namespace

std::unique_ptr<TlsClientContext> TlsClientContext::create(std::string& error)
{
    openssl::Context context = openssl::newContext(TLS_client_method());
    if (!context || SSL_CTX_set_default_verify_paths(context.get()) != 1) {
        error = "cannot set up TLS: " + openssl::lastError();
        return nullptr;
    }
    // The chain is still checked and its verdict kept (TlsStream::peerVouchedFor);
    // a key no authority vouches for may yet be pinned or trusted by the user.
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(context.get(), SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(context.get(), keepSession);
    std::unique_ptr<TlsClientContext> made(new TlsClientContext(std::move(context)));
    SSL_CTX_set_app_data(made->native(), made.get());
    return made;
}

TlsClientContext::TlsClientContext(NativeContext context) : m_context(std::move(context)) {}

ssl_session_st* TlsClientContext::sessionFor(const std::string& peer) const
{
    const auto found = m_sessions.find(peer);
    return found != m_sessions.end() && SSL_SESSION_is_resumable(found->second.get()) == 1 ? found->second.get()
                                                                                           : nullptr;
}

void TlsClientContext::remember(const std::string& peer, NativeSession session)
{
    m_sessions[peer] = std::move(session);
}

} // namespace parlana
