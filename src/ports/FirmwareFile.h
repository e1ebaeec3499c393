// The firmware file: opened exclusively, mapped whole, sent straight from the view.
#pragma once

#include "ports/Handles.h"

#include <cstdint>
#include <string>

namespace sarnok {

class IFirmwareFile {
public:
    virtual ~IFirmwareFile() = default;

    // Clears read-only and the other attributes; the result does not matter to the caller.
    virtual void SetNormalAttributes(const std::string& path) = 0;
    // Read/write access, no sharing, created empty when absent. nullptr when it cannot be opened.
    virtual FileHandle OpenExclusive(const std::string& path) = 0;
    // The full size; the caller decides what a size beyond 32 bits means.
    virtual std::uint64_t GetSize(FileHandle file) = 0;
    // A read/write mapping of exactly size bytes; nullptr on failure.
    virtual MappingHandle CreateMapping(FileHandle file, std::uint32_t size) = 0;
    // A view of the whole mapping with write access; nullptr on failure.
    virtual const std::uint8_t* MapView(MappingHandle mapping) = 0;
    virtual void UnmapView(const std::uint8_t* view) = 0;
    virtual void CloseMapping(MappingHandle mapping) = 0;
    virtual void CloseFile(FileHandle file) = 0;
    // DeleteFileA with the name as given (a relative name is taken from the current directory).
    virtual void Delete(const char* fileName) = 0;
};

} // namespace sarnok
