// Windows path texts, handled as the shell's path functions handle them.
#pragma once

#include <string>
#include <string_view>

namespace sarnok {

// PathRemoveFileSpecA: drops the last component. A root keeps its backslash ("C:\x" gives
// "C:\", "\x" gives "\"), a bare name gives the empty text.
std::string RemoveFileSpec(std::string_view path);

} // namespace sarnok
