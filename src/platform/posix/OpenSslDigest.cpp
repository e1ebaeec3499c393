#include "OpenSslDigest.h"

#include <openssl/evp.h>

#include <memory>

namespace sarnok::posix {

bool COpenSslDigest::Sha256(const std::uint8_t* data, std::uint64_t size, CSha256Digest* digest) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return false;
    }
    if (size != 0 && EVP_DigestUpdate(context.get(), data, static_cast<std::size_t>(size)) != 1) {
        return false;
    }
    unsigned int length = 0;
    return EVP_DigestFinal_ex(context.get(), digest->data(), &length) == 1 &&
           length == digest->size();
}

} // namespace sarnok::posix
