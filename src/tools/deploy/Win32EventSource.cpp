#include "Win32EventSource.h"

#include "LogRecord.h"

#include <windows.h>

#include <optional>

namespace sarnok::deploy {

namespace {

constexpr const char* kSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Brelwin Card Printer Firmware";
constexpr DWORD kTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// The message file the source's key names now; nothing when there is no key or no value.
std::optional<std::string> RegisteredMessageFile() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    const LONG read = ::RegQueryValueExA(key, "EventMessageFile", nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return std::string(value);
}

} // namespace

bool RegisterEventSourceFor(const std::string& programPath) {
    if (!SourceNeedsRegistration(RegisteredMessageFile(), programPath)) {
        return true;
    }
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool written =
        ::RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ,
                         reinterpret_cast<const BYTE*>(programPath.c_str()),
                         static_cast<DWORD>(programPath.size() + 1)) == ERROR_SUCCESS &&
        ::RegSetValueExA(key, "TypesSupported", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&kTypesSupported),
                         sizeof kTypesSupported) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return written;
}

} // namespace sarnok::deploy
