// The wire protocol with the printer: the flash job's header and framing, and the status reply
// frame the printer answers with while the job is still open.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sarnok {

inline constexpr std::size_t kFlashHeaderSize = 24;
inline constexpr std::size_t kFlashNameFieldSize = 20;
inline constexpr std::size_t kFlashSizeOffset = 20;
// The name field's text (lower-case "u"); the job's document name differs on purpose.
inline constexpr const char* kFlashHeaderName = "Flash update";
inline constexpr const char* kFlashDocumentName = "Flash Update";
inline constexpr std::uint32_t kFlashJobMode = 1;
// The header text travels through a block of task memory of this size.
inline constexpr std::size_t kHeaderTextBlockSize = 40;
inline constexpr std::uint32_t kFlashChunkSize = 2000;
// The header's size field has 32 bits: a larger file cannot be described to the printer.
inline constexpr std::uint64_t kLargestFlashFileSize = 0xFFFFFFFFull;

inline constexpr std::uint32_t kReplyBufferSize = 1000;
inline constexpr std::uint32_t kReplyReadSize = 50;
inline constexpr std::uint32_t kReplyLimitMs = 190000;
inline constexpr std::uint32_t kReplyHeadSize = 10;

using CFlashHeader = std::array<std::uint8_t, kFlashHeaderSize>;

// The name field takes at most 20 bytes of nameText, stopping at its terminator, and is
// zero-filled after it; the size field is little-endian.
CFlashHeader BuildFlashHeader(const char* nameText, std::uint32_t fileSize);

enum class EReplyKind {
    Invalid, // too short, wrong marker bytes, length beyond the bytes received, bad checksum
    Silent,  // valid, with a length field of 0 or 1: reports nothing
    Success, // valid, length field 2
    Error,   // valid, length field 3 or more
};

// Checks one frame of received bytes. Never reads beyond reply[received - 1].
EReplyKind ClassifyReply(const std::uint8_t* reply, std::uint32_t received);

} // namespace sarnok
