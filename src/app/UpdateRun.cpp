// The update run: one firmware file sent to the selected printer as a flash job, ending through
// exactly one of its exits with everything it obtained released.
#include "app/CfuuDlg.h"
#include "app/ClickEvent.h"
#include "app/PathText.h"
#include "catalogue/Checksum.h"
#include "printer/DriverInterface.h"
#include "printer/FlashJob.h"
#include "printer/WinAPIException.h"
#include "res/resource.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace sarnok {

namespace {

constexpr const char* kStepOneOfTwo = "Step 1 of 2";
constexpr const char* kOneBlank = " ";
constexpr const char* kNoView = "Could not map view of file.";
constexpr const char* kJobNotStarted = "Failed to Start Printing Job.";
constexpr const char* kAllocationFailed = "CoTaskMemAlloc FAILED";
constexpr const char* kWarningCaption = "Warning";
// Left in the current directory by the maker's driver stack; removed once the file is open.
constexpr const char* kHandlerFile = "thandler.dat";

// What one run has obtained, released in the order the exits require.
struct CRunResources {
    IFirmwareFile& m_files;
    ISpooler& m_spooler;
    FileHandle m_file = nullptr;
    MappingHandle m_mapping = nullptr;
    const std::uint8_t* m_view = nullptr;
    bool m_printerOpen = false;

    // Unmaps the view, closes the mapping, closes the file: each as far as it was obtained.
    void ReleaseFile() {
        if (m_view != nullptr) {
            m_files.UnmapView(m_view);
            m_view = nullptr;
        }
        if (m_mapping != nullptr) {
            m_files.CloseMapping(m_mapping);
            m_mapping = nullptr;
        }
        if (m_file != nullptr) {
            m_files.CloseFile(m_file);
            m_file = nullptr;
        }
    }
    void ClosePrinter(PrinterHandle& printer) {
        if (m_printerOpen) {
            m_spooler.Close(printer);
            m_printerOpen = false;
        }
        printer = nullptr;
    }
};

// The run's job calls that raise: true when the call raised instead of returning.
template <typename Call>
bool Raised(Call&& call) {
    try {
        call();
        return false;
    } catch (const CWinAPIException&) {
        return true;
    }
}

} // namespace

// The send loop has a function of its own that starts on a cache line, so where the loop lands
// no longer depends on how long the code before it is. Inlined into the update run it fell
// wherever that code ended, and at some of those places every write cost a third more.
#if defined(__GNUC__)
#define SARNOK_SEND_LOOP __attribute__((noinline, aligned(64)))
#elif defined(_MSC_VER)
#define SARNOK_SEND_LOOP __declspec(noinline)
#else
#define SARNOK_SEND_LOOP
#endif

// One call per chunk and little else: the spooler and the printer handle are held in locals,
// which the compiler would otherwise reload from the dialog after every call through the port.
SARNOK_SEND_LOOP bool CfuuDlg::WriteChunks(const std::uint8_t* data, std::uint32_t size,
                                           std::uint32_t chunkSize) {
    ISpooler& spooler = m_ports.m_spooler;
    const PrinterHandle printer = m_hPrinter;
    const auto write = [&](const std::uint8_t* chunk, std::uint32_t length) {
        std::uint32_t written = 0;
        if (spooler.Write(printer, chunk, length, &written) == 0) {
            RaiseLastError();
        }
        return written != 0;
    };
    const std::uint32_t rest = size % chunkSize;
    const std::uint8_t* const fullEnd = data + (size - rest);
    for (; data != fullEnd; data += chunkSize) {
        if (!write(data, chunkSize)) {
            return false;
        }
    }
    return rest == 0 || write(data, rest);
}

bool CfuuDlg::IsExpectedFile(const std::uint8_t* data, std::uint32_t size, std::string* sha256) {
    // The checksum read with the file name at the selection: a catalogue changed or removed
    // since then cannot make an unchecked file go out, nor an intact one be refused.
    const std::string_view expected =
        m_twoStep != 0 ? m_intermediateSha256.view() : m_sha256.view();
    CSha256Digest actual{};
    const bool wantDigest = !expected.empty() || m_ports.m_journal != nullptr;
    const bool digested =
        wantDigest && m_ports.m_digest != nullptr && m_ports.m_digest->Sha256(data, size, &actual);
    if (digested) {
        *sha256 = FormatSha256(actual);
    }
    if (expected.empty()) {
        return true; // a catalogue without checksums sends as it always has
    }
    const std::optional<CSha256Digest> wanted = ParseSha256(expected);
    return wanted && digested && actual == *wanted;
}

