#include "Win32FirmwareFile.h"

#include <windows.h>

namespace sarnok::win32 {

void CWin32FirmwareFile::SetNormalAttributes(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

FileHandle CWin32FirmwareFile::OpenExclusive(const std::string& path) {
    // No sharing: nobody may change the file while it is sent, and a file someone else holds
    // open is refused rather than sent half-written.
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : static_cast<FileHandle>(file);
}

std::uint64_t CWin32FirmwareFile::GetSize(FileHandle file) {
    DWORD high = 0;
    const DWORD low = ::GetFileSize(static_cast<HANDLE>(file), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        // A size that cannot be read is reported as nothing to send, never as some size.
        return 0;
    }
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

MappingHandle CWin32FirmwareFile::CreateMapping(FileHandle file, std::uint32_t size) {
    return static_cast<MappingHandle>(
        ::CreateFileMappingA(static_cast<HANDLE>(file), nullptr, PAGE_READWRITE, 0, size, nullptr));
}

const std::uint8_t* CWin32FirmwareFile::MapView(MappingHandle mapping) {
    return static_cast<const std::uint8_t*>(
        ::MapViewOfFile(static_cast<HANDLE>(mapping), FILE_MAP_WRITE, 0, 0, 0));
}

void CWin32FirmwareFile::UnmapView(const std::uint8_t* view) {
    if (view != nullptr) {
        ::UnmapViewOfFile(view);
    }
}

void CWin32FirmwareFile::CloseMapping(MappingHandle mapping) {
    if (mapping != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(mapping));
    }
}

void CWin32FirmwareFile::CloseFile(FileHandle file) {
    if (file != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(file));
    }
}

void CWin32FirmwareFile::Delete(const char* fileName) {
    ::DeleteFileA(fileName);
}

} // namespace sarnok::win32
