// The main dialog's logic: every handler and every member of the firmware update dialog,
// reaching the window and the system only through the ports in CPorts.
#pragma once

#include "app/FixedText.h"
#include "app/MainView.h"
#include "app/RunOutcome.h"
#include "ports/Clock.h"
#include "ports/Digest.h"
#include "ports/EventLog.h"
#include "ports/FirmwareFile.h"
#include "ports/Handles.h"
#include "ports/LibraryLoader.h"
#include "ports/Spooler.h"
#include "ports/StatusLibrary.h"
#include "ports/SystemServices.h"
#include "ports/UpdateJournal.h"
#include "ports/UpdateLock.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sarnok {

// What the dialog reaches the world through. All references must outlive the dialog.
struct CPorts {
    IMainView& m_view;
    ISpooler& m_spooler;
    IStatusLibrary& m_statusLibrary;
    ILibraryLoader& m_loader;
    IFirmwareFile& m_files;
    IClock& m_clock;
    ISystemServices& m_system;
    IProfileReader& m_profile;
    // Checks a firmware file against the catalogue's checksum. Without it a file that has a
    // checksum in the catalogue cannot be checked and is not sent.
    IDigest* m_digest = nullptr;
    // The workstation's update journal; without it nothing is recorded.
    IUpdateJournal* m_journal = nullptr;
    // The Windows Event Log; without it no event is reported.
    IEventLog* m_events = nullptr;
    // The workstation's update lock, tried again at each click; without it none is checked.
    IUpdateLock* m_lock = nullptr;
};

// What the printer discovery found.
enum class EDiscovery : std::uint8_t {
    None,       // not run yet
    Listed,     // at least one card printer is listed
    Empty,      // the spooler answered, and no card printer is installed
    Unreadable, // the enumeration failed or overflowed its buffer
};

// Where a selection's decision ended, before any readiness wait.
enum class ESelection : std::uint8_t {
    None,           // no selection decided yet
    Unidentified,   // the status library reported no firmware version for the printer
    LatestFirmware, // refused by the latest-firmware rules
    NoFirmware,     // no entry, an unusable one, or the same version declined
    Firmware,       // the catalogue gave firmware to send; the target is in m_targetVersion
};

// A selection's decision, and whether the catalogue offered the version the printer has (the
// same-version question was asked: Firmware when it was answered Yes, NoFirmware otherwise).
struct CSelectionDecision {
    ESelection m_selection = ESelection::None;
    bool m_sameVersion = false;
};

inline constexpr std::size_t kPathTextSize = 260; // MAX_PATH, terminator included
inline constexpr std::size_t kShortTextSize = 80;
// The executable's path is read into a buffer of this many bytes, terminator included.
inline constexpr std::size_t kModulePathBufferSize = 2048;
inline constexpr unsigned kAboutCommandId = 100;

class CfuuDlg {
public:
    explicit CfuuDlg(const CPorts& ports);
    ~CfuuDlg(); // releases m_hLibrary
    CfuuDlg(const CfuuDlg&) = delete;
    CfuuDlg& operator=(const CfuuDlg&) = delete;

    // ---- Events ----
    // Printer discovery. True when the printer list was filled.
    bool OnInitDialog() { return InitDialog() == EDiscovery::Listed; }
    // The same, saying what the discovery found.
    EDiscovery InitDialog();
    void OnSysCommand(unsigned command, long parameter);
    void OnCancelClicked();
    // The user accepted an entry of the printer list (CBN_SELENDOK).
    void OnPrinterSelected();
    // The selection's identification, driver library, eligibility rules and catalogue lookup,
    // without the readiness wait that follows them: what OnPrinterSelected decides before it
    // waits. Also kept in m_selection.
    CSelectionDecision DecideSelection();
    // A click on "Update": runs and restart waits in the order of the click sequence, then the
    // click's end reported as an event.
    void OnUpdateClicked();
    // The same click without its event, for a program that asks the printer afterwards what it
    // runs (m_clickOutcome.m_confirmation) and then reports the end itself.
    void RunUpdateClick();
    // The event the click's end gives, with what the printer had when the click began.
    void ReportClickEnd(const std::string& fromVersion);

    // ---- Operations used by the handlers ----
    void UpdateRun();
    // IntermediateNotReported when a two-step wait gave up before the printer reported the
    // intermediate version: the first step did not take, and the click must not build on it.
    EWaitEnd RestartWait();
    // Resume polling, sleep 1000 ms, read the state; repeated while the state is non-zero and
    // the time since startTick, measured at the start of each pass, is under 30000 ms.
    // Returns the last state read (non-zero: the printer is not ready).
    std::int32_t PollingWait(std::uint32_t startTick);
    // The catalogue lookup: -1 missing, 0 declined or unusable, otherwise the length of
    // "Version". Output buffers hold size characters each, terminator included.
    std::int32_t GetFirmwareInfo(const char* section, char* fileName, char* version,
                                 char* intermediateFileName, char* intermediateVersion,
                                 std::uint32_t size);

