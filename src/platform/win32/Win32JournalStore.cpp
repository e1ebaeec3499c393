#include "Win32JournalStore.h"

#include "Win32SystemServices.h"

#include <windows.h>

#include <algorithm>
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

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

bool CWin32JournalStore::CanAppend() {
    HANDLE file = OpenPlain(Current(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                            OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

CJournalFile CWin32JournalStore::ReadFile(bool older) {
    CJournalFile result;
    HANDLE file =
        OpenPlain(older ? Older() : Current(), GENERIC_READ | FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        result.m_state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                             ? EJournalFileState::Missing
                             : EJournalFileState::Unreadable;
        return result;
    }
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) != FALSE;
    const auto total = static_cast<std::uint64_t>(size.QuadPart);
    if (ok && total > kJournalReadLimit) {
        LARGE_INTEGER from{};
        from.QuadPart = static_cast<LONGLONG>(total - kJournalReadLimit);
        ok = ::SetFilePointerEx(file, from, nullptr, FILE_BEGIN) != FALSE;
        result.m_cut = true;
    }
    if (ok) {
        result.m_text.resize(static_cast<std::size_t>(std::min(total, kJournalReadLimit)));
        std::size_t have = 0;
        DWORD read = 0;
        // A range another process has locked fails the read: that is no end of the journal.
        while (ok && have < result.m_text.size()) {
            ok = ::ReadFile(file, result.m_text.data() + have,
                            static_cast<DWORD>(result.m_text.size() - have), &read,
                            nullptr) != FALSE;
            if (ok && read == 0) {
                break; // it shrank meanwhile
            }
            have += read;
        }
        result.m_text.resize(have);
    }
    ::CloseHandle(file);
    result.m_state = ok ? EJournalFileState::Read : EJournalFileState::Unreadable;
    if (!ok) {
        result.m_text.clear();
    }
    return result;
}

bool CWin32JournalStore::Append(const std::string& line, bool flush) {
    // Opened for each record: a file renamed by another program's rotation is never written
    // under its old name. Append access writes at the end, whoever else appends; read access
    // tells whether the last record was torn by a power loss.
    HANDLE file =
        OpenPlain(Current(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                  m_create ? OPEN_ALWAYS : OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string text = line;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) != FALSE && size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char byte = '\n';
        DWORD read = 0;
        if (::SetFilePointerEx(file, last, nullptr, FILE_BEGIN) != FALSE &&
            ::ReadFile(file, &byte, 1, &read, nullptr) != FALSE && read == 1 && byte != '\n') {
            text.insert(text.begin(), '\n');
        }
    }
    DWORD written = 0;
    bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) !=
                  FALSE &&
              written == text.size();
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
        return "?";
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

EProcessState CWin32JournalStore::ProcessState(std::uint32_t pid, const std::string& started) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        return ::GetLastError() == ERROR_ACCESS_DENIED ? EProcessState::Unknown
                                                       : EProcessState::Gone;
    }
    FILETIME created{}, exited{}, kernel{}, user{};
    DWORD code = 0;
    const bool running = ::GetProcessTimes(process, &created, &exited, &kernel, &user) != FALSE &&
                         std::to_string(Ticks(created)) == started &&
                         ::GetExitCodeProcess(process, &code) != FALSE && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running ? EProcessState::Running : EProcessState::Gone;
}

std::uint64_t CWin32JournalStore::BootTime() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    // The time since the start in 100 ns units, less a second: the tick count's coarse steps
    // must not make a process of this boot look older than the boot, and no process of the one
    // before started within a second of this one's start.
    const std::uint64_t up = static_cast<std::uint64_t>(::GetTickCount64()) * 10000;
    const std::uint64_t margin = 10000000;
    const std::uint64_t ticks = Ticks(now);
    return ticks > up + margin ? ticks - up - margin : 0;
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
