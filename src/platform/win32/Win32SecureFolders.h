// Folders and files under ProgramData as SYSTEM must meet them: security descriptors from SDDL,
// owners and DACLs read from the object itself, and nothing opened through a reparse point.
#pragma once

#include "ports/SecureFolders.h"

namespace sarnok::win32 {

class CWin32SecureFolders : public ISecureFolders {
public:
    bool Elevated() override;
    CPathFacts Inspect(const std::string& path) override;
    bool CreateFolder(const std::string& path, const std::string& sddl) override;
    bool Protect(const std::string& path, const std::string& sddl) override;
    bool SetAside(const std::string& path, const std::string& newPath) override;
    std::FILE* OpenAppend(const std::string& path, CFileFacts* facts) override;
    bool RenameOpen(std::FILE* file, const std::string& newPath) override;
};

} // namespace sarnok::win32
