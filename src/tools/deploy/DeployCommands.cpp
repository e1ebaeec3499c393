#include "DeployCommands.h"

#include "catalogue/Checksum.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sarnok::deploy {

namespace {

// Printer names compare as the spooler compares them: without regard to ASCII case.
bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

constexpr const char* kLockTakenText =
    "Another program holds the update lock's name (a firmware update is running on this "
    "workstation, or an object squats on the name): nothing was done; try again later.";
constexpr const char* kNoStatusLibraryText =
    "Card printers are installed, but the card printer status library (ORN_API.dll) is not on "
    "this workstation.";

int ExitCodeOf(EDeployError error) {
    switch (error) {
    case EDeployError::None:
        return kExitOk;
    case EDeployError::Busy:
    case EDeployError::Interrupted:
        return kExitRetryLater;
    case EDeployError::PrinterNotFound:
        return kExitPrinterMissing;
    case EDeployError::NoCatalogue:
    case EDeployError::NoPrinterList:
    case EDeployError::NoStatusLibrary:
        return kExitUsage;
    case EDeployError::Internal:
        return kExitFailed;
    }
    return kExitUsage;
}

// Why the printers could not be listed, with what the discovery's status lines said.
std::string ListingProblem(const CDeployTool& tool) {
    std::string why = "the printer list could not be read";
    for (const std::string& line : tool.ListingLines()) {
        if (!line.empty()) {
            why += ": " + line;
        }
    }
    return why;
}

// The checks a run that reads the printers makes before any printer, in this order: the lock,
// the catalogue, the printer list, and, when card printers are listed, the status library.
// On an error, why says it in one line.
EDeployError CheckBeforePrinters(IDeployPlatform& platform, CDeployTool& tool, std::string* why) {
    if (platform.AcquireUpdateLock() == ELockAnswer::Taken) {
        *why = kLockTakenText;
        return EDeployError::Busy;
    }
    std::string catalogue;
    if (!platform.CatalogueReadable(&catalogue)) {
        *why = "cannot read " + catalogue;
        return EDeployError::NoCatalogue;
    }
    const EListing listing = tool.ListPrinters();
    if (listing == EListing::Unreadable) {
        *why = ListingProblem(tool);
        return EDeployError::NoPrinterList;
    }
    if (listing == EListing::Ok && !platform.StatusLibraryLoaded()) {
        *why = kNoStatusLibraryText;
        return EDeployError::NoStatusLibrary;
    }
    return EDeployError::None;
}

void Warn(IDeployPlatform& platform, const std::string& text) {
    platform.WriteErr(std::string(platform.Program()) + ": " + text + "\n");
}

// What went wrong with the journal since the last look: a warning each, on stderr and, when
// there is one, in the log. The update goes on as it would without the journal.
void WarnOfJournal(IDeployPlatform& platform, CDeployOutput* output) {
    CUpdateJournal* journal = platform.Journal();
    if (journal == nullptr) {
        return;
    }
    for (const std::string& problem : journal->TakeProblems()) {
        Warn(platform, "warning: " + problem);
        if (output != nullptr) {
            output->LogOnly("warning: " + problem, ELogType::Warning);
        }
    }
}

// The document of a run the program itself could not finish.
std::string InternalJson(IDeployPlatform& platform, bool update) {
    nlohmann::ordered_json document = {{"version", platform.Version()},
                                       {"exitCode", kExitFailed},
                                       {"error", ErrorWord(EDeployError::Internal)}};
    if (update) {
        document["missing"] = nlohmann::ordered_json::array();
    }
    document["printers"] = nlohmann::ordered_json::array();
    return document.dump(2);
}

// Folders SYSTEM could not trust and set aside: a warning each, on stderr, in the log when
// there is one, and on the Event Log, which an administrator watching the fleet reads.
void ReportSetAside(IDeployPlatform& platform, CEventForwarder& events, CDeployOutput* output) {
    for (const CSetAside& aside : platform.TakeSetAside()) {
        const std::string text = "warning: " + aside.m_why + ": renamed to " + aside.m_newPath +
                                 " and made again for SYSTEM and Administrators alone";
        Warn(platform, text);
        if (output != nullptr) {
            output->LogOnly(text, ELogType::Warning);
        }
        events.Report(kEventFolderSetAside, EEventType::Warning,
                      {aside.m_path, aside.m_newPath, aside.m_why, aside.m_oldOwner,
                       events.Program(), events.Account()});
    }
}

int Status(const CDeployOptions& options, IDeployPlatform& platform) {
    // A run that identifies printers may settle an interrupted update and report it.
    platform.PrepareEventSource();
    CDeployOutput output(nullptr, nullptr);
    CDeployTool tool(platform.Environment(), output, false);
    ReportSetAside(platform, tool.Events(), nullptr);
    std::string why;
    CRunEnd end;
    end.m_error = CheckBeforePrinters(platform, tool, &why);
    end.m_exitCode = ExitCodeOf(end.m_error);
    std::vector<CPrinterReport> reports;
    std::string text;
    if (end.m_error == EDeployError::Busy) {
        // A person at the console reads this; a script reads the exit code or the document.
        text = std::string(kLockTakenText) + "\n";
    } else if (end.m_error != EDeployError::None) {
        Warn(platform, why);
    } else {
        for (std::size_t i = 0; i < tool.Names().size(); ++i) {
            reports.push_back(tool.Decide(i));
            text += CDeployTool::StatusLine(reports.back()) + "\n";
        }
        WarnOfJournal(platform, nullptr);
        if (reports.empty()) {
            text = "No card printer is installed.\n";
        }
    }
    if (options.m_json) {
        text = tool.StatusJson(reports, end) + "\n";
    }
    // One write: nothing here waits, and a console takes many small writes slowly.
    platform.WriteOut(text);
    return end.m_exitCode;
}

// A detection rule: one line and 0 for "installed", nothing and 0 for "not installed", and any
// other exit code for "cannot tell", which the deployment system reports as an error.
int Detect(const CDeployOptions& options, IDeployPlatform& platform) {
    if (!options.m_catalogueSha256.empty()) {
        // Another package's catalogue beside the program (or none) is not this package's: it
        // is not installed, whatever that catalogue would decide.
        const auto digest = platform.CatalogueSha256();
        if (!digest || FormatSha256(*digest) != options.m_catalogueSha256) {
            return kExitOk;
        }
    }
    CDeployOutput output(nullptr, nullptr);
    CDeployTool tool(platform.Environment(), output, false);
    ReportSetAside(platform, tool.Events(), nullptr);
    if (platform.AcquireUpdateLock() == ELockAnswer::Taken) {
        // Not installed: the install runs, meets the lock and answers 1618, which the
        // deployment system retries later.
        return kExitOk;
    }
    if (!platform.StatusLibraryLoaded()) {
        platform.WriteOut("No card printer software on this workstation.\n");
        return kExitOk;
    }
    std::string catalogue;
    if (!platform.CatalogueReadable(&catalogue)) {
        Warn(platform, "cannot read " + catalogue);
        return kExitUsage;
    }
    if (tool.ListPrinters() == EListing::Unreadable) {
        Warn(platform, ListingProblem(tool));
        return kExitUsage;
    }
    for (std::size_t i = 0; i < tool.Names().size(); ++i) {
        const EDecision decision = tool.Decide(i).m_decision;
        // A printer that could not be identified may well want firmware: "not yet" is honest,
        // and the update answers 1618 for it until it can be reached.
        if (decision == EDecision::Update || decision == EDecision::TwoStep ||
            decision == EDecision::Unreadable) {
            // Something to install: a detection rule says so with no output at all.
            return kExitOk;
        }
    }
    platform.WriteOut("No card printer would receive firmware from this catalogue.\n");
    return kExitOk;
}

// The chosen printers' indexes in list order; the names given that are not card printers go to
// missing.
std::vector<std::size_t> ChoosePrinters(const CDeployOptions& options, const CDeployTool& tool,
                                        std::vector<std::string>* missing) {
    const auto& names = tool.Names();
    for (const std::string& wanted : options.m_printers) {
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return SameName(n, wanted); })) {
            missing->push_back(wanted);
        }
    }
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool named =
            std::any_of(options.m_printers.begin(), options.m_printers.end(),
                        [&](const std::string& wanted) { return SameName(names[i], wanted); });
        if (options.m_all || named) {
            chosen.push_back(i);
        }
    }
    return chosen;
}

