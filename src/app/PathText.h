// Windows path texts, handled as the shell's path functions handle them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sarnok {

// PathRemoveFileSpecA: drops the last component. A root keeps its backslash ("C:\x" gives
// "C:\", "\x" gives "\"), a bare name gives the empty text.
std::string RemoveFileSpec(std::string_view path);

// Firmware files live in the executable's folder. A catalogue name that climbs out of it (a
// component of dots only, such as ".." or "... ", which the platform resolves upwards) or that
// names a drive, a root or a share would reach a file elsewhere; it is not opened, created or
// changed.
bool StaysInFolder(std::string_view name);

// What to hand the loader for a library loaded by name, in the order to try: the name alone when
// the process's default library folders are set (the loader then looks only in the program's
// folder and the system folder), and otherwise the full path in each of those two folders, so
// that no folder on PATH is ever searched. A folder that is not known is left out.
std::vector<std::string> LibraryPaths(std::string_view name, bool defaultFoldersSet,
                                      std::string_view executablePath,
                                      std::string_view systemFolder);

} // namespace sarnok
