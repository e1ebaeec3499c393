// Folders and files under ProgramData as SYSTEM must meet them: security descriptors from SDDL,
// owners read from the object itself, and nothing opened through a reparse point.
#pragma once

#include "ports/SecureFolders.h"

namespace sarnok::win32 {

class CWin32SecureFolders : public ISecureFolders {
public:
    CPathFacts Inspect(const std::string& path) override;
    bool CreateFolder(const std::string& path, const std::string& sddl) override;
    bool ProtectFolder(const std::string& path, const std::string& sddl) override;
    std::FILE* OpenAppend(const std::string& path, CFileFacts* facts) override;
};

} // namespace sarnok::win32
