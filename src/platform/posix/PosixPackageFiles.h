// IPackageFiles over POSIX files: read-only opens and mappings. Names are found as Windows finds
// them, whatever their case.
#pragma once

#include "ports/PackageFiles.h"

namespace sarnok::posix {

class CPosixPackageFiles : public IPackageFiles {
public:
    std::optional<std::string> FullFolderPath(const std::string& folder) override;
    CFileFacts Inspect(const std::string& path) override;
    bool DigestFile(const std::string& path, IDigest& digest, CSha256Digest* result) override;
};

} // namespace sarnok::posix
