// Helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>

namespace sarnok::test {

// The build passes Linux paths; Wine shows the Linux root as drive Z:.
inline std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string converted = "Z:" + path;
    for (char& c : converted) {
        if (c == '/') {
            c = '\\';
        }
    }
    return converted;
}

#ifdef SARNOK_EXE_PATH
inline std::string ProgramPath() {
    return WindowsPath(SARNOK_EXE_PATH);
}
#endif

// A module loaded for its resources only; released at the end of the scope.
class CResourceModule {
public:
    explicit CResourceModule(const std::string& path)
        : m_hModule(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~CResourceModule() {
        if (m_hModule != nullptr) {
            ::FreeLibrary(m_hModule);
        }
    }
    CResourceModule(const CResourceModule&) = delete;
    CResourceModule& operator=(const CResourceModule&) = delete;

    HMODULE Get() const { return m_hModule; }

private:
    HMODULE m_hModule;
};

} // namespace sarnok::test
