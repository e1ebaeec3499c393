// Windows path texts, handled as the shell's path functions handle them.
#pragma once

#include <string>
#include <string_view>

namespace sarnok {

// PathRemoveFileSpecA: drops the last component. A root keeps its backslash ("C:\x" gives
// "C:\", "\x" gives "\"), a bare name gives the empty text.
std::string RemoveFileSpec(std::string_view path);

// Firmware files live in the executable's folder. A catalogue name that climbs out of it (a
// component of dots only, such as ".." or "... ", which the platform resolves upwards) or that
// names a drive, a root or a share would reach a file elsewhere; it is not opened, created or
// changed.
bool StaysInFolder(std::string_view name);

} // namespace sarnok
