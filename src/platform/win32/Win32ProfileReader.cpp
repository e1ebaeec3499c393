#include "Win32ProfileReader.h"

#include <windows.h>

namespace sarnok::win32 {

std::uint32_t CWin32ProfileReader::GetString(const char* section, const char* key, char* buffer,
                                             std::uint32_t size, const char* filePath) {
    // No default: a missing file, section or key gives the empty text.
    return static_cast<std::uint32_t>(
        ::GetPrivateProfileStringA(section, key, nullptr, buffer, size, filePath));
}

} // namespace sarnok::win32
