#include "app/FirmwareVersion.h"

namespace sarnok {

std::string FormatFirmwareVersion(std::int32_t major, std::int32_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

} // namespace sarnok
