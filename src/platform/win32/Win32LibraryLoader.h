// ILibraryLoader over LoadLibraryA, GetProcAddress and FreeLibrary.
#pragma once

#include "ports/LibraryLoader.h"

namespace sarnok::win32 {

class CWin32LibraryLoader : public ILibraryLoader {
public:
    ModuleHandle Load(const char* fileName) override;
    FarProc Lookup(ModuleHandle module, const char* entryName) override;
    void Release(ModuleHandle module) override;
};

} // namespace sarnok::win32
