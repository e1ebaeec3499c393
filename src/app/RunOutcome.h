// How an update run ended, and how a click on "Update" ended: one value each, so that the end
// of a click is decided from what happened and never from texts read back off the screen. The
// deployment console maps the same values to its exit codes.
#pragma once

#include <cstdint>

namespace sarnok {

// The exit an update run took; for a handled reply, what the reply said.
enum class ERunOutcome : std::uint8_t {
    None,              // no run has ended yet
    LibraryNotLoaded,  // no driver-interface library
    EntryPointMissing, // the driver-interface library lacks an entry point
    PrinterNotReady,   // the polling wait before anything was sent did not settle
    FileNotOpened,
    EmptyFile, // also a file too large for the flash header's size field
    NoMapping,
    NoView,
    FileRefused, // the file's checksum is not the catalogue's
    JobNotStarted,
    SendFailed,
    NoStatusReply, // the whole job went out; no reply came in time
    ReplySuccess,
    ReplyError,      // the printer reported that it rejected the firmware
    ReplyUnreadable, // a reply came but reports neither success nor an error
};

// The run's outcome as the update journal and the reports write it.
constexpr const char* RunOutcomeWord(ERunOutcome outcome) {
    switch (outcome) {
    case ERunOutcome::None:
        return "none";
    case ERunOutcome::LibraryNotLoaded:
        return "no-driver-library";
    case ERunOutcome::EntryPointMissing:
        return "driver-entry-missing";
    case ERunOutcome::PrinterNotReady:
        return "not-ready";
    case ERunOutcome::FileNotOpened:
        return "file-not-opened";
    case ERunOutcome::EmptyFile:
        return "empty-file";
    case ERunOutcome::NoMapping:
        return "no-mapping";
    case ERunOutcome::NoView:
        return "no-view";
    case ERunOutcome::FileRefused:
        return "file-refused";
    case ERunOutcome::JobNotStarted:
        return "job-not-started";
    case ERunOutcome::SendFailed:
        return "send-failed";
    case ERunOutcome::NoStatusReply:
        return "no-reply";
    case ERunOutcome::ReplySuccess:
        return "success";
    case ERunOutcome::ReplyError:
        return "error-report";
    case ERunOutcome::ReplyUnreadable:
        return "unreadable";
    }
    return "none";
}

// True when the run's job went out whole: the printer may be restarting on what it got.
constexpr bool JobWentOut(ERunOutcome outcome) {
    return outcome == ERunOutcome::NoStatusReply || outcome == ERunOutcome::ReplySuccess ||
           outcome == ERunOutcome::ReplyError || outcome == ERunOutcome::ReplyUnreadable;
}

// How a restart wait ended.
enum class EWaitEnd : std::uint8_t {
    Ready,
    NotResponding,
    // The bounded wait for the intermediate version gave up: the first step did not take.
    IntermediateNotReported,
};

// Which firmware the run sent.
enum class EUpdateStep : std::uint8_t {
    Single,       // the final firmware of a single-step update
    Intermediate, // the first step of a two-step update
    Final,        // the final firmware, after the intermediate step of the same click
};

// What the printer reported after a click's final run said success, where the program asked it:
// the console asks before it calls the update done, the dialog leaves it to the next
// identification.
enum class EConfirmation : std::uint8_t {
    NotAsked,
    Confirmed,   // it reports the firmware sent, and its polling has settled
    Unconfirmed, // the old version, or no version at all, when the time was up
    NotTaken,    // it is back with a version that is neither the old one nor the one sent
};

// How a click ended. m_run is the outcome of the click's last run; m_step says which firmware
// that run sent. A click that stopped because the printer never reported the intermediate
// version ends with m_intermediateNotReported set and m_step Intermediate.
struct CClickOutcome {
    ERunOutcome m_run = ERunOutcome::None;
    EUpdateStep m_step = EUpdateStep::Single;
    bool m_intermediateNotReported = false;
    // An earlier run of the same click sent its whole job.
    bool m_sentEarlier = false;
    // The click's last restart wait ended with the printer not responding.
    bool m_printerNotResponding = false;
    // Another program held the workstation's update lock: the click sent nothing.
    bool m_lockTaken = false;
    // What the printer reported after the final run's success.
    EConfirmation m_confirmation = EConfirmation::NotAsked;

    // The printer took its final firmware and said so, and reports it where it was asked.
    constexpr bool Updated() const {
        return m_run == ERunOutcome::ReplySuccess && m_step != EUpdateStep::Intermediate &&
               !m_intermediateNotReported &&
               (m_confirmation == EConfirmation::NotAsked ||
                m_confirmation == EConfirmation::Confirmed);
    }
    // Nothing went out because the printer was busy: worth trying again later.
    constexpr bool Busy() const { return m_run == ERunOutcome::PrinterNotReady && !m_sentEarlier; }
};

} // namespace sarnok
