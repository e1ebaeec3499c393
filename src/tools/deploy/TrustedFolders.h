// The console's folders under ProgramData, which SYSTEM writes to, made so that no standard user
// can redirect, forge, read or lock what goes there; and the test a folder named from outside
// (--log, the program's own folder) must pass before SYSTEM writes or registers anything there.
#pragma once

#include "ports/SecureFolders.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace sarnok::deploy {

// SYSTEM and Administrators full control, for the folder and everything made in it, and nobody
// else: a read right alone is enough to lock a file (LockFileEx) and so to hold up SYSTEM's
// appends. Protected, so nothing of ProgramData's own ACL, which lets Users create folders and
// files, is inherited. Owned by Administrators.
inline constexpr const char* kProtectedFolderSddl = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The same DACL for a file that was there before the folder was protected: an ACE it inherited
// from an earlier folder ACL (Users' read, Authenticated Users' append) goes with it.
inline constexpr const char* kProtectedFileSddl = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

// The rights that let a trustee change what a folder holds: write or append data (create files
// or folders), delete children or the folder, change its DACL or owner, and the generic rights
// that include them.
inline constexpr std::uint32_t kFolderWriteRights =
    0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x2000000 | 0x10000000 | 0x40000000;

// A folder that was renamed out of the way because SYSTEM could not trust it.
struct CSetAside {
    std::string m_path;
    std::string m_newPath;
    std::string m_oldOwner;
    std::string m_why;
};

struct CTrustedFolder {
    std::optional<std::string> m_path;
    // Why there is no folder; empty when there is one, and for an unelevated run, which uses a
    // folder only where it may and warns of nothing.
    std::string m_why;
    std::vector<CSetAside> m_setAside;
};

// base\parts[0]\...\parts[n-1], each part made with kProtectedFolderSddl. Only an elevated
// process makes or repairs a folder; an unelevated one uses what it finds trustworthy and
// touches nothing. A part that is no plain folder (a file, a junction, a link), whose owner is
// not trusted, or (the last part) that holds one of leafFiles as anything but a plain file of
// a trusted owner, is set aside: renamed through its own handle to NAME.untrusted-STAMP, and a
// fresh one made. A trusted part gets the protected DACL again on its own handle (an earlier
// release made these folders with ProgramData's inherited ACL), never carried into the tree, and
// so does each of leafFiles that exists. stamp: the local time now as "YYYYMMDD-HHMMSS".
CTrustedFolder TrustedFolder(ISecureFolders& folders, const std::string& base,
                             const std::vector<std::string>& parts,
                             const std::vector<std::string>& leafFiles, const std::string& stamp);

// Why a standard user could change what is in this folder: not a plain folder, an owner other
// than SYSTEM, Administrators or TrustedInstaller, or an ACE that lets Users, Authenticated
// Users, Everyone or Interactive write, append or create in it. Nothing when none can.
std::optional<std::string> UserWritableFolder(const CPathFacts& facts, bool elevated);

// A file for appending that is a plain file with one name and a trusted owner; null, with why,
// otherwise. A file that has reached the log's limit is first renamed to rotated, through the
// handle just checked, and a new one opened.
std::FILE* OpenTrustedAppend(ISecureFolders& folders, const std::string& path,
                             const std::string& rotated, std::string* why);

} // namespace sarnok::deploy