CJournalRun CfuuDlg::JournalRun(const char* fileName, const std::string& sha256) const {
    CJournalRun run;
    run.m_printer = m_printerName.str();
    const auto index = static_cast<std::size_t>(m_ports.m_view.GetSelectedPrinterIndex());
    if (index < m_portNames.size() && m_printerNames[index] == run.m_printer) {
        run.m_port = m_portNames[index];
    }
    run.m_model = m_model.str();
    run.m_from = m_fwVersion.str();
    // A plan with an intermediate file whose first step is done sends its second.
    run.m_step = m_twoStep != 0 ? "1/2" : !m_intermediateFileName.empty() ? "2/2" : "single";
    run.m_firmware = m_twoStep != 0 ? m_intermediateVersion.str() : m_targetVersion.str();
    run.m_file = fileName;
    run.m_sha256 = sha256;
    return run;
}

void CfuuDlg::JournalRunEnded() {
    if (m_runJournalled && m_ports.m_journal != nullptr) {
        m_ports.m_journal->RunEnded(m_runOutcome);
    }
    m_runJournalled = false;
}

void CfuuDlg::OnUpdateClicked() {
    const std::string from = m_fwVersion.str();
    RunUpdateClick();
    ReportClickEnd(from);
}

void CfuuDlg::RunUpdateClick() {
    // A click must not flash a printer while another update runs on this workstation. Nothing
    // is sent, and "Update" stays ready for when it has finished. The lock is held from before
    // the click's first run to the end of its last, and only then: a dialog left open between
    // clicks does not keep the deployment console from the workstation's other printers.
    if (m_ports.m_lock != nullptr && m_ports.m_lock->Acquire() == ELockState::Taken) {
        m_clickOutcome = CClickOutcome{};
        m_clickOutcome.m_lockTaken = true;
        ShowText(1, IDS_ANOTHER_UPDATE);
        ShowText(2, IDS_WAIT_FOR_UPDATE);
        m_ports.m_view.EnableUpdate(true);
    } else {
        RunClick();
        if (m_ports.m_lock != nullptr) {
            m_ports.m_lock->Release();
        }
    }
}

void CfuuDlg::ReportClickEnd(const std::string& fromVersion) {
    IEventLog* events = m_ports.m_events;
    if (events == nullptr) {
        return;
    }
    const CClickEvent event = ClickEvent(m_clickOutcome);
    std::vector<std::string> strings;
    switch (event.m_id) {
    case kEventUpdateSucceeded:
        strings = {m_printerName.str(), m_model.str(), fromVersion, m_targetVersion.str(),
                   m_intermediateFileName.empty() ? "single" : "two-step"};
        break;
    case kEventUpdateFailed:
        strings = {m_printerName.str(), m_model.str(),    fromVersion,     m_targetVersion.str(),
                   event.m_outcome,     m_statusLines[0], m_statusLines[1]};
        break;
    default:
        strings = {m_printerName.str(), event.m_outcome};
        break;
    }
    strings.push_back(events->Program());
    strings.push_back(events->Account());
    events->Report(event.m_id, event.m_type, strings);
}

