// The commands from the command line to the exit code; the platform's main supplies what only
// it can: the ports, the texts, the catalogue's place, the one-update-at-a-time lock, the log,
// the version and the console's interrupts.
#pragma once

#include "DeployTool.h"
#include "TrustedFolders.h"
#include "journal/UpdateJournal.h"
#include "ports/Digest.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sarnok::deploy {

enum class ELockAnswer : std::uint8_t {
    Held,        // this process holds the workstation's update lock now
    Taken,       // another program holds it, or an object of another kind has its name
    Unavailable, // it could not be made at all: the run goes on, as the dialog does
};

class IDeployPlatform {
public:
    virtual ~IDeployPlatform() = default;
    virtual const char* Program() = 0;
    // The program's version, as its version block gives it.
    virtual std::string Version() = 0;
    virtual CDeployEnvironment Environment() = 0;
    // False when the catalogue beside the program cannot be read; path names it either way.
    virtual bool CatalogueReadable(std::string* path) = 0;
    // The SHA-256 of the catalogue beside the program; nothing when it cannot be read.
    virtual std::optional<CSha256Digest> CatalogueSha256() = 0;
    // Takes the workstation's update lock, held until the platform object goes.
    virtual ELockAnswer AcquireUpdateLock() = 0;
    // Why the lock has a name any user could take, once it was tried; empty when it has not.
    virtual std::string LockFallbackNote() { return {}; }
    // False when the maker's status library is not on this workstation.
    virtual bool StatusLibraryLoaded() = 0;
    // The log file opened for appending, or null (option: --log's value, empty for the
    // default; path: the file tried, empty when there is none; why: a reason to warn of when
    // the log is not opened, empty when there is no log to speak of).
    virtual std::FILE* OpenLog(const std::string& option, std::string* path, std::string* why) = 0;
    // A line for the log's header: the local date and time.
    virtual std::string Now() = 0;
    // The log record's time, the time zone's bias and the thread, now.
    virtual CLogStamp LogStamp() = 0;
    // The account this program runs as, for the log's records.
    virtual std::string Account() = 0;
    // True once Ctrl+C or Ctrl+Break came. The update looks between printers, so a flash job is
    // never cut between two chunks.
    virtual bool InterruptRequested() = 0;
    // note is called, possibly on another thread, when the console is being closed or the
    // session ends: that cannot be deferred, and the process ends soon after.
    virtual void WatchConsoleClose(std::function<void(const std::string&)> note) = 0;
    // Registers the Event Log source for this program where it may and must (see the message
    // table); nothing to say when it cannot.
    virtual void PrepareEventSource() = 0;
    // The workstation's update journal, also in Environment()'s ports; null when there is none
    // this program may use.
    virtual CUpdateJournal* Journal() = 0;
    // SYSTEM or an elevated administrator: only such a run makes or repairs the folders and
    // reads the journal.
    virtual bool Elevated() = 0;
    // Why --log's file is in a folder a standard user could change (SYSTEM would then write or
    // rename wherever a planted link leads); nothing when it is not.
    virtual std::optional<std::string> LogFolderProblem(const std::string& option) = 0;
    // The folders set aside since the last call, because SYSTEM could not trust them.
    virtual std::vector<CSetAside> TakeSetAside() = 0;
    // Where the console's output and warnings go.
    virtual std::FILE* Out() { return stdout; }
    virtual std::FILE* Err() { return stderr; }

    // Everything the console writes to its output or its warnings: text in the ANSI code page,
    // with LF ends, its other control characters made blanks.
    void WriteOut(const std::string& text) { WriteText(false, BlankControls(text, true)); }
    void WriteErr(const std::string& text) { WriteText(true, BlankControls(text, true)); }

protected:
    // Writes the bytes as they are, to Err() for warnings and Out() otherwise. The Win32
    // platform converts them instead, for the console or for the file it is redirected to.
    virtual void WriteText(bool warnings, const std::string& text) {
        std::FILE* stream = warnings ? Err() : Out();
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
    }
};

int RunDeploy(const std::vector<std::string>& args, IDeployPlatform& platform);

} // namespace sarnok::deploy
