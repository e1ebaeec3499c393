#include "DeployOptions.h"

#include "catalogue/Checksum.h"

#include <algorithm>

namespace sarnok::deploy {

namespace {

// A PowerShell string literal: single quotes, where only a doubled quote is special.
std::string PowerShellLiteral(const std::string& text) {
    std::string literal = "'";
    for (const char c : text) {
        literal += c;
        if (c == '\'') {
            literal += c;
        }
    }
    return literal + "'";
}

// Decimal digits only, at most a day: a longer wait is a typing error, not a plan.
bool ParseSeconds(const std::string& text, std::uint32_t* seconds) {
    constexpr std::uint32_t kLongest = 86400;
    if (text.empty() || text.size() > 5) {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > kLongest) {
        return false;
    }
    *seconds = value;
    return true;
}

} // namespace

bool ParseArguments(const std::vector<std::string>& args, CDeployOptions* options,
                    std::string* error) {
    *options = CDeployOptions{};
    if (args.empty()) {
        *error = "a command is needed: status, detect, update or detection-script";
        return false;
    }
    const std::string& command = args[0];
    if (command == "--version") {
        options->m_command = ECommand::Version;
        if (args.size() != 1) {
            *error = "--version takes no options";
            return false;
        }
        return true;
    }
    if (command == "--help" || command == "-h" || command == "/?" || command == "help") {
        options->m_command = ECommand::Help;
        if (args.size() != 1) {
            *error = "help takes no options";
            return false;
        }
        return true;
    }
    if (command == "status") {
        options->m_command = ECommand::Status;
    } else if (command == "detect") {
        options->m_command = ECommand::Detect;
    } else if (command == "update") {
        options->m_command = ECommand::Update;
    } else if (command == "detection-script") {
        options->m_command = ECommand::DetectionScript;
    } else if (command == "history") {
        options->m_command = ECommand::History;
    } else {
        *error = "unknown command " + command;
        return false;
    }
    const bool update = options->m_command == ECommand::Update;
    const bool detect = options->m_command == ECommand::Detect;
    const bool script = options->m_command == ECommand::DetectionScript;
    const bool history = options->m_command == ECommand::History;
    bool confirmGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json" && !detect && !script) {
            options->m_json = true;
        } else if (arg == "--all" && update) {
            options->m_all = true;
        } else if (arg == "--reinstall" && update) {
            options->m_reinstall = true;
        } else if (arg == "--printer" && history) {
            if (!hasValue || args[i + 1].empty() || !options->m_printers.empty()) {
                *error = "--printer needs a value and can be given once for history";
                return false;
            }
            options->m_printers.push_back(args[++i]);
        } else if ((arg == "--printer" || arg == "--log") && update) {
            if (!hasValue || args[i + 1].empty()) {
                *error = arg + " needs a value";
                return false;
            }
            if (arg == "--printer") {
                options->m_printers.push_back(args[++i]);
            } else if (!options->m_logFile.empty()) {
                *error = "--log can be given once";
                return false;
            } else {
                options->m_logFile = args[++i];
            }
        } else if (arg == "--confirm-timeout" && update) {
            if (confirmGiven || !hasValue ||
                !ParseSeconds(args[i + 1], &options->m_confirmTimeoutSeconds)) {
                *error = "--confirm-timeout needs a number of seconds from 0 to 86400, once";
                return false;
            }
            confirmGiven = true;
            ++i;
        } else if ((arg == "--catalogue-sha256" && detect) || (arg == "--folder" && script)) {
            std::string& value = detect ? options->m_catalogueSha256 : options->m_folder;
            if (!hasValue || args[i + 1].empty()) {
                *error = arg + " needs a value";
                return false;
            }
            if (!value.empty()) {
                *error = arg + " can be given once";
                return false;
            }
            if (!detect) {
                // Windows PowerShell 5.1 reads the script in the ANSI code page, where bytes
                // such as 0x91 and 0x92 are quotes too: only printable ASCII stays a literal.
                const std::string& folder = args[i + 1];
                if (std::any_of(folder.begin(), folder.end(),
                                [](char c) { return c < 0x20 || c > 0x7e; })) {
                    *error = "--folder takes printable ASCII characters only";
                    return false;
                }
                value = folder;
            } else if (const auto digest = ParseSha256(args[i + 1])) {
                value = FormatSha256(*digest);
            }
            if (value.empty()) {
                *error = arg + " needs 64 hexadecimal digits";
                return false;
            }
            ++i;
        } else {
            *error = "unknown option " + arg + " for " + command;
            return false;
        }
    }
    if (update && options->m_all == !options->m_printers.empty()) {
        *error = options->m_all ? "--all and --printer cannot be used together"
                                : "update needs --all or --printer NAME";
        return false;
    }
    return true;
}

