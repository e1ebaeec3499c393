#include "Win32SystemServices.h"

#include <objbase.h>
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

namespace sarnok::win32 {

namespace {

std::wstring Widen(const std::string& text, UINT from) {
    if (text.empty()) {
        return {};
    }
    const int wide =
        ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), utf16.data(), wide);
    return utf16;
}

std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) {
        return text;
    }
    const std::wstring utf16 = Widen(text, from);
    const int wide = static_cast<int>(utf16.size());
    const int size = ::WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(to, 0, utf16.data(), wide, converted.data(), size, nullptr, nullptr);
    return converted;
}

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

std::vector<std::uint8_t> ProcessTokenUser() {
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) {
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> buffer(size);
    if (size == 0 || ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) == FALSE) {
        buffer.clear();
    }
    ::CloseHandle(token);
    return buffer;
}

std::string ProcessAccountName() {
    const std::vector<std::uint8_t> buffer = ProcessTokenUser();
    if (buffer.empty()) {
        return {};
    }
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    char name[256];
    char domain[256];
    DWORD nameSize = sizeof name;
    DWORD domainSize = sizeof domain;
    SID_NAME_USE use{};
    if (::LookupAccountSidA(nullptr, user->User.Sid, name, &nameSize, domain, &domainSize, &use) ==
        FALSE) {
        return {};
    }
    return std::string(domain) + "\\" + name;
}

std::string ProgramDataFolder() {
    PWSTR path = nullptr;
    std::string result;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path))) {
        const int size = ::WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            result.resize(static_cast<std::size_t>(size));
            ::WideCharToMultiByte(CP_ACP, 0, path, -1, result.data(), size, nullptr, nullptr);
            result.resize(static_cast<std::size_t>(size - 1));
        }
    }
    ::CoTaskMemFree(path);
    return result;
}

std::string AnsiToUtf8(const std::string& text) {
    return Convert(text, CP_ACP, CP_UTF8);
}

std::string Utf8ToAnsi(const std::string& text) {
    return Convert(text, CP_UTF8, CP_ACP);
}

std::wstring AnsiToWide(const std::string& text) {
    return Widen(text, CP_ACP);
}

std::string AnsiToCodePage(const std::string& text, unsigned codePage) {
    return Convert(text, CP_ACP, codePage);
}

} // namespace sarnok::win32
