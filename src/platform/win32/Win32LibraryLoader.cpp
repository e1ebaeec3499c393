#include "Win32LibraryLoader.h"

#include "app/PathText.h"

#include <string>

namespace sarnok::win32 {

namespace {

// Set once SetDefaultDllDirectories has taken: a name alone is then searched for only in the
// two folders. Windows 7 without its 2011 loader update, and some Wine builds, lack the call.
bool g_defaultFoldersSet = false;

} // namespace

void RestrictLibrarySearch() {
    using PFN_SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto set = kernel == nullptr
                         ? nullptr
                         : reinterpret_cast<PFN_SetDefaultDllDirectories>(reinterpret_cast<void*>(
                               ::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set != nullptr) {
        g_defaultFoldersSet =
            set(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    }
    // Where the default folders could not be set, the libraries' own dependencies at least do
    // not come from the current folder.
    ::SetDllDirectoryA("");
}

HMODULE LoadProgramLibrary(const char* fileName) {
    if (fileName == nullptr) {
        return nullptr; // LoadLibraryA(NULL) would fail anyway; say so without the call
    }
    char executable[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, executable, MAX_PATH);
    char system[MAX_PATH + 1] = {};
    const UINT systemLength = ::GetSystemDirectoryA(system, MAX_PATH);
    // A path cut at MAX_PATH is not the program's: that folder is left out.
    const std::string executablePath = length > 0 && length < MAX_PATH ? executable : "";
    const std::string systemFolder = systemLength > 0 && systemLength < MAX_PATH ? system : "";
    for (const std::string& path :
         LibraryPaths(fileName, g_defaultFoldersSet, executablePath, systemFolder)) {
        if (HMODULE module = ::LoadLibraryA(path.c_str())) {
            return module;
        }
    }
    return nullptr;
}

ModuleHandle CWin32LibraryLoader::Load(const char* fileName) {
    return static_cast<ModuleHandle>(LoadProgramLibrary(fileName));
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
