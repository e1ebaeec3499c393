// The console's log in the format Configuration Manager writes its own logs in, so CMTrace and
// OneTrace colour its warnings and errors and merge it with theirs by time.
#pragma once

#include "app/PlainText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sarnok::deploy {

enum class ELogType : std::uint8_t {
    Information = 1,
    Warning = 2, // busy, the lock taken, an interrupted update found, a journal or log problem
    Error = 3,   // a failed update, and the ends of runs that exit 1, 2 or 3
};

// When and where a record is written.
struct CLogStamp {
    unsigned m_year = 0;
    unsigned m_month = 0;
    unsigned m_day = 0;
    unsigned m_hour = 0;
    unsigned m_minute = 0;
    unsigned m_second = 0;
    unsigned m_millisecond = 0;
    // UTC minus local time in minutes, as Windows gives it: -60 in Central Europe in winter.
    int m_biasMinutes = 0;
    std::uint32_t m_thread = 0;
};

// One record, without its line end:
// <![LOG[message]LOG]!><time="HH:MM:SS.mmm+BIAS" date="MM-DD-YYYY" component="…" context="…"
// type="T" thread="TID" file="">
std::string CmTraceRecord(std::string_view message, ELogType type, const CLogStamp& stamp,
                          std::string_view component, std::string_view context);

// A log is renamed before a run writes to it once it has reached this size.
inline constexpr std::uint64_t kLogRotateSize = 1024 * 1024;
constexpr bool LogIsFull(std::uint64_t size) {
    return size >= kLogRotateSize;
}
// The name a full log is renamed to, as Configuration Manager names its own: the last character
// replaced by '_' (SarnokDeploy.log, SarnokDeploy.lo_).
std::string RotatedLogName(const std::string& path);

// The Event Log source is registered, naming this program as its message file, when its key
// names no file (missing) or another one than ownPath. Paths compare as Windows compares them,
// without regard to ASCII case.
bool SourceNeedsRegistration(const std::optional<std::string>& registeredFile,
                             const std::string& ownPath);

} // namespace sarnok::deploy
