// The console's folders under ProgramData, which SYSTEM writes to, made so that no standard user
// can redirect or forge what goes there.
#pragma once

#include "ports/SecureFolders.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace sarnok::deploy {

// SYSTEM and Administrators full control, Users read and traverse (FILE_GENERIC_READ |
// FILE_TRAVERSE), for the folder and everything made in it; protected, so nothing of
// ProgramData's own ACL, which lets Users create folders and files, is inherited.
inline constexpr const char* kProtectedFolderSddl =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The journal's folder as above, where Authenticated Users may also read and, in the files
// only (inherit-only), append: FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, without
// write or delete, so a technician's dialog can add its updates and change none.
inline constexpr const char* kJournalFolderSddl =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;AU)"
    "(A;OIIO;0x100084;;;AU)";

// base\parts[0]\...\parts[n-1], every part made with kProtectedFolderSddl, the last with
// leafSddl. A part that exists is used only when it is a folder, no reparse point, owned by
// SYSTEM, Administrators or the account running this program (which could have written there
// anyway; a user's folder is never SYSTEM's); it then gets its descriptor's DACL again (earlier
// releases made these folders with ProgramData's inherited ACL). Nothing, with why in one line,
// otherwise.
std::optional<std::string> TrustedFolder(ISecureFolders& folders, const std::string& base,
                                         const std::vector<std::string>& parts,
                                         const std::string& leafSddl, std::string* why);

// A file for appending that is a plain file with one name; null, with why, otherwise.
std::FILE* OpenTrustedAppend(ISecureFolders& folders, const std::string& path, std::string* why);

} // namespace sarnok::deploy
