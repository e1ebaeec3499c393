// IDigest over OpenSSL's libcrypto, for the native build, its tests and the package checker.
#pragma once

#include "ports/Digest.h"

namespace sarnok::posix {

class COpenSslDigest : public IDigest {
public:
    bool Sha256(const std::uint8_t* data, std::uint64_t size, CSha256Digest* digest) override;
};

} // namespace sarnok::posix
