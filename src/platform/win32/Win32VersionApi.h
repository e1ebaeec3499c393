// IVersionApi over the Windows version-information functions.
#pragma once

#include "ports/SystemServices.h"

namespace sarnok::win32 {

class CWin32VersionApi : public IVersionApi {
public:
    std::uint32_t GetInfoSize(const char* fileName) override;
    bool GetInfo(const char* fileName, std::uint32_t size, void* block) override;
    bool QueryValue(const void* block, const char* subBlock, const void** value,
                    std::uint32_t* length) override;
};

} // namespace sarnok::win32
