// IPackageFiles over the Windows file functions: opened for reading with sharing, mapped
// read-only.
#pragma once

#include "ports/PackageFiles.h"

namespace sarnok::win32 {

class CWin32PackageFiles : public IPackageFiles {
public:
    std::optional<std::string> FullFolderPath(const std::string& folder) override;
    CFileFacts Inspect(const std::string& path) override;
    bool DigestFile(const std::string& path, IDigest& digest, CSha256Digest* result) override;
};

} // namespace sarnok::win32