// Stops passing console-close notes to an output that is about to go.
class CCloseWatch {
public:
    CCloseWatch(IDeployPlatform& platform, CDeployOutput& output) : m_platform(platform) {
        m_platform.WatchConsoleClose([&output](const std::string& what) {
            output.LogOnly(what + ": Windows ends this program now; a printer being updated may "
                                  "be left without its firmware",
                           ELogType::Warning);
        });
    }
    ~CCloseWatch() { m_platform.WatchConsoleClose({}); }
    CCloseWatch(const CCloseWatch&) = delete;
    CCloseWatch& operator=(const CCloseWatch&) = delete;

private:
    IDeployPlatform& m_platform;
};

int UpdatePrinters(const CDeployOptions& options, IDeployPlatform& platform,
                   CDeployOutput& output) {
    platform.PrepareEventSource();
    CDeployTool tool(platform.Environment(), output, options.m_reinstall);
    tool.SetConfirmTimeout(options.m_confirmTimeoutSeconds);
    output.SetElapsed([&tool] { return tool.Elapsed(); });
    // Its note writes to the log through the tool: watched only while both are there.
    std::optional<CCloseWatch> closeWatch;
    closeWatch.emplace(platform, output);
    ReportSetAside(platform, tool.Events(), &output);

    CRunEnd end;
    std::string why;
    end.m_error = CheckBeforePrinters(platform, tool, &why);
    if (const std::string note = platform.LockFallbackNote(); !note.empty()) {
        output.LogOnly("warning: " + note, ELogType::Warning);
    }
    std::vector<std::size_t> chosen;
    if (end.m_error == EDeployError::None) {
        chosen = ChoosePrinters(options, tool, &end.m_missing);
        for (const std::string& name : end.m_missing) {
            output.Line("\"" + name + "\" is not among the card printers", ELogType::Error);
        }
        if (!end.m_missing.empty()) {
            end.m_error = EDeployError::PrinterNotFound;
            chosen.clear();
        }
    } else {
        if (end.m_error != EDeployError::Busy) {
            Warn(platform, why);
        } else {
            CEventForwarder& events = tool.Events();
            events.Report(
                kEventUpdateNotStarted, EEventType::Warning,
                {"", "another program holds the update lock", events.Program(), events.Account()});
        }
        output.LogOnly(why,
                       end.m_error == EDeployError::Busy ? ELogType::Warning : ELogType::Error);
    }

    std::vector<CPrinterReport> reports;
    std::vector<EPrinterOutcome> outcomes;
    for (const std::size_t index : chosen) {
        // A Ctrl+C that came during a printer's update is acted on here, once that printer's
        // click has ended: the printers not yet started are left for another run.
        if (platform.InterruptRequested()) {
            output.Line("Ctrl+C or Ctrl+Break came: stopping before " + tool.Names()[index] + "; " +
                        std::to_string(chosen.size() - reports.size()) + " printer(s) not updated");
            end.m_error = EDeployError::Interrupted;
            break;
        }
        reports.push_back(tool.Update(index));
        outcomes.push_back(reports.back().m_outcome);
        const EPrinterOutcome outcome = reports.back().m_outcome;
        output.Line(CDeployTool::ResultLine(reports.back()),
                    outcome == EPrinterOutcome::Failed || outcome == EPrinterOutcome::Unconfirmed
                        ? ELogType::Error
                    : outcome == EPrinterOutcome::Busy ? ELogType::Warning
                                                       : ELogType::Information);
        WarnOfJournal(platform, &output);
    }
    end.m_exitCode = ExitCodeFor(outcomes);
    // A failure outranks what was left undone: a person has to look either way.
    if (end.m_error != EDeployError::None &&
        !(end.m_error == EDeployError::Interrupted && end.m_exitCode == kExitFailed)) {
        end.m_exitCode = ExitCodeOf(end.m_error);
    }
    const auto count = [&](EPrinterOutcome outcome) {
        return std::to_string(std::count(outcomes.begin(), outcomes.end(), outcome));
    };
    const char* error = ErrorWord(end.m_error);
    output.Line("Summary: " + std::to_string(outcomes.size()) +
                    " printer(s): " + count(EPrinterOutcome::Updated) + " updated, " +
                    count(EPrinterOutcome::NothingToDo) + " nothing to do, " +
                    count(EPrinterOutcome::Failed) + " failed, " +
                    count(EPrinterOutcome::Unconfirmed) + " unconfirmed, " +
                    count(EPrinterOutcome::Busy) + " busy; exit code " +
                    std::to_string(end.m_exitCode) +
                    (error != nullptr ? std::string(" (") + error + ")" : std::string()),
                end.m_exitCode == kExitOk           ? ELogType::Information
                : end.m_exitCode == kExitRetryLater ? ELogType::Warning
                                                    : ELogType::Error);
    CEventForwarder& events = tool.Events();
    events.Report(kEventDeployRunEnded,
                  end.m_exitCode == kExitOk           ? EEventType::Information
                  : end.m_exitCode == kExitRetryLater ? EEventType::Warning
                                                      : EEventType::Error,
                  {std::to_string(end.m_exitCode), count(EPrinterOutcome::Updated),
                   count(EPrinterOutcome::NothingToDo),
                   // The message table has one count for both ends that give exit code 1.
                   std::to_string(std::count_if(outcomes.begin(), outcomes.end(),
                                                [](EPrinterOutcome o) {
                                                    return o == EPrinterOutcome::Failed ||
                                                           o == EPrinterOutcome::Unconfirmed;
                                                })),
                   count(EPrinterOutcome::Busy), events.Account()});
    for (const unsigned id : events.TakeFailures()) {
        output.LogOnly("warning: the Event Log did not take event " + std::to_string(id),
                       ELogType::Warning);
    }
    if (options.m_json) {
        platform.WriteOut(tool.UpdateJson(reports, end) + "\n");
    }
    return end.m_exitCode;
}

