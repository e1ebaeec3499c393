// Demo firmware images. The program sends firmware files unchanged and never looks inside them;
// the virtual printer reads this small header to learn which model an image is for and which
// version the printer reports after taking it.
//
//   offset 0   8 bytes  "SIMFWIMG"
//   offset 8  32 bytes  model name, NUL-padded
//   offset 40  4 bytes  major number, little-endian signed
//   offset 44  4 bytes  minor number, little-endian signed
//   offset 48           payload (any bytes)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sarnok::sim {

inline constexpr std::size_t kDemoHeaderSize = 48;
inline constexpr std::size_t kDemoModelSize = 32;

struct CDemoImageInfo {
    std::string m_model;
    std::int32_t m_major = 0;
    std::int32_t m_minor = 0;
};

// An image of exactly totalSize bytes (at least the header) with a deterministic payload.
// False when the model does not fit or totalSize is below the header size.
bool BuildDemoImage(const CDemoImageInfo& info, std::size_t totalSize,
                    std::vector<std::uint8_t>* image);

// False for anything that does not start with a well-formed demo header.
bool ParseDemoImage(const std::uint8_t* data, std::size_t size, CDemoImageInfo* info);

} // namespace sarnok::sim
