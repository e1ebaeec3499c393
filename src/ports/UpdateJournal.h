// The workstation's record of firmware updates, which outlives the program: a run is written
// down before its first byte goes out, so one cut short by a power loss or a killed process is
// found at the printer's next identification.
#pragma once

#include "app/RunOutcome.h"

#include <functional>
#include <string>

namespace sarnok {

// What a run is about to send, as the journal keeps it.
struct CJournalRun {
    std::string m_printer;
    std::string m_port;
    std::string m_model;
    std::string m_from; // the printer's firmware at the selection
    std::string m_step; // "single", "1/2" or "2/2"
    std::string m_firmware;
    std::string m_file;
    std::string m_sha256; // the file's, lower-case hex; empty when it could not be computed
};

// A printer's last update as the journal tells it.
struct CLastUpdate {
    bool m_known = false;
    std::string m_id;
    std::string m_time; // when it started: UTC, ISO 8601
    std::string m_program;
    std::string m_firmware;
    std::string m_step;
    // The run's outcome word, "interrupted", "took", or empty while it is unfinished.
    std::string m_outcome;
    // This identification was the one that found it interrupted.
    bool m_foundNow = false;
    // Interrupted and not cleared since by a run that succeeded.
    bool Interrupted() const { return m_known && m_outcome == "interrupted"; }
    // Interrupted, or its reply said success and the printer came back on the version it had:
    // either way the printer does not run what it was sent, and a person should know.
    bool NotRunningSent() const { return Interrupted() || (m_known && m_outcome == "not-taken"); }
};

class IUpdateJournal {
public:
    virtual ~IUpdateJournal() = default;
    // A run will send a file: written down, and on the disk, before the job starts.
    virtual void RunStarted(const CJournalRun& run) = 0;
    // The outcome of the run started last, once it is known.
    virtual void RunEnded(ERunOutcome outcome) = 0;
    // The printer was identified with this firmware version: settles a run of it that never
    // ended (the firmware took, or the run was interrupted), and its last run when that one's
    // reply said success (the firmware took, or it was not taken), and returns its last update.
    // settled is asked only for the second, whether the printer is back from its restart: the
    // old version reported during a restart says nothing yet.
    virtual CLastUpdate Identified(const std::string& printer, const std::string& version,
                                   const std::function<bool()>& settled) = 0;
    // What the printer reported after the run ended last, asked by the program that ran it:
    // the firmware sent (took), or another version (not taken).
    virtual void RunChecked(bool took, const std::string& found) = 0;
    // A UTC time of the journal as the workstation's local "YYYY-MM-DD HH:MM".
    virtual std::string LocalMinute(const std::string& utc) = 0;
};

} // namespace sarnok
