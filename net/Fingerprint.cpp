#include "net/Fingerprint.hpp"

#include <openssl/evp.h>

#include <cctype>

namespace parlana {

namespace {

constexpr std::size_t kDigestBytes = 32;
constexpr char kHexDigits[] = "0123456789abcdef";

} // namespace

std::string fingerprintOfPublicKey(std::string_view subjectPublicKeyInfo)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(subjectPublicKeyInfo.data(), subjectPublicKeyInfo.size(), digest, &size, EVP_sha256(), nullptr) !=
            1 ||
        size != kDigestBytes)
        return {};
    std::string fingerprint(kFingerprintPrefix);
    for (unsigned int i = 0; i < size; ++i) {
        fingerprint += kHexDigits[digest[i] >> 4];
        fingerprint += kHexDigits[digest[i] & 0x0F];
    }
    return fingerprint;
}

std::optional<std::string> parsePin(std::string_view text)
{
    if (text.substr(0, kFingerprintPrefix.size()) != kFingerprintPrefix)
        return std::nullopt;
    std::string_view digits = text.substr(kFingerprintPrefix.size());
    if (digits.size() != 2 * kDigestBytes)
        return std::nullopt;
    std::string pin(kFingerprintPrefix);
    for (const char digit : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(digit)))
            return std::nullopt;
        pin += static_cast<char>(std::tolower(static_cast<unsigned char>(digit)));
    }
    return pin;
}

} // namespace parlana
