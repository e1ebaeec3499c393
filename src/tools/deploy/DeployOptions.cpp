#include "DeployOptions.h"

#include <algorithm>

namespace sarnok::deploy {

bool ParseArguments(const std::vector<std::string>& args, CDeployOptions* options,
                    std::string* error) {
    *options = CDeployOptions{};
    if (args.empty()) {
        *error = "a command is needed: status, detect or update";
        return false;
    }
    const std::string& command = args[0];
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
    } else {
        *error = "unknown command " + command;
        return false;
    }
    const bool update = options->m_command == ECommand::Update;
    const bool detect = options->m_command == ECommand::Detect;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json" && !detect) {
            options->m_json = true;
        } else if (arg == "--all" && update) {
            options->m_all = true;
        } else if (arg == "--reinstall" && update) {
            options->m_reinstall = true;
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
    return "Usage: " + p + " status [--json]\n" + "       " + p + " detect\n" + "       " + p +
           " update (--all | --printer NAME [--printer NAME]...) [--reinstall]\n" + "       " +
           std::string(p.size(), ' ') + "        [--log FILE] [--json]\n" +
           "Updates the card printers' firmware from firmwareInfo.ini and the firmware files in\n"
           "this program's folder, as the firmware update dialog would, without a window.\n"
           "  status       every card printer, what it has and what it would receive\n"
           "  detect       prints one line and exits 0 when no printer would receive firmware;\n"
           "               prints nothing and exits 0 when one would\n"
           "  update       updates the chosen printers in list order\n"
           "  --reinstall  sends the same firmware again to a printer that already has it\n"
           "  --log FILE   appends the log to FILE instead of the default log\n"
           "  --json       one JSON document on stdout at the end instead of the lines\n"
           "Exit codes: 0 updated or nothing to do; 1 an update failed; 2 usage error, no\n"
           "readable catalogue or no readable printer list; 3 a named printer is not a card\n"
           "printer; 1618 another update is in progress or a printer was busy: retry later.\n";
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
    }
    return "failed";
}

EPrinterOutcome PrinterOutcome(EDecision decision, bool clicked, const CClickOutcome& click) {
    if (!clicked) {
        const bool nothingToDo = decision == EDecision::Current ||
                                 decision == EDecision::NoFirmware ||
                                 decision == EDecision::SameVersion;
        return nothingToDo ? EPrinterOutcome::NothingToDo : EPrinterOutcome::Failed;
    }
    if (click.Updated()) {
        return EPrinterOutcome::Updated;
    }
    return click.Busy() ? EPrinterOutcome::Busy : EPrinterOutcome::Failed;
}

int ExitCodeFor(const std::vector<EPrinterOutcome>& outcomes) {
    const auto any = [&](EPrinterOutcome wanted) {
        return std::find(outcomes.begin(), outcomes.end(), wanted) != outcomes.end();
    };
    if (any(EPrinterOutcome::Failed)) {
        return kExitFailed;
    }
    return any(EPrinterOutcome::Busy) ? kExitRetryLater : kExitOk;
}

} // namespace sarnok::deploy
