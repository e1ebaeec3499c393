// The deployment console's command line, what it decides per printer and the exit code a
// deployment system reads. Kept apart from any port so that the table of codes is one place.
#pragma once

#include "app/RunOutcome.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sarnok::deploy {

enum class ECommand : std::uint8_t {
    Help,
    Status,
    Detect,
    Update,
};

struct CDeployOptions {
    ECommand m_command = ECommand::Help;
    bool m_all = false;
    std::vector<std::string> m_printers; // --printer names, as given
    bool m_reinstall = false;
    bool m_json = false;
    std::string m_logFile; // empty: the default log
};

// False with a one-line reason on any unknown option, missing value, option that does not
// belong to the command, or --all together with --printer.
bool ParseArguments(const std::vector<std::string>& args, CDeployOptions* options,
                    std::string* error);

// The usage text, with the program's name.
std::string UsageText(const char* program);

// What the selection decided for a printer; the words are the documented JSON values.
enum class EDecision : std::uint8_t {
    Update,
    TwoStep,
    Current,
    SameVersion,
    NoFirmware,
    Unreadable,
};
const char* DecisionWord(EDecision decision);

// How a printer's handling by `update` ended; the words are the documented JSON values.
enum class EPrinterOutcome : std::uint8_t {
    Updated,
    NothingToDo,
    Failed,
    Busy,
};
const char* OutcomeWord(EPrinterOutcome outcome);

// A printer that was not clicked had nothing to do when its decision says so, and failed
// otherwise (it could not be identified, or the selection did not offer the click).
EPrinterOutcome PrinterOutcome(EDecision decision, bool clicked, const CClickOutcome& click);

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2; // also: no readable catalogue, printer list unreadable
inline constexpr int kExitPrinterMissing = 3;
inline constexpr int kExitRetryLater = 1618;

// The run's exit code from every chosen printer's outcome. A failure outranks a busy printer:
// retrying later would not mend it, and a person has to look.
int ExitCodeFor(const std::vector<EPrinterOutcome>& outcomes);

} // namespace sarnok::deploy
