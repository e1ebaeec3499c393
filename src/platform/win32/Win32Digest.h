// IDigest over the Windows cryptography API (CNG, bcrypt.dll).
#pragma once

#include "ports/Digest.h"

namespace sarnok::win32 {

class CWin32Digest : public IDigest {
public:
    bool Sha256(const std::uint8_t* data, std::uint64_t size, CSha256Digest* digest) override;
};

} // namespace sarnok::win32
