// ILibraryLoader over LoadLibraryA, GetProcAddress and FreeLibrary, and where the program's
// libraries loaded by name may come from.
#pragma once

#include "ports/LibraryLoader.h"

#include <windows.h>

namespace sarnok::win32 {

// First thing in each program, before any library is loaded by name: libraries come from the
// program's folder and the system folder only, never from the current folder or a folder on
// PATH, where any user of the workstation may have put a DLL of the same name.
void RestrictLibrarySearch();

// A library by name from those two folders: through the default folders where the system has
// them, by full path where it does not. Null when it is in neither.
HMODULE LoadProgramLibrary(const char* fileName);

class CWin32LibraryLoader : public ILibraryLoader {
public:
    ModuleHandle Load(const char* fileName) override;
    FarProc Lookup(ModuleHandle module, const char* entryName) override;
    void Release(ModuleHandle module) override;
};

} // namespace sarnok::win32
