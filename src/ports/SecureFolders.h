// Folders and files that a program running as SYSTEM writes where standard users can also
// create things (ProgramData): what is there, made with a given security descriptor, and opened
// without following a link a user may have planted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sarnok {

// Who an owner or an access-control entry names, as far as trust goes.
enum class ETrustee : std::uint8_t {
    System,
    Administrators,
    TrustedInstaller,
    // The account this program runs as.
    ThisAccount,
    Users,
    AuthenticatedUsers,
    Everyone,
    Interactive,
    Other, // any other account or group, or one that could not be read
};

// Kept for the owner's field: an owner is one of the trustees.
using EOwner = ETrustee;

struct CAccessEntry {
    bool m_allow = true;
    ETrustee m_trustee = ETrustee::Other;
    std::uint32_t m_mask = 0;
};

struct CPathFacts {
    bool m_exists = false;
    bool m_directory = false;
    // A junction, a symbolic link or a mount point: it leads elsewhere.
    bool m_reparsePoint = false;
    EOwner m_owner = EOwner::Other;
    // The owner as "DOMAIN\name", or its SID where the name is unknown; empty when unread.
    std::string m_ownerName;
    // The DACL when it could be read; a null DACL (everyone may do anything) has m_nullDacl.
    bool m_daclRead = false;
    bool m_nullDacl = false;
    std::vector<CAccessEntry> m_dacl;
};

struct CFileFacts {
    bool m_plain = false; // a file, not a folder or a device
    bool m_reparsePoint = false;
    std::uint32_t m_links = 0; // the names the file has (hard links)
    EOwner m_owner = EOwner::Other;
    std::uint64_t m_size = 0;
};

// An owner whose folder or file SYSTEM may use. This program's own account counts only in an
// elevated process: there it is SYSTEM itself, or an administrator whose unelevated programs
// never make these folders (Wine, too, runs every program elevated as the owner of every file).
constexpr bool OwnerTrusted(EOwner owner, bool elevated) {
    return owner == EOwner::System || owner == EOwner::Administrators ||
           owner == EOwner::TrustedInstaller || (owner == EOwner::ThisAccount && elevated);
}

class ISecureFolders {
public:
    virtual ~ISecureFolders() = default;
    // SYSTEM, or an administrator's elevated process: the only ones that make or repair the
    // folders SYSTEM writes to.
    virtual bool Elevated() = 0;
    // What is at path, the path's last part itself never followed.
    virtual CPathFacts Inspect(const std::string& path) = 0;
    // Makes the folder with this security descriptor (SDDL). False when it exists already or
    // cannot be made.
    virtual bool CreateFolder(const std::string& path, const std::string& sddl) = 0;
    // Gives an existing folder or file this descriptor's DACL, protected from inheritance,
    // through a handle opened without following a reparse point, and without carrying it into
    // what a folder holds. False when it could not.
    virtual bool Protect(const std::string& path, const std::string& sddl) = 0;
    // Renames the folder or file at path (never what a reparse point there leads to) to
    // newPath, through its own handle. False when it could not.
    virtual bool SetAside(const std::string& path, const std::string& newPath) = 0;
    // Opens a file for appending, made when missing, without following a reparse point; facts
    // say what the opened file is. Null when it could not be opened.
    virtual std::FILE* OpenAppend(const std::string& path, CFileFacts* facts) = 0;
    // Renames the file opened by OpenAppend to newPath, replacing a file there, through the
    // handle it was opened and checked with. False when it could not.
    virtual bool RenameOpen(std::FILE* file, const std::string& newPath) = 0;
};

} // namespace sarnok
