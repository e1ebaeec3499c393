// IProfileReader over the platform's own initialisation-file reader.
#pragma once

#include "ports/SystemServices.h"

namespace sarnok::win32 {

class CWin32ProfileReader : public IProfileReader {
public:
    std::uint32_t GetString(const char* section, const char* key, char* buffer, std::uint32_t size,
                            const char* filePath) override;
};

} // namespace sarnok::win32
