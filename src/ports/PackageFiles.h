// Firmware files as the package checker sees them: looked at and read, never created, opened
// for writing or changed.
#pragma once

#include "ports/Digest.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sarnok {

struct CFileFacts {
    bool m_exists = false; // a file (not a folder) of that name
    std::uint64_t m_size = 0;
};

class IPackageFiles {
public:
    virtual ~IPackageFiles() = default;
    // The folder as a full path, without a trailing separator; nothing when it is no folder.
    virtual std::optional<std::string> FullFolderPath(const std::string& folder) = 0;
    // path is folder + "\" + name, as the program forms it.
    virtual CFileFacts Inspect(const std::string& path) = 0;
    // The SHA-256 of the whole file, read with sharing; false when it cannot be read.
    virtual bool DigestFile(const std::string& path, IDigest& digest, CSha256Digest* result) = 0;
};

} // namespace sarnok
