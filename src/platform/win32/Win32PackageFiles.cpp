#include "Win32PackageFiles.h"

#include <windows.h>

#include <vector>

namespace sarnok::win32 {

std::optional<std::string> CWin32PackageFiles::FullFolderPath(const std::string& folder) {
    const DWORD needed = ::GetFullPathNameA(folder.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::nullopt;
    }
    std::vector<char> buffer(needed + 1);
    const DWORD length = ::GetFullPathNameA(folder.c_str(), static_cast<DWORD>(buffer.size()),
                                            buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    std::string path(buffer.data(), length);
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return std::nullopt;
    }
    // A drive root keeps its backslash ("C:\"); a folder below it has none at the end.
    if (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) {
        path.pop_back();
    }
    return path;
}

CFileFacts CWin32PackageFiles::Inspect(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &facts) ||
        (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {};
    }
    return {true, (static_cast<std::uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow};
}

bool CWin32PackageFiles::DigestFile(const std::string& path, IDigest& digest,
                                    CSha256Digest* result) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool done = false;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size)) {
        if (size.QuadPart == 0) {
            done = digest.Sha256(nullptr, 0, result);
        } else if (const HANDLE mapping =
                       ::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
            if (const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) {
                done = digest.Sha256(static_cast<const std::uint8_t*>(view),
                                     static_cast<std::uint64_t>(size.QuadPart), result);
                ::UnmapViewOfFile(view);
            }
            ::CloseHandle(mapping);
        }
    }
    ::CloseHandle(file);
    return done;
}

} // namespace sarnok::win32