int Update(const CDeployOptions& options, IDeployPlatform& platform) {
    if (!options.m_logFile.empty()) {
        // SYSTEM appends to this file and renames it when full: in a folder a user can change,
        // a planted junction or link would turn either into a write or a move anywhere.
        if (const auto problem = platform.LogFolderProblem(options.m_logFile)) {
            Warn(platform, "--log " + options.m_logFile +
                               ": its folder is not one that only "
                               "administrators can change: " +
                               *problem + "; nothing was done");
            return kExitUsage;
        }
    }
    std::string logPath;
    std::string logProblem;
    std::FILE* log = platform.OpenLog(options.m_logFile, &logPath, &logProblem);
    if (log == nullptr && !logProblem.empty()) {
        Warn(platform, "warning: " + logProblem + "; going on without the log");
    }
    const std::string account = platform.Account();
    const CDeployOutput::CWriter console = [&platform](const std::string& t) {
        platform.WriteOut(t);
    };
    CDeployOutput output(options.m_json ? nullptr : console, log,
                         [&platform, account](const std::string& message, ELogType type) {
                             return CmTraceRecord(message, type, platform.LogStamp(),
                                                  platform.Program(), account);
                         });
    // Every run leaves its header and its end in the log, whatever ends it.
    output.LogOnly("==== " + platform.Now() + "  " + platform.Program() + " " + platform.Version() +
                   " update" + (options.m_all ? " --all" : "") +
                   (options.m_reinstall ? " --reinstall" : ""));
    int code = kExitFailed;
    try {
        code = UpdatePrinters(options, platform, output);
    } catch (const std::exception& failure) {
        // Out of memory or worse: still one record and one document, as for every other end.
        output.Line(std::string("Summary: the program failed (") + failure.what() +
                        "); exit code 1 (internal)",
                    ELogType::Error);
        if (options.m_json) {
            platform.WriteOut(InternalJson(platform, true) + "\n");
        }
    }
    if (log != nullptr) {
        std::fclose(log);
    }
    return code;
}