std::string UsageText(const char* program) {
    const std::string p = program;
    const std::string indent(7, ' ');
    return "Usage: " + p + " status [--json]\n" + indent + p +
           " detect [--catalogue-sha256 HEX]\n" + indent + p +
           " update (--all | --printer NAME [--printer NAME]...) [--reinstall]\n" + indent +
           std::string(p.size(), ' ') +
           "        [--confirm-timeout SECONDS] [--log FILE] [--json]\n" + indent + p +
           " detection-script [--folder PATH]\n" + indent + p +
           " history [--printer NAME] [--json]\n" + indent + p + " --version\n" +
           "Updates the card printers' firmware from firmwareInfo.ini and the firmware files in\n"
           "this program's folder, as the firmware update dialog would, without a window.\n"
           "  status       every card printer, what it has and what it would receive\n"
           "  detect       prints one line and exits 0 when no printer would receive firmware;\n"
           "               prints nothing and exits 0 when one would, or when the catalogue\n"
           "               beside this program is not the one whose SHA-256 is HEX\n"
           "  update       updates the chosen printers in list order\n"
           "  detection-script  prints the PowerShell detection script of this package\n"
           "  history      the updates this workstation's journal records, newest first\n"
           "  --reinstall  sends the same firmware again to a printer that already has it\n"
           "  --confirm-timeout SECONDS  how long update waits for a printer to report the\n"
           "               firmware it was sent (default 300; 0: it ends at the printer's reply)\n"
           "  --log FILE   appends the log to FILE instead of the default log\n"
           "  --json       one JSON document on stdout at the end instead of the lines\n"
           "Exit codes: 0 updated (the printer reports the new firmware) or nothing to do;\n"
           "1 an update failed or was not confirmed; 2 usage error, no readable catalogue, no\n"
           "readable printer list or no status library; 3 a named printer is not a card\n"
           "printer; 1618 another update is in progress or a printer was busy or could not be\n"
           "identified: retry later.\n";
}

std::string DetectionScript(const std::string& catalogueSha256, const std::string& folder) {
    const std::string where =
        folder.empty() ? "$base = if (${env:ProgramFiles(x86)}) { ${env:ProgramFiles(x86)} } "
                         "else { $env:ProgramFiles }\n"
                         "$folder = Join-Path $base 'Brelwin'\n"
                       : "$folder = " + PowerShellLiteral(folder) + "\n";
    // Written out when nothing is installed yet, or when the catalogue installed is another
    // package's: the install then runs. Only this package's catalogue lets detect decide.
    return "# Detection rule for the Brelwin firmware package whose firmwareInfo.ini has the\n"
           "# SHA-256 below. Output on stdout with exit code 0: installed; no output: not\n"
           "# installed.\n"
           "$sha256 = '" +
           catalogueSha256 + "'\n" + where +
           "$program = Join-Path $folder 'SarnokDeploy.exe'\n"
           "if (-not (Test-Path -LiteralPath $program -PathType Leaf)) { exit 0 }\n"
           "& $program detect --catalogue-sha256 $sha256\n"
           "exit $LASTEXITCODE\n";
}

const char* DecisionWord(EDecision decision) {
    switch (decision) {
    case EDecision::Update:
        return "update";
    case EDecision::TwoStep:
        return "two-step";
    case EDecision::Current:
        return "current";
    case EDecision::SameVersion:
        return "same-version";
    case EDecision::NoFirmware:
        return "no-firmware";
    case EDecision::Unreadable:
        return "unreadable";
    }
    return "unreadable";
}

const char* OutcomeWord(EPrinterOutcome outcome) {
    switch (outcome) {
    case EPrinterOutcome::Updated:
        return "updated";
    case EPrinterOutcome::NothingToDo:
        return "nothing-to-do";
    case EPrinterOutcome::Failed:
        return "failed";
    case EPrinterOutcome::Busy:
        return "busy";
    case EPrinterOutcome::Unconfirmed:
        return "unconfirmed";
    }
    return "failed";
}

const char* ErrorWord(EDeployError error) {
    switch (error) {
    case EDeployError::None:
        return nullptr;
    case EDeployError::Busy:
        return "busy";
    case EDeployError::NoCatalogue:
        return "no-catalogue";
    case EDeployError::NoPrinterList:
        return "no-printer-list";
    case EDeployError::PrinterNotFound:
        return "printer-not-found";
    case EDeployError::NoStatusLibrary:
        return "no-status-library";
    case EDeployError::Interrupted:
        return "interrupted";
    case EDeployError::Internal:
        return "internal";
    }
    return nullptr;
}

EPrinterOutcome PrinterOutcome(EDecision decision, bool clicked, const CClickOutcome& click) {
    if (!clicked) {
        const bool nothingToDo = decision == EDecision::Current ||
                                 decision == EDecision::NoFirmware ||
                                 decision == EDecision::SameVersion;
        if (nothingToDo) {
            return EPrinterOutcome::NothingToDo;
        }
        return decision == EDecision::Unreadable ? EPrinterOutcome::Busy : EPrinterOutcome::Failed;
    }
    if (click.Updated()) {
        return EPrinterOutcome::Updated;
    }
    if (click.m_confirmation == EConfirmation::Unconfirmed) {
        return EPrinterOutcome::Unconfirmed;
    }
    return click.Busy() ? EPrinterOutcome::Busy : EPrinterOutcome::Failed;
}

int ExitCodeFor(const std::vector<EPrinterOutcome>& outcomes) {
    const auto any = [&](EPrinterOutcome wanted) {
        return std::find(outcomes.begin(), outcomes.end(), wanted) != outcomes.end();
    };
    if (any(EPrinterOutcome::Failed) || any(EPrinterOutcome::Unconfirmed)) {
        return kExitFailed;
    }
    return any(EPrinterOutcome::Busy) ? kExitRetryLater : kExitOk;
}

} // namespace sarnok::deploy
