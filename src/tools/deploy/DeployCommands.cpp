#include "DeployCommands.h"

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

// Explains, on stderr, why the printers could not be listed; kExitUsage for the caller.
int ListingFailed(const char* program, const CDeployTool& tool) {
    std::fprintf(stderr, "%s: the printer list could not be read", program);
    for (const std::string& line : tool.ListingLines()) {
        if (!line.empty()) {
            std::fprintf(stderr, ": %s", line.c_str());
        }
    }
    std::fprintf(stderr, "\n");
    return kExitUsage;
}

int Status(const CDeployOptions& options, IDeployPlatform& platform) {
    CDeployOutput output(false, nullptr);
    CDeployTool tool(platform.Environment(), output, false);
    const EListing listing = tool.ListPrinters();
    if (listing == EListing::Unreadable) {
        return ListingFailed(platform.Program(), tool);
    }
    std::vector<CPrinterReport> reports;
    std::string text;
    for (std::size_t i = 0; i < tool.Names().size(); ++i) {
        reports.push_back(tool.Decide(i));
        text += CDeployTool::StatusLine(reports.back()) + "\n";
    }
    if (options.m_json) {
        text = tool.StatusJson(reports) + "\n";
    } else if (reports.empty()) {
        text = "No card printer is installed.\n";
    }
    // One write: nothing here waits, and a console takes many small writes slowly.
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

int Detect(IDeployPlatform& platform) {
    CDeployOutput output(false, nullptr);
    CDeployTool tool(platform.Environment(), output, false);
    if (tool.ListPrinters() == EListing::Unreadable) {
        return ListingFailed(platform.Program(), tool);
    }
    for (std::size_t i = 0; i < tool.Names().size(); ++i) {
        const EDecision decision = tool.Decide(i).m_decision;
        if (decision == EDecision::Update || decision == EDecision::TwoStep) {
            // Something to install: a detection rule says so with no output at all.
            return kExitOk;
        }
    }
    std::printf("No card printer would receive firmware from this catalogue.\n");
    return kExitOk;
}

int Update(const CDeployOptions& options, IDeployPlatform& platform) {
    std::string logPath;
    std::FILE* log = platform.OpenLog(options.m_logFile, &logPath);
    if (log == nullptr && !logPath.empty()) {
        std::fprintf(stderr, "%s: warning: cannot open the log %s; going on without it\n",
                     platform.Program(), logPath.c_str());
    }
    CDeployOutput output(!options.m_json, log);
    output.LogOnly("==== " + platform.Now() + "  " + platform.Program() + " update" +
                   (options.m_all ? " --all" : "") + (options.m_reinstall ? " --reinstall" : ""));
    CDeployTool tool(platform.Environment(), output, options.m_reinstall);

    int exitCode = kExitOk;
    std::vector<CPrinterReport> reports;
    const EListing listing = tool.ListPrinters();
    std::vector<std::size_t> chosen;
    if (listing == EListing::Unreadable) {
        exitCode = ListingFailed(platform.Program(), tool);
        for (const std::string& line : tool.ListingLines()) {
            if (!line.empty()) {
                output.LogOnly("printer list: " + line);
            }
        }
    } else {
        for (const std::string& wanted : options.m_printers) {
            const auto& names = tool.Names();
            const auto found = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                return SameName(n, wanted);
            });
            if (found == names.end()) {
                output.Line("\"" + wanted + "\" is not among the card printers");
                exitCode = kExitPrinterMissing;
            }
        }
        for (std::size_t i = 0; i < tool.Names().size() && exitCode == kExitOk; ++i) {
            const bool named = std::any_of(
                options.m_printers.begin(), options.m_printers.end(),
                [&](const std::string& wanted) { return SameName(tool.Names()[i], wanted); });
            if (options.m_all || named) {
                chosen.push_back(i);
            }
        }
    }
    std::vector<EPrinterOutcome> outcomes;
    for (const std::size_t index : chosen) {
        reports.push_back(tool.Update(index));
        outcomes.push_back(reports.back().m_outcome);
        output.Line(CDeployTool::ResultLine(reports.back()));
    }
    if (exitCode == kExitOk) {
        exitCode = ExitCodeFor(outcomes);
    }
    const auto count = [&](EPrinterOutcome outcome) {
        return std::to_string(std::count(outcomes.begin(), outcomes.end(), outcome));
    };
    output.Line("Summary: " + std::to_string(outcomes.size()) +
                " printer(s): " + count(EPrinterOutcome::Updated) + " updated, " +
                count(EPrinterOutcome::NothingToDo) + " nothing to do, " +
                count(EPrinterOutcome::Failed) + " failed, " + count(EPrinterOutcome::Busy) +
                " busy; exit code " + std::to_string(exitCode));
    if (options.m_json) {
        std::printf("%s\n", tool.UpdateJson(reports, exitCode).c_str());
    }
    if (log != nullptr) {
        std::fclose(log);
    }
    return exitCode;
}

} // namespace

int RunDeploy(const std::vector<std::string>& args, IDeployPlatform& platform) {
    CDeployOptions options;
    std::string error;
    if (!ParseArguments(args, &options, &error)) {
        std::fprintf(stderr, "%s: %s\n%s", platform.Program(), error.c_str(),
                     UsageText(platform.Program()).c_str());
        return kExitUsage;
    }
    if (options.m_command == ECommand::Help) {
        std::printf("%s", UsageText(platform.Program()).c_str());
        return kExitOk;
    }
    // Another update holds the printers: nothing is read, written or logged.
    if (options.m_command == ECommand::Update && !platform.AcquireUpdateLock()) {
        std::fprintf(stderr, "%s: another firmware update is in progress; try again later\n",
                     platform.Program());
        return kExitRetryLater;
    }
    std::string catalogue;
    if (!platform.CatalogueReadable(&catalogue)) {
        std::fprintf(stderr, "%s: cannot read %s\n", platform.Program(), catalogue.c_str());
        return kExitUsage;
    }
    switch (options.m_command) {
    case ECommand::Status:
        return Status(options, platform);
    case ECommand::Detect:
        return Detect(platform);
    case ECommand::Update:
        return Update(options, platform);
    case ECommand::Help:
        break;
    }
    return kExitOk;
}

} // namespace sarnok::deploy