int DetectionScriptCommand(const CDeployOptions& options, IDeployPlatform& platform) {
    const auto digest = platform.CatalogueSha256();
    if (!digest) {
        std::string catalogue;
        platform.CatalogueReadable(&catalogue);
        Warn(platform, "cannot read " + catalogue);
        return kExitUsage;
    }
    platform.WriteOut(DetectionScript(FormatSha256(*digest), options.m_folder));
    return kExitOk;
}

// The journal's runs, newest first, one line each or one JSON document.
int History(const CDeployOptions& options, IDeployPlatform& platform) {
    if (!platform.Elevated()) {
        Warn(platform, "the update journal is for administrators: run history from an elevated "
                       "prompt or as SYSTEM");
        return kExitUsage;
    }
    const CDeployEnvironment environment = platform.Environment();
    CEventForwarder events(environment.m_events);
    ReportSetAside(platform, events, nullptr);
    CUpdateJournal* journal = platform.Journal();
    std::vector<CJournalEntry> runs;
    if (journal != nullptr && journal->Unreadable()) {
        Warn(platform, "the update journal cannot be read");
        return kExitUsage;
    }
    if (journal == nullptr || !journal->Runs(&runs)) {
        Warn(platform, "there is no update journal on this workstation");
        return kExitUsage;
    }
    WarnOfJournal(platform, nullptr);
    const std::string wanted = options.m_printers.empty() ? "" : options.m_printers.front();
    const auto toUtf8 = environment.m_toUtf8;
    const auto u = [&](const std::string& text) { return toUtf8(text); };
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    std::string text;
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        const CJournalEntry& e = *it;
        if (!wanted.empty() && !SameName(e.m_run.m_printer, wanted)) {
            continue;
        }
        const std::string outcome = e.m_outcome.empty() ? "unfinished" : e.m_outcome;
        text += journal->LocalMinute(e.m_time) + "  " + e.m_run.m_printer + "  " + e.m_run.m_from +
                " -> " + e.m_run.m_firmware + "  " + e.m_run.m_step + "  " + outcome + "  " +
                e.m_program + "  " + e.m_user + "\n";
        list.push_back({{"time", e.m_time},
                        {"printer", u(e.m_run.m_printer)},
                        {"port", u(e.m_run.m_port)},
                        {"model", u(e.m_run.m_model)},
                        {"from", u(e.m_run.m_from)},
                        {"step", e.m_run.m_step},
                        {"firmware", u(e.m_run.m_firmware)},
                        {"file", u(e.m_run.m_file)},
                        {"sha256", e.m_run.m_sha256},
                        {"program", u(e.m_program)},
                        {"user", u(e.m_user)},
                        {"outcome", e.m_outcome.empty() ? nlohmann::ordered_json(nullptr)
                                                        : nlohmann::ordered_json(e.m_outcome)}});
    }
    if (options.m_json) {
        const nlohmann::ordered_json document = {{"version", platform.Version()},
                                                 {"runs", std::move(list)}};
        text = document.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    } else if (text.empty()) {
        text = "The journal records no update" +
               (wanted.empty() ? std::string() : " of " + wanted) + ".\n";
    }
    platform.WriteOut(text);
    return kExitOk;
}

