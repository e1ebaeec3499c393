// The update journal: one JSON object a line, appended by both programs. A run's "started"
// record is on the disk before its job starts, its "ended" record follows when its outcome is
// known, and a run that never ended is settled by a "checked" record at the printer's next
// identification: the firmware took, or the update was interrupted.
#pragma once

#include "ports/JournalStore.h"
#include "ports/UpdateJournal.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sarnok {

// The journal is renamed to its older name before a run is added once it has passed this.
inline constexpr std::uint64_t kJournalRotateSize = 1024 * 1024;
// At most this many of the newest records are read, and a longer line is no record of ours.
inline constexpr std::size_t kJournalRecordLimit = 20000;
inline constexpr std::size_t kJournalLineLimit = 16 * 1024;
// The longest text a record's field may hold; printer names and paths are far shorter.
inline constexpr std::size_t kJournalFieldLimit = 512;

// "2026-12-10T07:30:05Z", as the journal writes its times; anything else is no time of ours.
bool IsJournalTime(const std::string& text);

// Whether the run written by the process of that id and start time may still be under way: a
// process that started before the workstation's last start is gone whatever its id now names,
// and one that cannot be asked is settled like one that is gone, since only an elevated program
// reads the journal at all.
bool RunMayBeUnderWay(IJournalStore& store, std::uint32_t pid, const std::string& started);

// One run as the journal tells it, with what became of it.
struct CJournalEntry {
    std::string m_id;
    std::string m_time;
    std::string m_program;
    std::string m_user;
    std::uint32_t m_pid = 0;
    std::string m_processStarted;
    CJournalRun m_run;
    // The "ended" outcome word, "took", "interrupted" or "not-taken"; empty while unfinished.
    std::string m_outcome;
    // For a settled run: the version the printer reported.
    std::string m_found;
};

class CUpdateJournal : public IUpdateJournal {
public:
    // program: "Sarnok" or "SarnokDeploy". Only a program that may rotate the file renames it
    // when it has grown; the other only appends.
    CUpdateJournal(IJournalStore& store, std::string program, bool mayRotate);

    void RunStarted(const CJournalRun& run) override;
    void RunEnded(ERunOutcome outcome) override;
    CLastUpdate Identified(const std::string& printer, const std::string& version,
                           const std::function<bool()>& settled) override;
    void RunChecked(bool took, const std::string& found) override;
    // "?" for a time that is not the journal's own form.
    std::string LocalMinute(const std::string& utc) override;

    // Every run in the journal, oldest first; false when there is no journal to read.
    bool Runs(std::vector<CJournalEntry>* runs);
    // A journal file is there but could not be read: what it holds is unknown, not empty.
    bool Unreadable();
    // What went wrong since the last call (a line skipped, a record not written), for a log.
    std::vector<std::string> TakeProblems();

private:
    void Load();
    // Adds one record to the runs read so far; false when the line is no valid record.
    bool Apply(const std::string& line);
    void Write(const std::string& line, bool flush, const char* what);
    CLastUpdate LastUpdate(const std::string& printer) const;
    // The "checked" record of a run: what the printer reported, and what that says of the run.
    std::string CheckedRecord(const std::string& id, const char* result, const std::string& found);
    // True when version is what the printer had before the run at index: its "from", or for
    // the second step the first step's firmware.
    bool VersionBefore(std::size_t index, const std::string& version) const;

    IJournalStore& m_store;
    std::string m_program;
    bool m_mayRotate;
    bool m_loaded = false;
    bool m_readable = false;
    bool m_unreadable = false;
    std::vector<CJournalEntry> m_runs;
    std::map<std::string, std::size_t> m_byId;
    std::string m_startedId; // the run this process started last and has not ended
    std::string m_endedId;   // the run this process ended last and has not checked
    unsigned m_sequence = 0;
    std::vector<std::string> m_problems;
};

} // namespace sarnok
