#include "Win32Digest.h"

#include <windows.h>

#include <bcrypt.h>

#include <vector>

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
    // Vista's provider keeps no hash object of its own: the caller passes a buffer of the size
    // the provider asks for (later Windows accept none, but not the program's oldest).
    DWORD objectLength = 0;
    ULONG written = 0;
    bool done = Succeeded(::BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH,
                                              reinterpret_cast<PUCHAR>(&objectLength),
                                              sizeof objectLength, &written, 0)) &&
                written == sizeof objectLength;
    std::vector<UCHAR> object(done ? objectLength : 0);
    BCRYPT_HASH_HANDLE hash = nullptr;
    done = done && Succeeded(::BCryptCreateHash(algorithm, &hash, object.data(), objectLength,
                                                nullptr, 0, 0));
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
