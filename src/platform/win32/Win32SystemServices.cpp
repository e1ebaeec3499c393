#include "Win32SystemServices.h"

#include <objbase.h>
#include <windows.h>

#include <vector>

namespace sarnok::win32 {

namespace {

// Far beyond any path the system accepts (32767 characters with the long-path prefix).
constexpr DWORD kLongestModulePath = 65536;

} // namespace

bool CWin32SystemServices::GetExecutablePath(std::string* path) {
    // A path that did not fit comes back cut (and, on older systems, unterminated): only a
    // result shorter than the buffer is the whole path.
    for (DWORD size = MAX_PATH; size <= kLongestModulePath; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) {
            return false;
        }
        if (length < size) {
            path->assign(buffer.data(), length);
            return true;
        }
    }
    return false;
}

bool CWin32SystemServices::IsWow64() {
    // Looked up at run time: systems without it have no 64-bit side to run on.
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = ::GetModuleHandleA("kernel32");
    if (kernel == nullptr) {
        return false;
    }
    const FARPROC entry = ::GetProcAddress(kernel, "IsWow64Process");
    if (entry == nullptr) {
        return false;
    }
    const auto isWow64Process =
        reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void (*)()>(entry));
    BOOL wow64 = FALSE;
    if (!isWow64Process(::GetCurrentProcess(), &wow64)) {
        return false;
    }
    return wow64 != FALSE;
}

std::uint32_t CWin32SystemServices::GetLastErrorCode() {
    return ::GetLastError();
}

std::uint16_t CWin32SystemServices::GetUserDefaultLanguage() {
    return ::GetUserDefaultLangID();
}

CSystemText CWin32SystemServices::GetErrorText(std::uint32_t code, std::uint16_t language) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, language, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        if (text != nullptr) {
            ::LocalFree(text);
        }
        return CSystemText();
    }
    return CSystemText(text, [](const char* owned) { ::LocalFree(const_cast<char*>(owned)); });
}

void* CWin32SystemServices::AllocateTaskMemory(std::size_t size) {
    return ::CoTaskMemAlloc(size);
}

void CWin32SystemServices::FreeTaskMemory(void* block) {
    ::CoTaskMemFree(block);
}

void CWin32SystemServices::KeepSystemAwake(bool on) {
    ::SetThreadExecutionState(on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

std::string CWin32SystemServices::UpperCaseAnsi(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    // CharUpperBuffA works through the ANSI code page, so a double-byte character is changed
    // (or left alone) as a whole and its trail byte is never taken for a letter.
    std::vector<char> copy(text.begin(), text.end());
    ::CharUpperBuffA(copy.data(), static_cast<DWORD>(copy.size()));
    return std::string(copy.data(), copy.size());
}

} // namespace sarnok::win32
