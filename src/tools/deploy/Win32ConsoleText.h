// The console's text as Windows' own console tools write it: a console shows UTF-16, so it reads
// right whatever code page the console is in; a pipe or a file gets the console's output code
// page, which cmd.exe, PowerShell and findstr read it in.
#pragma once

#include <string>

namespace sarnok::deploy {

// Writes text in the ANSI code page, with LF line ends, to standard output or, for warnings,
// standard error; the lines end with CR LF.
void WriteConsoleText(bool warnings, const std::string& text);

} // namespace sarnok::deploy
