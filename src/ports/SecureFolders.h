// Folders and files that a program running as SYSTEM writes where standard users can also
// create things (ProgramData): what is there, made with a given security descriptor, and opened
// without following a link a user may have planted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sarnok {

enum class EOwner : std::uint8_t {
    System,
    Administrators,
    // The account this program runs as: whatever it finds there, it could have written itself.
    ThisAccount,
    Other, // any other account, or one that could not be read
};

struct CPathFacts {
    bool m_exists = false;
    bool m_directory = false;
    // A junction, a symbolic link or a mount point: it leads elsewhere.
    bool m_reparsePoint = false;
    EOwner m_owner = EOwner::Other;
};

struct CFileFacts {
    bool m_plain = false; // a file, not a folder or a device
    bool m_reparsePoint = false;
    std::uint32_t m_links = 0; // the names the file has (hard links)
};

class ISecureFolders {
public:
    virtual ~ISecureFolders() = default;
    // What is at path, the path's last part itself never followed.
    virtual CPathFacts Inspect(const std::string& path) = 0;
    // Makes the folder with this security descriptor (SDDL). False when it exists already or
    // cannot be made.
    virtual bool CreateFolder(const std::string& path, const std::string& sddl) = 0;
    // Gives an existing folder this descriptor's DACL, protected from inheritance, without
    // following a reparse point. False when it could not.
    virtual bool ProtectFolder(const std::string& path, const std::string& sddl) = 0;
    // Opens a file for appending, made when missing, without following a reparse point; facts
    // say what the opened file is. Null when it could not be opened.
    virtual std::FILE* OpenAppend(const std::string& path, CFileFacts* facts) = 0;
};

} // namespace sarnok
