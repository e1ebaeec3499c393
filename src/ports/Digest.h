// The SHA-256 of a firmware file, computed by the platform's own cryptography.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sarnok {

inline constexpr std::size_t kSha256Size = 32;
using CSha256Digest = std::array<std::uint8_t, kSha256Size>;

class IDigest {
public:
    virtual ~IDigest() = default;
    // The SHA-256 of size bytes from data. False when the platform could not compute it; the
    // digest is then not to be trusted.
    virtual bool Sha256(const std::uint8_t* data, std::uint64_t size, CSha256Digest* digest) = 0;
};

} // namespace sarnok
