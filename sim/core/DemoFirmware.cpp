#include "core/DemoFirmware.h"

#include <algorithm>
#include <cstring>

namespace sarnok::sim {

namespace {

constexpr char kMagic[8] = {'S', 'I', 'M', 'F', 'W', 'I', 'M', 'G'};

void PutLe32(std::uint8_t* at, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

std::int32_t GetLe32(const std::uint8_t* at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

} // namespace

bool BuildDemoImage(const CDemoImageInfo& info, std::size_t totalSize,
                    std::vector<std::uint8_t>* image) {
    if (info.m_model.size() >= kDemoModelSize || totalSize < kDemoHeaderSize) {
        return false;
    }
    image->assign(totalSize, 0);
    std::memcpy(image->data(), kMagic, sizeof kMagic);
    std::memcpy(image->data() + 8, info.m_model.data(), info.m_model.size());
    PutLe32(image->data() + 40, info.m_major);
    PutLe32(image->data() + 44, info.m_minor);
    // A payload that differs per version, so two images never hash alike by accident.
    std::uint32_t state =
        0x9e3779b9u ^ static_cast<std::uint32_t>(info.m_major * 1000 + info.m_minor);
    for (std::size_t i = kDemoHeaderSize; i < totalSize; ++i) {
        state = state * 1664525u + 1013904223u;
        (*image)[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return true;
}

bool ParseDemoImage(const std::uint8_t* data, std::size_t size, CDemoImageInfo* info) {
    if (data == nullptr || size < kDemoHeaderSize ||
        std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        return false;
    }
    const char* model = reinterpret_cast<const char*>(data + 8);
    const auto length =
        static_cast<std::size_t>(std::find(model, model + kDemoModelSize, '\0') - model);
    if (length == kDemoModelSize) {
        return false; // no terminator inside the field
    }
    info->m_model.assign(model, length);
    info->m_major = GetLe32(data + 40);
    info->m_minor = GetLe32(data + 44);
    return true;
}

} // namespace sarnok::sim
