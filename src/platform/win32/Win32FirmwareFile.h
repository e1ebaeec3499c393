// IFirmwareFile over the Windows file and file-mapping functions.
#pragma once

#include "ports/FirmwareFile.h"

namespace sarnok::win32 {

class CWin32FirmwareFile : public IFirmwareFile {
public:
    void SetNormalAttributes(const std::string& path) override;
    FileHandle OpenExclusive(const std::string& path) override;
    std::uint64_t GetSize(FileHandle file) override;
    MappingHandle CreateMapping(FileHandle file, std::uint32_t size) override;
    const std::uint8_t* MapView(MappingHandle mapping) override;
    void UnmapView(const std::uint8_t* view) override;
    void CloseMapping(MappingHandle mapping) override;
    void CloseFile(FileHandle file) override;
    void Delete(const char* fileName) override;
};

} // namespace sarnok::win32