    // ---- Job calls (the flash job's spool calls through the driver-interface library) ----
    // 1 when all three entry points are bound, 0 otherwise.
    int BindDriverInterface(ModuleHandle& module);
    // These raise CWinAPIException on failure.
    int StartDocument(const char* docName, const char* outputFile, const char* dataType,
                      std::uint32_t mode);
    std::uint32_t WriteJob(const void* buffer, std::uint32_t length);
    void ReadZeroLength();
    std::uint32_t ReadReply(void* buffer, std::uint32_t capacity);
    void EndDocument();

    // ---- Flash job reply ----
    // Reads until one read brings 2 bytes or more, or the limit passes. Returns the count of
    // that read (at most capacity), or 0 when no reply came in time.
    std::uint32_t ReceiveReply(std::uint8_t* buffer, std::uint32_t bufferSize);
    // 1 for a success report that ends an update, 0 otherwise.
    int HandleReply(const std::uint8_t* reply, std::uint32_t received);

    // ---- State (declaration order as the dialog has always had it) ----
    std::int32_t m_noUpdatePossible = 0;
    std::int32_t m_twoStep = 0;
    ModuleHandle m_hLibrary = nullptr;
    std::string m_messageText;
    std::string m_buttonText;
    std::int32_t m_catalogueResult = 0;
    PrinterHandle m_hPrinter = nullptr;
    std::vector<std::string> m_printerNames;
    std::vector<std::string> m_portNames;
    std::string m_firmwareFolder;
    std::int32_t m_fwMajor = 0;
    std::int32_t m_fwMinor = 0;
    std::uint32_t m_jobId = 0;
    CFixedText<kPathTextSize> m_fileName;
    CFixedText<kPathTextSize> m_targetVersion;
    CFixedText<kPathTextSize> m_intermediateFileName;
    CFixedText<kPathTextSize> m_intermediateVersion;
    // The catalogue's checksums of the two files, read with them by the selection's lookup.
    CFixedText<kPathTextSize> m_sha256;
    CFixedText<kPathTextSize> m_intermediateSha256;
    std::int32_t m_errorReply = 0;
    std::int32_t m_replyHandled = 0;
    CFixedText<kShortTextSize> m_fwVersion;
    CFixedText<kShortTextSize> m_model;
    CFixedText<kShortTextSize> m_libVersion;
    CFixedText<kPathTextSize> m_printerName;
    // How the last run ended, and how the last click ended.
    ERunOutcome m_runOutcome = ERunOutcome::None;
    CClickOutcome m_clickOutcome;
    ESelection m_selection = ESelection::None;
    // The selected printer's last update, as the journal told it at the identification.
    CLastUpdate m_lastUpdate;
    // The last catalogue lookup offered the version the printer has.
    bool m_sameVersion = false;

private:
    // The click sequence itself.
    void RunClick();
    // A status line's text, also kept for the events that quote it.
    void SetLine(int line, const std::string& text);
    // Keeps the selection's decision and returns it with the same-version answer.
    CSelectionDecision Decided(ESelection selection);
    // Loads a string-table text into m_messageText and returns it.
    const std::string& Load(unsigned id);
    void ShowText(int line, unsigned id);
    // Raises the thread's last error; kept out of line so the send loop stays small.
    [[noreturn]] void RaiseLastError();
    // Writes size bytes from data in chunks of chunkSize, the last one shorter, as job writes
    // straight from data. False as soon as a write takes no byte; raises as WriteJob does.
    bool WriteChunks(const std::uint8_t* data, std::uint32_t size, std::uint32_t chunkSize);
    // Lines 1 and 2 as the run's exit leaves them, without any text that says work is going on.
    struct CEndLines {
        std::string m_line1;
        std::string m_line2;
    };
    CEndLines RunEndLines(ERunOutcome outcome, EUpdateStep step);
    // The end of a click that the run's texts must tell: waited when the click's last restart
    // wait ended ready and overwrote them.
    void ShowClickEnd(bool waited);
    // False when the selected entry gives a checksum for the file about to be sent and the
    // file's bytes do not have it (or the checksum is no SHA-256 at all).
    // The file's SHA-256 goes to sha256 whenever it was computed: for the check, or for the
    // journal, which records every file sent.
    bool IsExpectedFile(const std::uint8_t* data, std::uint32_t size, std::string* sha256);
    // The journal's record of the run about to send fileName.
    CJournalRun JournalRun(const char* fileName, const std::string& sha256) const;
    // Writes the end of the run whose start was written, if one was.
    void JournalRunEnded();
    // Line 1 says so when the selected printer's last update was interrupted or not taken.
    void ShowUnfinishedUpdate();

    CPorts m_ports;
    bool m_runJournalled = false;
    std::array<std::string, 3> m_statusLines;
};

} // namespace sarnok