int RunCommand(const CDeployOptions& options, IDeployPlatform& platform) {
    switch (options.m_command) {
    case ECommand::Help:
        platform.WriteOut(UsageText(platform.Program()));
        return kExitOk;
    case ECommand::Version:
        platform.WriteOut(std::string(platform.Program()) + " " + platform.Version() + "\n");
        return kExitOk;
    case ECommand::DetectionScript:
        return DetectionScriptCommand(options, platform);
    case ECommand::Status:
        return Status(options, platform);
    case ECommand::Detect:
        return Detect(options, platform);
    case ECommand::Update:
        return Update(options, platform);
    case ECommand::History:
        return History(options, platform);
    }
    return kExitUsage;
}

} // namespace

int RunDeploy(const std::vector<std::string>& args, IDeployPlatform& platform) {
    CDeployOptions options;
    std::string error;
    if (!ParseArguments(args, &options, &error)) {
        platform.WriteErr(std::string(platform.Program()) + ": " + error + "\n" +
                          UsageText(platform.Program()));
        return kExitUsage;
    }
    try {
        return RunCommand(options, platform);
    } catch (const std::exception& failure) {
        platform.WriteErr(std::string(platform.Program()) +
                          ": the program failed: " + failure.what() + "\n");
        if (options.m_json && options.m_command == ECommand::Status) {
            platform.WriteOut(InternalJson(platform, false) + "\n");
        }
        return kExitFailed;
    }
}

} // namespace sarnok::deploy
