#include "Win32Digest.h"

#include <windows.h>

#include <bcrypt.h>

namespace sarnok::win32 {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

// BCryptHashData takes at most a ULONG of bytes a call.
constexpr std::uint64_t kLargestPiece = 0x40000000;

} // namespace

bool CWin32Digest::Sha256(const std::uint8_t* data, std::uint64_t size, CSha256Digest* digest) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(
            ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    // Without a buffer of ours the provider keeps the hash object itself (Windows 7 and later).
    bool done = Succeeded(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    while (done && size != 0) {
        const std::uint64_t piece = size < kLargestPiece ? size : kLargestPiece;
        // The API takes a non-const buffer but does not write to it.
        done = Succeeded(
            ::BCryptHashData(hash, const_cast<PUCHAR>(data), static_cast<ULONG>(piece), 0));
        data += piece;
        size -= piece;
    }
    if (done) {
        done = Succeeded(
            ::BCryptFinishHash(hash, digest->data(), static_cast<ULONG>(digest->size()), 0));
    }
    if (hash != nullptr) {
        ::BCryptDestroyHash(hash);
    }
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    return done;
}

} // namespace sarnok::win32