void CfuuDlg::RunClick() {
    m_clickOutcome = CClickOutcome{};
    const bool twoStepClick = m_twoStep != 0;
    // A two-step update sends the intermediate firmware first. A wait that ends ready clears
    // m_twoStep, so the next run sends the final firmware; one that reached the intermediate
    // version but ends not responding leaves it set, and the intermediate firmware goes out
    // again.
    if (twoStepClick) {
        UpdateRun();
        JournalRunEnded();
        m_clickOutcome.m_run = m_runOutcome;
        m_clickOutcome.m_step = EUpdateStep::Intermediate;
        // The printer got nothing to restart on: waiting minutes for a restart that cannot
        // come would end on the wrong cause. The first step is tried again at the next click.
        if (!JobWentOut(m_runOutcome)) {
            ShowClickEnd(false);
            return;
        }
        m_clickOutcome.m_sentEarlier = true;
    }
    // Before a single-step run this wait is the check that the printer answers and is idle.
    // A printer that never reported the intermediate version did not take the first step:
    // sending it again and waiting for it again would hold the dialog for minutes and end on
    // the run's texts. The click ends on what the wait showed, "Update" ready for a retry.
    if (RestartWait() == EWaitEnd::IntermediateNotReported) {
        m_clickOutcome.m_intermediateNotReported = true;
        m_clickOutcome.m_printerNotResponding = true;
        return;
    }
    const bool intermediateAgain = m_twoStep != 0;
    UpdateRun();
    JournalRunEnded();
    m_clickOutcome.m_run = m_runOutcome;
    m_clickOutcome.m_step = intermediateAgain ? EUpdateStep::Intermediate
                            : twoStepClick    ? EUpdateStep::Final
                                              : EUpdateStep::Single;
    // Without any reply handled in this dialog, check that the printer is back.
    bool waited = false;
    if (m_replyHandled == 0) {
        waited = true;
        if (RestartWait() != EWaitEnd::Ready) {
            m_clickOutcome.m_printerNotResponding = true;
            return; // the wait's verdict is the news: not responding, "Close"
        }
    }
    ShowClickEnd(waited);
}

CfuuDlg::CEndLines CfuuDlg::RunEndLines(ERunOutcome outcome, EUpdateStep step) {
    // What each exit leaves on lines 1 and 2, where a text that says work is going on (the
    // "Updating" line kept by the early exits, the first step's lines during the reply wait)
    // is empty: the work is over when the click ends.
    const bool firstStep = step == EUpdateStep::Intermediate;
    switch (outcome) {
    case ERunOutcome::None:
        return {};
    case ERunOutcome::LibraryNotLoaded:
        return {kLibraryNotLoaded, Load(IDS_NO_DRIVER)};
    case ERunOutcome::EntryPointMissing:
        return {kEntryPointMissing, Load(IDS_NO_DRIVER)};
    case ERunOutcome::PrinterNotReady:
        return {Load(IDS_NOT_RESPONDING), Load(IDS_CHECK_PRINTER)};
    case ERunOutcome::FileNotOpened:
    case ERunOutcome::NoMapping:
        return {"", Load(IDS_CANNOT_OPEN_FILE)};
    case ERunOutcome::EmptyFile:
        return {kOneBlank, Load(IDS_CANNOT_OPEN_FILE)};
    case ERunOutcome::NoView:
        return {kOneBlank, kNoView};
    case ERunOutcome::FileRefused:
        return {Load(IDS_FILE_DAMAGED), Load(IDS_CONTACT_PROVIDER)};
    case ERunOutcome::JobNotStarted:
        return {kOneBlank, kJobNotStarted};
    case ERunOutcome::SendFailed:
        return {Load(IDS_CANNOT_SEND), Load(IDS_CHECK_PRINTER)};
    case ERunOutcome::NoStatusReply:
        return {Load(IDS_NO_STATUS), ""};
    case ERunOutcome::ReplySuccess:
        return firstStep ? CEndLines{} : CEndLines{"", Load(IDS_UPDATE_SUCCESSFUL)};
    case ERunOutcome::ReplyError:
        return firstStep ? CEndLines{} : CEndLines{Load(IDS_CANNOT_OPEN_FILE), ""};
    case ERunOutcome::ReplyUnreadable:
        return firstStep ? CEndLines{}
                         : CEndLines{Load(IDS_STATUS_UNREADABLE), Load(IDS_CHECK_PRINTER)};
    }
    return {};
}

void CfuuDlg::ShowClickEnd(bool waited) {
    IMainView& view = m_ports.m_view;
    const ERunOutcome outcome = m_clickOutcome.m_run;
    const EUpdateStep step = m_clickOutcome.m_step;
    // The success and error reports of the final firmware are on the screen as the reply
    // handling left them.
    if ((outcome == ERunOutcome::ReplySuccess || outcome == ERunOutcome::ReplyError) &&
        step != EUpdateStep::Intermediate) {
        return;
    }
    // A printer that was busy before the run and is ready now is simply ready for the click.
    if (waited && outcome == ERunOutcome::PrinterNotReady) {
        return;
    }
    const CEndLines lines = RunEndLines(outcome, step);
    SetLine(1, lines.m_line1);
    SetLine(2, lines.m_line2);
    if (step == EUpdateStep::Intermediate && !m_clickOutcome.m_sentEarlier) {
        // The first step failed before the printer got it: the next click starts there.
        SetLine(3, kStepOneOfTwo);
    }
    // Nothing went out whole, so nothing can be restarting: another try may follow at once.
    if (!JobWentOut(outcome)) {
        view.EnableUpdate(true);
    }
}

