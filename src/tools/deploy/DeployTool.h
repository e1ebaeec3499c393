// The deployment console's commands over the unchanged dialog logic: every printer is handled by
// a CfuuDlg of its own, freshly initialised as if the dialog had just been opened, through a
// console view. The platform's main supplies the ports and the texts.
#pragma once

#include "ConsoleView.h"
#include "DeployOptions.h"
#include "app/CfuuDlg.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sarnok::deploy {

struct CPrinterReport {
    std::string m_name;
    std::string m_port;
    std::string m_model;
    std::string m_firmware;
    std::string m_libraryVersion;
    EDecision m_decision = EDecision::Unreadable;
    std::string m_target; // empty: none
    std::string m_targetFile;
    std::string m_intermediate;
    std::string m_intermediateFile;
    bool m_clicked = false;
    EPrinterOutcome m_outcome = EPrinterOutcome::NothingToDo;
    std::array<std::string, 3> m_lines;
    // Whether the printer reported the firmware sent before the update was called done;
    // nothing when nothing was sent. The seconds it waited; nothing when it did not ask.
    std::optional<bool> m_confirmed;
    std::optional<std::uint32_t> m_confirmSeconds;
    // The printer's last update as the journal told it at the identification; the time in
    // local "YYYY-MM-DD HH:MM".
    CLastUpdate m_lastUpdate;
    std::string m_lastUpdateLocal;
};

enum class EListing : std::uint8_t {
    Ok,
    Empty,      // the spooler answered, and no card printer is installed
    Unreadable, // the enumeration failed or overflowed its buffer
};

struct CDeployEnvironment {
    // The ports of one dialog, around the view given.
    std::function<CPorts(IMainView&)> m_ports;
    CConsoleView::CTextLoader m_texts;
    IClock& m_clock;
    // Text in the program's 8-bit code page as UTF-8, for the JSON document.
    std::function<std::string(const std::string&)> m_toUtf8;
    // The program's version, which every JSON document carries.
    std::string m_version;
    // The workstation's update journal, also given in the ports; null: none.
    IUpdateJournal* m_journal = nullptr;
    // The Windows Event Log; null: none.
    IEventLog* m_events = nullptr;
};

// Passes events on to the Event Log and keeps the ids it did not take, for the log: reporting
// never stops an update, but a lost event is worth a warning.
class CEventForwarder : public IEventLog {
public:
    explicit CEventForwarder(IEventLog* events) : m_events(events) {}
    bool Report(unsigned id, EEventType type, const std::vector<std::string>& strings) override;
    std::string Program() override { return m_events != nullptr ? m_events->Program() : ""; }
    std::string Account() override { return m_events != nullptr ? m_events->Account() : ""; }
    // The ids not taken since the last call.
    std::vector<unsigned> TakeFailures() { return std::exchange(m_failures, {}); }

private:
    IEventLog* m_events;
    std::vector<unsigned> m_failures;
};

// How a run ended, for its JSON document.
struct CRunEnd {
    int m_exitCode = kExitOk;
    EDeployError m_error = EDeployError::None;
    // The printers named with --printer that are not card printers.
    std::vector<std::string> m_missing;
};

// Passes every call through, but keeps each module the dialogs release loaded until it goes
// itself: forty fresh dialogs in a row then map the driver library once instead of forty times.
// Only `status` and `detect` use it; an update loads and releases as the dialog does.
class CHoldingLoader : public ILibraryLoader {
public:
    explicit CHoldingLoader(ILibraryLoader& loader) : m_loader(loader) {}
    ~CHoldingLoader() override;
    CHoldingLoader(const CHoldingLoader&) = delete;
    CHoldingLoader& operator=(const CHoldingLoader&) = delete;
    ModuleHandle Load(const char* fileName) override { return m_loader.Load(fileName); }
    FarProc Lookup(ModuleHandle module, const char* entryName) override {
        return m_loader.Lookup(module, entryName);
    }
    void Release(ModuleHandle module) override { m_held.push_back(module); }

private:
    ILibraryLoader& m_loader;
    std::vector<ModuleHandle> m_held;
};

// Answers a lookup asked before from the first answer: `status` and `detect` read one catalogue
// for many printers that mostly share their sections, and the platform's reader opens the file
// at every lookup. The catalogue is taken as it was when the first printer was decided.
class CRememberingProfile : public IProfileReader {
public:
    explicit CRememberingProfile(IProfileReader& profile) : m_profile(profile) {}
    std::uint32_t GetString(const char* section, const char* key, char* buffer, std::uint32_t size,
                            const char* filePath) override;

private:
    IProfileReader& m_profile;
    // By section, key, size and path: the characters copied (terminator included).
    std::map<std::string, std::string> m_answers;
};

class CDeployTool {
public:
    CDeployTool(CDeployEnvironment environment, CDeployOutput& output, bool reinstall);

    // The card printers the dialog would list, as "name" and "port".
    EListing ListPrinters();
    const std::vector<std::string>& Names() const { return m_names; }

    // The selection's identification and decision, without the readiness wait.
    CPrinterReport Decide(std::size_t index);
    // The selection with its readiness wait and, when it offers the click, the click, and
    // when the click's final run said success, the wait for the printer to report the firmware.
    CPrinterReport Update(std::size_t index);
    // The longest wait for the printer to report the firmware sent; 0: none.
    void SetConfirmTimeout(std::uint32_t seconds) { m_confirmTimeoutSeconds = seconds; }

    // "  12.3 s  ": the seconds since this tool started.
    std::string Elapsed() const { return CConsoleView::Elapsed(m_env.m_clock, m_startTick); }
    // One line for `status`.
    static std::string StatusLine(const CPrinterReport& report);
    // One result line for `update`.
    static std::string ResultLine(const CPrinterReport& report);
    std::string StatusJson(const std::vector<CPrinterReport>& reports, const CRunEnd& end) const;
    std::string UpdateJson(const std::vector<CPrinterReport>& reports, const CRunEnd& end) const;
    // The discovery's status lines, which say why the list could not be read.
    const std::array<std::string, 3>& ListingLines() const { return m_listingLines; }
    // The Event Log as this tool's dialogs report to it.
    CEventForwarder& Events() { return m_events; }

private:
    CConsoleView MakeView(const std::string& printer);
    // A fresh dialog's ports, reporting through this tool's forwarder.
    CPorts PortsFor(IMainView& view);
    // A fresh dialog's discovery; false when the list is not the one listed at the start.
    bool Rediscover(CfuuDlg& dlg, CConsoleView& view, std::size_t index, CPrinterReport* report);
    void Describe(const CfuuDlg& dlg, const CConsoleView& view, CPrinterReport* report);
    // After the click: waits for the printer to report its final firmware, says how that ended
    // and gives the journal the printer's word. Sets the click's confirmation.
    void Confirm(CfuuDlg& dlg, const CPorts& ports, CPrinterReport* report);

    CDeployEnvironment m_env;
    CDeployOutput& m_output;
    bool m_reinstall;
    std::uint32_t m_confirmTimeoutSeconds = 0;
    std::uint32_t m_startTick;
    std::vector<std::string> m_names;
    std::vector<std::string> m_ports;
    std::unique_ptr<CHoldingLoader> m_holdingLoader;
    std::unique_ptr<CRememberingProfile> m_rememberingProfile;
    std::array<std::string, 3> m_listingLines;
    CEventForwarder m_events;
};

} // namespace sarnok::deploy
