#include "Win32LibraryLoader.h"

#include <windows.h>

namespace sarnok::win32 {

ModuleHandle CWin32LibraryLoader::Load(const char* fileName) {
    if (fileName == nullptr) {
        return nullptr; // LoadLibraryA(NULL) would fail anyway; say so without the call
    }
    return static_cast<ModuleHandle>(::LoadLibraryA(fileName));
}

FarProc CWin32LibraryLoader::Lookup(ModuleHandle module, const char* entryName) {
    if (module == nullptr || entryName == nullptr) {
        return nullptr;
    }
    // Both are plain function-pointer types; the caller casts to the entry point's real form.
    return reinterpret_cast<FarProc>(::GetProcAddress(static_cast<HMODULE>(module), entryName));
}

void CWin32LibraryLoader::Release(ModuleHandle module) {
    if (module != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(module));
    }
}

} // namespace sarnok::win32
