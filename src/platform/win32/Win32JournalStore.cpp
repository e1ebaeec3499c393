#include "Win32JournalStore.h"

#include "Win32SystemServices.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace sarnok::win32 {

namespace {

// A journal file that is a plain file with one name; a link or a reparse point planted in its
// place is neither read nor written.
HANDLE OpenPlain(const std::string& path, DWORD access, DWORD disposition) {
    HANDLE file = ::CreateFileA(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file, &info) == FALSE ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1) {
        ::CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

bool ReadWhole(const std::string& path, std::string* text) {
    HANDLE file = OpenPlain(path, GENERIC_READ | FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char chunk[65536];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) != FALSE && read > 0) {
        text->append(chunk, read);
    }
    ::CloseHandle(file);
    return true;
}

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

std::optional<std::string> CWin32JournalStore::Read() {
    std::string text;
    const bool older = ReadWhole(Older(), &text);
    // The older file may end in a line torn by a power loss: it must not join the next.
    if (older && !text.empty() && text.back() != '\n') {
        text += '\n';
    }
    const bool current = ReadWhole(Current(), &text);
    if (!older && !current) {
        return std::nullopt;
    }
    return text;
}

bool CWin32JournalStore::Append(const std::string& line, bool flush) {
    // Opened for each record: a file renamed by another program's rotation is never written
    // under its old name. Append access alone writes at the end, whoever else appends.
    HANDLE file = OpenPlain(Current(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                            m_create ? OPEN_ALWAYS : OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) !=
                  FALSE &&
              written == line.size();
    if (ok && flush) {
        ok = ::FlushFileBuffers(file) != FALSE;
    }
    ::CloseHandle(file);
    return ok;
}

std::uint64_t CWin32JournalStore::Size() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExA(Current().c_str(), GetFileExInfoStandard, &data) == FALSE) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool CWin32JournalStore::Rotate() {
    return ::MoveFileExA(Current().c_str(), Older().c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::string CWin32JournalStore::UtcNow() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::string CWin32JournalStore::LocalMinute(const std::string& utc) {
    SYSTEMTIME time{};
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(utc.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u", &year, &month, &day, &hour, &minute,
                    &second) != 6) {
        return utc;
    }
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    SYSTEMTIME local{};
    if (::SystemTimeToTzSpecificLocalTime(nullptr, &time, &local) == FALSE) {
        local = time;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute);
    return text;
}

std::uint32_t CWin32JournalStore::ProcessId() {
    return ::GetCurrentProcessId();
}

std::string CWin32JournalStore::ProcessStarted() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user) == FALSE) {
        return {};
    }
    return std::to_string(Ticks(created));
}

std::string CWin32JournalStore::UserName() {
    return ProcessAccountName();
}

bool CWin32JournalStore::ProcessRunning(std::uint32_t pid, const std::string& started) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        // Another account's process is there but cannot be asked: its run may be under way.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    FILETIME created{}, exited{}, kernel{}, user{};
    DWORD code = 0;
    const bool running = ::GetProcessTimes(process, &created, &exited, &kernel, &user) != FALSE &&
                         std::to_string(Ticks(created)) == started &&
                         ::GetExitCodeProcess(process, &code) != FALSE && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

std::uint32_t CWin32JournalStore::TickCount() {
    return ::GetTickCount();
}

std::string CWin32JournalStore::ToUtf8(const std::string& text) {
    return AnsiToUtf8(text);
}

std::string CWin32JournalStore::FromUtf8(const std::string& text) {
    return Utf8ToAnsi(text);
}

} // namespace sarnok::win32
