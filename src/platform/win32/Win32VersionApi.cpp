#include "Win32VersionApi.h"

#include <windows.h>

namespace sarnok::win32 {

std::uint32_t CWin32VersionApi::GetInfoSize(const char* fileName) {
    DWORD handle = 0;
    return ::GetFileVersionInfoSizeA(fileName, &handle);
}

bool CWin32VersionApi::GetInfo(const char* fileName, std::uint32_t size, void* block) {
    return ::GetFileVersionInfoA(fileName, 0, size, block) != FALSE;
}

bool CWin32VersionApi::QueryValue(const void* block, const char* subBlock, const void** value,
                                  std::uint32_t* length) {
    void* found = nullptr;
    UINT size = 0;
    if (!::VerQueryValueA(block, subBlock, &found, &size)) {
        *value = nullptr;
        *length = 0;
        return false;
    }
    *value = found;
    *length = size;
    return true;
}

} // namespace sarnok::win32