void CfuuDlg::UpdateRun() {
    IMainView& view = m_ports.m_view;
    IFirmwareFile& files = m_ports.m_files;
    ISystemServices& system = m_ports.m_system;

    view.EnableUpdate(false);
    const std::uint32_t startTick = m_ports.m_clock.GetTickCount();
    view.BeginWaitCursor();
    // Standby in the middle of a flash would leave the printer without firmware.
    system.KeepSystemAwake(true);

    CRunResources run{files, m_ports.m_spooler};
    bool jobStarted = false;
    m_runOutcome = ERunOutcome::None;

    const auto finish = [&]() {
        system.KeepSystemAwake(false);
        view.EndWaitCursor();
    };
    // The end-document call at an exit; its failure cannot be mended there and is passed over.
    const auto endJob = [&]() {
        if (jobStarted) {
            Raised([&] { EndDocument(); });
            jobStarted = false;
        }
    };
    // The releases every exit after the file was opened makes, job and printer included.
    const auto releaseAll = [&]() {
        endJob();
        run.ReleaseFile();
        run.ClosePrinter(m_hPrinter);
        files.Delete(kHandlerFile);
        finish();
    };
    const auto showLines = [&](const std::string& line1, const std::string& line2,
                               const std::string& line3) {
        SetLine(1, line1);
        SetLine(2, line2);
        SetLine(3, line3);
    };

    const bool libraryLoaded = m_hLibrary != nullptr;
    if (BindDriverInterface(m_hLibrary) == 0) {
        m_runOutcome =
            libraryLoaded ? ERunOutcome::EntryPointMissing : ERunOutcome::LibraryNotLoaded;
        ShowText(2, IDS_NO_DRIVER);
        finish();
        return;
    }

    ShowText(2, IDS_CONNECTING);
    if (PollingWait(startTick) != 0) {
        m_runOutcome = ERunOutcome::PrinterNotReady;
        ShowText(1, IDS_NOT_RESPONDING);
        ShowText(2, IDS_CHECK_PRINTER);
        finish();
        return;
    }

    ShowText(1, IDS_UPDATING);
    ShowText(2, IDS_PRINTER_BEEPS);

    std::string executablePath;
    const bool havePath = system.GetExecutablePath(&executablePath);
    m_firmwareFolder = RemoveFileSpec(executablePath) + "\\";
    const char* fileName = m_fileName.c_str();
    if (m_twoStep != 0) {
        SetLine(3, kStepOneOfTwo);
        fileName = m_intermediateFileName.c_str();
    }
    const std::string path = m_firmwareFolder + fileName;

    // Without the executable's folder, or with a name that leaves it, the file would be found
    // (or an empty one created) elsewhere: treated as a file that cannot be opened.
    if (havePath && StaysInFolder(fileName)) {
        files.SetNormalAttributes(path);
        run.m_file = files.OpenExclusive(path);
    }
    if (run.m_file == nullptr) {
        m_runOutcome = ERunOutcome::FileNotOpened;
        ShowText(2, IDS_CANNOT_OPEN_FILE);
        finish();
        return;
    }

    // The size field has 32 bits: a larger file must not go out with a truncated size.
    const std::uint64_t fullSize = files.GetSize(run.m_file);
    if (fullSize == 0 || fullSize > kLargestFlashFileSize) {
        m_runOutcome = ERunOutcome::EmptyFile;
        showLines(kOneBlank, Load(IDS_CANNOT_OPEN_FILE), kOneBlank);
        releaseAll();
        return;
    }
    const auto size = static_cast<std::uint32_t>(fullSize);

    run.m_mapping = files.CreateMapping(run.m_file, size);
    if (run.m_mapping == nullptr) {
        m_runOutcome = ERunOutcome::NoMapping;
        ShowText(2, IDS_CANNOT_OPEN_FILE);
        releaseAll();
        return;
    }
    run.m_view = files.MapView(run.m_mapping);
    if (run.m_view == nullptr) {
        m_runOutcome = ERunOutcome::NoView;
        showLines(kOneBlank, kNoView, kOneBlank);
        releaseAll();
        return;
    }

    // A file cut short on its way here (or another file under the expected name) must not
    // reach the printer, which would be left without working firmware.
    std::string sha256;
    if (!IsExpectedFile(run.m_view, size, &sha256)) {
        m_runOutcome = ERunOutcome::FileRefused;
        ShowText(1, IDS_FILE_DAMAGED);
        ShowText(2, IDS_CONTACT_PROVIDER);
        SetLine(3, "");
        releaseAll();
        return;
    }

    // On the disk before the job starts: whatever ends this process from here on, the next
    // identification of the printer finds the run that never ended.
    if (m_ports.m_journal != nullptr) {
        m_ports.m_journal->RunStarted(JournalRun(fileName, sha256));
        m_runJournalled = true;
    }

    // The block only carries the text into the name field; without it the same text is used
    // directly.
    CFlashHeader header{};
    if (auto* block = static_cast<char*>(system.AllocateTaskMemory(kHeaderTextBlockSize))) {
        std::strncpy(block, kFlashHeaderName, kHeaderTextBlockSize - 1);
        block[kHeaderTextBlockSize - 1] = '\0';
        header = BuildFlashHeader(block, size);
        system.FreeTaskMemory(block);
    } else {
        view.ShowMessageBox(kAllocationFailed, kWarningCaption, EMessageButtons::Ok);
        header = BuildFlashHeader(kFlashHeaderName, size);
    }

    // Not tested here: a printer that did not open makes the start-document call fail.
    m_hPrinter = nullptr;
    run.m_printerOpen =
        m_ports.m_spooler.Open(m_printerName.c_str(), &m_hPrinter, kPrinterAllAccess);

    const bool startRaised = Raised([&] {
        jobStarted = StartDocument(kFlashDocumentName, nullptr, nullptr, kFlashJobMode) != 0;
    });
    if (startRaised || !jobStarted) {
        m_runOutcome = ERunOutcome::JobNotStarted;
        showLines(kOneBlank, kJobNotStarted, kOneBlank);
        releaseAll();
        return;
    }

    // Written straight from the view; a multiple of 2000 gets no empty last write, which
    // would count as a failed send after every byte went out.
    bool sent = false;
    const bool sendRaised = Raised([&] {
        if (WriteJob(header.data(), kFlashHeaderSize) == 0) {
            return;
        }
        ReadZeroLength();
        if (!WriteChunks(run.m_view, size, kFlashChunkSize)) {
            return;
        }
        ReadZeroLength();
        sent = true;
    });
    if (sendRaised || !sent) {
        m_runOutcome = ERunOutcome::SendFailed;
        ShowText(1, IDS_CANNOT_SEND);
        ShowText(2, IDS_CHECK_PRINTER);
        releaseAll();
        return;
    }

    ShowText(2, IDS_WAITING_FOR_STATUS);
    if (m_twoStep == 0) {
        SetLine(1, "");
        SetLine(3, "");
    }

    std::uint8_t reply[kReplyBufferSize];
    const std::uint32_t received = ReceiveReply(reply, kReplyBufferSize);
    if (received == 0) {
        m_runOutcome = ERunOutcome::NoStatusReply;
        showLines(Load(IDS_NO_STATUS), "", "");
        releaseAll();
        return;
    }

    if (HandleReply(reply, received) == 1) {
        m_errorReply = 0;
    }
    switch (ClassifyReply(reply, received)) {
    case EReplyKind::Success:
        m_runOutcome = ERunOutcome::ReplySuccess;
        break;
    case EReplyKind::Error:
        m_runOutcome = ERunOutcome::ReplyError;
        break;
    default:
        m_runOutcome = ERunOutcome::ReplyUnreadable;
        break;
    }
    view.SetCancelCaption(Load(IDS_CLOSE));
    endJob();
    view.RefreshNow();
    releaseAll();
}

} // namespace sarnok
