// Where the update journal lives, and what it needs to know of this process and the clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sarnok {

class IJournalStore {
public:
    virtual ~IJournalStore() = default;
    // The journal's text, the older file's before the current one's; nothing when neither
    // can be read.
    virtual std::optional<std::string> Read() = 0;
    // One whole line, LF included, in one write at the end of the file; with flush, on the
    // disk before this returns. False when it was not written.
    virtual bool Append(const std::string& line, bool flush) = 0;
    // The current file's size in bytes; 0 when there is none.
    virtual std::uint64_t Size() = 0;
    // The current file becomes the older one, replacing it. False when it could not.
    virtual bool Rotate() = 0;
    // Now, UTC, ISO 8601 ("2026-12-10T07:30:05Z").
    virtual std::string UtcNow() = 0;
    // A UTC time of UtcNow's form as the workstation's local "YYYY-MM-DD HH:MM".
    virtual std::string LocalMinute(const std::string& utc) = 0;
    virtual std::uint32_t ProcessId() = 0;
    // When this process started, as a text that tells two processes of one id apart.
    virtual std::string ProcessStarted() = 0;
    // The account this process runs as ("DOMAIN\user").
    virtual std::string UserName() = 0;
    // True while the process of that id that started then still runs.
    virtual bool ProcessRunning(std::uint32_t pid, const std::string& started) = 0;
    virtual std::uint32_t TickCount() = 0;
    // The programs' 8-bit texts as the journal's UTF-8, and back.
    virtual std::string ToUtf8(const std::string& text) = 0;
    virtual std::string FromUtf8(const std::string& text) = 0;
};

} // namespace sarnok
