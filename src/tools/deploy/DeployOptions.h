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
    Version,
    Status,
    Detect,
    Update,
    DetectionScript,
    History,
};

struct CDeployOptions {
    ECommand m_command = ECommand::Help;
    bool m_all = false;
    std::vector<std::string> m_printers; // --printer names, as given
    bool m_reinstall = false;
    bool m_json = false;
    std::string m_logFile; // empty: the default log
    // update --confirm-timeout: how long to wait for the printer to report the firmware sent;
    // 0: the update ends at the printer's reply.
    std::uint32_t m_confirmTimeoutSeconds = 300;
    // detect --catalogue-sha256: the package's catalogue digest, lower case; empty: not given.
    std::string m_catalogueSha256;
    // detection-script --folder: where the package is installed; empty: the default folder.
    std::string m_folder;
};

// False with a one-line reason on any unknown option, missing value, option that does not
// belong to the command, --all together with --printer, a digest that is not 64 hexadecimal
// digits, or a confirmation time that is not a number of seconds up to a day.
bool ParseArguments(const std::vector<std::string>& args, CDeployOptions* options,
                    std::string* error);

// The usage text, with the program's name.
std::string UsageText(const char* program);

// The PowerShell detection script of the package whose catalogue has this SHA-256 (lower-case
// hex): it runs `detect --catalogue-sha256` from the installed folder. folder empty: Brelwin
// under Program Files (x86), or under Program Files where there is none (32-bit Windows).
std::string DetectionScript(const std::string& catalogueSha256, const std::string& folder);

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
    // The printer said it took the firmware, and did not report it in the time given.
    Unconfirmed,
};
const char* OutcomeWord(EPrinterOutcome outcome);

// A printer that was not clicked had nothing to do when its decision says so. One the status
// library could not identify got nothing: it is busy (switched off, or answering another
// program), and a later run may reach it. Any other printer not clicked failed: the selection
// did not offer the click.
EPrinterOutcome PrinterOutcome(EDecision decision, bool clicked, const CClickOutcome& click);

// Why a run ended without handling every printer it was asked for; the words are the documented
// JSON values of "error".
enum class EDeployError : std::uint8_t {
    None,
    Busy,            // another program holds the update lock (or squats on its name)
    NoCatalogue,     // no readable firmwareInfo.ini beside the program
    NoPrinterList,   // the spooler's list could not be read
    PrinterNotFound, // a printer named with --printer is not a card printer
    NoStatusLibrary, // card printers are listed, but the maker's status library is not there
    Interrupted,     // Ctrl+C or Ctrl+Break: the run stopped after a printer's update
    Internal,        // the program itself failed (out of memory): exit 1, and the log says so
};
// Null for None.
const char* ErrorWord(EDeployError error);

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2; // also: no readable catalogue, printer list unreadable
inline constexpr int kExitPrinterMissing = 3;
inline constexpr int kExitRetryLater = 1618;

// The run's exit code from every chosen printer's outcome. A failure (unconfirmed included)
// outranks a busy printer: retrying later would not mend it, and a person has to look.
int ExitCodeFor(const std::vector<EPrinterOutcome>& outcomes);

} // namespace sarnok::deploy
