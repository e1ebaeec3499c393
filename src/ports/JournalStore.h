// Where the update journal lives, and what it needs to know of this process and the clock.
#pragma once

#include <cstdint>
#include <string>

namespace sarnok {

// At most this much of the end of each journal file is read: what SYSTEM reads every hour must
// not grow with whatever was appended.
inline constexpr std::uint64_t kJournalReadLimit = 2 * 1024 * 1024;

enum class EJournalFileState : std::uint8_t {
    Missing,    // no file of that name
    Read,       // read to its end
    Unreadable, // there, but it could not be opened or read through
};

struct CJournalFile {
    EJournalFileState m_state = EJournalFileState::Missing;
    std::string m_text;
    // The file was longer than kJournalReadLimit: m_text is its end, from the middle of a line.
    bool m_cut = false;
};

// What became of the process that wrote a run.
enum class EProcessState : std::uint8_t {
    Running, // that process, of that start time, still runs
    Gone,
    Unknown, // it could not be asked (another account's process)
};

class IJournalStore {
public:
    virtual ~IJournalStore() = default;
    // The last kJournalReadLimit bytes (at most) of the current file, or of the older one.
    virtual CJournalFile ReadFile(bool older) = 0;
    // One whole line, LF included, in one write at the end of the file, after a line break
    // when the file does not end in one (a line torn by a power loss must not swallow it);
    // with flush, on the disk before this returns. False when it was not written.
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
    // Whether the process of that id that started then still runs.
    virtual EProcessState ProcessState(std::uint32_t pid, const std::string& started) = 0;
    // When the workstation last started, in the units of ProcessStarted (100 ns since 1601).
    virtual std::uint64_t BootTime() = 0;
    virtual std::uint32_t TickCount() = 0;
    // The programs' 8-bit texts as the journal's UTF-8, and back.
    virtual std::string ToUtf8(const std::string& text) = 0;
    virtual std::string FromUtf8(const std::string& text) = 0;
};

} // namespace sarnok
