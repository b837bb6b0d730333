#include "net/KeyDirectory.hpp"

#include "net/OpenSsl.hpp"

#include <openssl/pem.h>
#include <openssl/rand.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

namespace parlana {

namespace {

// Clients pin the key, so the certificate's dates never decide anything for
// them: it is made to outlast the room.
constexpr long kCertificateDays = 100 * 365;
constexpr int kSerialBytes = 8;

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool syncDirectory(const std::string& directory)
{
    const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (descriptor >= 0)
        ::close(descriptor);
    return synced;
}

// Writes a new file beside `path` with `write`, mode 0600, flushed to disk,
// then gives it the name `path`: a crash never leaves half a file there.
// With `keepExisting`, a file already at `path` wins and stays as it is.
bool writeFile(const std::string& directory, const std::string& path, bool keepExisting,
               const std::function<bool(BIO*)>& write, std::string& error)
{
    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        error = systemError("cannot create a file in " + directory);
        return false;
    }
    const openssl::Bio bio(BIO_new_fd(descriptor, BIO_NOCLOSE));
    const bool encoded = bio && write(bio.get()) && BIO_flush(bio.get()) == 1;
    const bool written = encoded && ::fsync(descriptor) == 0;
    if (!written)
        error = encoded ? systemError("cannot write " + path) : "cannot write " + path + ": " + openssl::lastError();
    ::close(descriptor);
    bool named = false;
    if (written) {
        named = keepExisting ? ::link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST
                             : ::rename(temporary.c_str(), path.c_str()) == 0;
        if (!named)
            error = systemError("cannot create " + path);
    }
    ::unlink(temporary.c_str());
    if (named && !syncDirectory(directory)) {
        error = systemError("cannot flush " + directory);
        return false;
    }
    return named;
}

openssl::Key readKey(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (file == nullptr) {
        error = systemError("cannot read " + path);
        return nullptr;
    }
    openssl::Key key(PEM_read_PrivateKey(file, nullptr, openssl::noPassphrase, nullptr));
    std::fclose(file);
    if (!key)
        error = "cannot read the key in " + path + " (left as it is): " + openssl::lastError();
    return key;
}

openssl::Key ownKey(const std::string& directory, const std::string& path, std::string& error)
{
    if (!exists(path)) {
        const openssl::Key created(EVP_EC_gen("P-256"));
        if (!created) {
            error = "cannot create a key: " + openssl::lastError();
            return nullptr;
        }
        const auto write = [&](BIO* bio) {
            return PEM_write_bio_PrivateKey(bio, created.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
        };
        // Another server started on the same directory at the same moment
        // may have won: its key is the one kept, and read back below.
        if (!writeFile(directory, path, true, write, error))
            return nullptr;
    }
    return readKey(path, error);
}

bool holdsCertificateFor(const std::string& path, EVP_PKEY* key)
{
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (file == nullptr)
        return false;
    const openssl::Certificate certificate(PEM_read_X509(file, nullptr, openssl::noPassphrase, nullptr));
    std::fclose(file);
    const bool matches = certificate && X509_check_private_key(certificate.get(), key) == 1;
    openssl::lastError();
    return matches;
}

// A random positive serial, so no two certificates made here share one.
bool setSerial(X509* certificate)
{
    unsigned char bytes[kSerialBytes];
    if (RAND_bytes(bytes, kSerialBytes) != 1)
        return false;
    bytes[0] &= 0x7F;
    BIGNUM* number = BN_bin2bn(bytes, kSerialBytes, nullptr);
    const bool set = number != nullptr && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate)) != nullptr;
    BN_free(number);
    return set;
}

openssl::Certificate selfSigned(EVP_PKEY* key)
{
    openssl::Certificate certificate(X509_new());
    if (!certificate)
        return nullptr;
    X509* made = certificate.get();
    X509_NAME* name = X509_get_subject_name(made);
    const auto* commonName = reinterpret_cast<const unsigned char*>("Parlana room");
    if (!setSerial(made) || X509_set_version(made, X509_VERSION_3) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(made), 0) == nullptr ||
        X509_time_adj_ex(X509_getm_notAfter(made), kCertificateDays, 0, nullptr) == nullptr ||
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) != 1 ||
        X509_set_issuer_name(made, name) != 1 || X509_set_pubkey(made, key) != 1 ||
        X509_sign(made, key, EVP_sha256()) <= 0)
        return nullptr;
    return certificate;
}

bool ensureCertificate(const std::string& directory, const std::string& path, EVP_PKEY* key, std::string& error)
{
    if (holdsCertificateFor(path, key))
        return true;
    const openssl::Certificate certificate = selfSigned(key);
    if (!certificate) {
        error = "cannot make a certificate: " + openssl::lastError();
        return false;
    }
    const auto write = [&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()) == 1; };
    return writeFile(directory, path, false, write, error);
}

} // namespace

std::optional<KeyFiles> prepareKeyDirectory(const std::string& directory, std::string& error)
{
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        error = systemError("cannot create " + directory);
        return std::nullopt;
    }
    KeyFiles files{directory + "/cert.pem", directory + "/key.pem"};
    const openssl::Key key = ownKey(directory, files.key, error);
    if (!key || !ensureCertificate(directory, files.certificate, key.get(), error))
        return std::nullopt;
    return files;
}

} // namespace parlana
