#include "net/TlsServerContext.hpp"

#include "net/KeyDirectory.hpp"
#include "net/OpenSsl.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace parlana {

namespace {

// The library names a missing file only "system lib".
bool readable(const std::string& path, std::string& error)
{
    if (::access(path.c_str(), R_OK) == 0)
        return true;
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
}

// Resumption needs a context name; one room is one context.
constexpr unsigned char kSessionContext[] = "parlana";

// One ticket per handshake: a client keeps only its latest, and each costs
// the server an encryption.
constexpr std::size_t kTicketsPerHandshake = 1;

} // namespace

std::unique_ptr<TlsServerContext> TlsServerContext::fromFiles(const std::string& certificateChain,
                                                              const std::string& privateKey, std::string& error)
{
    if (!readable(certificateChain, error) || !readable(privateKey, error))
        return nullptr;
    openssl::Context context = openssl::newContext(TLS_server_method());
    if (!context) {
        error = "cannot set up TLS: " + openssl::lastError();
        return nullptr;
    }
    SSL_CTX_set_default_passwd_cb(context.get(), openssl::noPassphrase);
    if (SSL_CTX_use_certificate_chain_file(context.get(), certificateChain.c_str()) != 1) {
        error = "cannot read the certificate chain in " + certificateChain + ": " + openssl::lastError();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(context.get(), privateKey.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1) {
        error = "cannot use the key in " + privateKey + ": " + openssl::lastError();
        return nullptr;
    }
    SSL_CTX_set_session_id_context(context.get(), kSessionContext, sizeof kSessionContext - 1);
    SSL_CTX_set_num_tickets(context.get(), kTicketsPerHandshake);
    std::string fingerprint = openssl::keyFingerprint(SSL_CTX_get0_certificate(context.get()));
    return std::unique_ptr<TlsServerContext>(new TlsServerContext(std::move(context), std::move(fingerprint)));
}

std::unique_ptr<TlsServerContext> TlsServerContext::fromDirectory(const std::string& directory, std::string& error)
{
    const std::optional<KeyFiles> files = prepareKeyDirectory(directory, error);
    return files ? fromFiles(files->certificate, files->key, error) : nullptr;
}

TlsServerContext::TlsServerContext(NativeContext context, std::string fingerprint)
    : m_context(std::move(context)), m_fingerprint(std::move(fingerprint))
{}

} // namespace parlana
