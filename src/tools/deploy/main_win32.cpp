// SarnokDeploy.exe: updates the card printers' firmware without a person at the workstation, for
// Intune, Configuration Manager and scripts. The same core and Win32 adapters as Sarnok.exe; the
// texts come from this program's own copy of the string table.
#include "DeployCommands.h"
#include "TrustedFolders.h"
#include "Win32Clock.h"
#include "Win32ConsoleText.h"
#include "Win32Digest.h"
#include "Win32EventLog.h"
#include "Win32EventSource.h"
#include "Win32FirmwareFile.h"
#include "Win32JournalStore.h"
#include "Win32LibraryLoader.h"
#include "Win32LoadedStatusLibrary.h"
#include "Win32ProfileReader.h"
#include "Win32SecureFolders.h"
#include "Win32Spooler.h"
#include "Win32SystemServices.h"
#include "Win32UpdateLock.h"
#include "Win32VersionApi.h"
#include "app/VersionReader.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace sarnok;
using namespace sarnok::win32;

constexpr const char* kCatalogueName = "firmwareInfo.ini";
constexpr const char* kLogName = "SarnokDeploy.log";

std::string LoadResourceString(unsigned id) {
    char buffer[1024];
    const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

// Ctrl+C and Ctrl+Break wait until the printer being updated has its click ended: the console
// asks between printers. Closing the console cannot wait past Windows' limit; it is logged.
std::atomic<bool> g_interrupted{false};
std::mutex g_closeNoteLock;
std::function<void(const std::string&)> g_closeNote;

BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_interrupted = true;
        return TRUE;
    case CTRL_CLOSE_EVENT: {
        const std::lock_guard<std::mutex> guard(g_closeNoteLock);
        if (g_closeNote) {
            g_closeNote("the console window is being closed");
        }
        return FALSE;
    }
    default:
        // A user logging off must not end an update that SYSTEM runs.
        return event == CTRL_LOGOFF_EVENT ? TRUE : FALSE;
    }
}

class CWin32DeployPlatform : public deploy::IDeployPlatform {
public:
    const char* Program() override { return "SarnokDeploy"; }

    std::string Version() override {
        std::string executable;
        CWin32VersionApi api;
        CVersionReader reader(api);
        if (!m_system.GetExecutablePath(&executable) || !reader.Load(executable)) {
            return "unknown";
        }
        const std::string version = reader.GetValue("ProductVersion");
        return version.empty() ? "unknown" : version;
    }

    deploy::CDeployEnvironment Environment() override {
        return {[this](IMainView& view) {
                    return CPorts{.m_view = view,
                                  .m_spooler = m_spooler,
                                  .m_statusLibrary = m_statusLibrary,
                                  .m_loader = m_loader,
                                  .m_files = m_files,
                                  .m_clock = m_clock,
                                  .m_system = m_system,
                                  .m_profile = m_profile,
                                  .m_digest = &m_digest,
                                  .m_journal = Journal()};
                },
                LoadResourceString,
                m_clock,
                AnsiToUtf8,
                Version(),
                Journal(),
                &m_events};
    }

    bool CatalogueReadable(std::string* path) override {
        HANDLE file = OpenCatalogue(path);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        ::CloseHandle(file);
        return true;
    }

    std::optional<CSha256Digest> CatalogueSha256() override {
        std::string path;
        HANDLE file = OpenCatalogue(&path);
        if (file == INVALID_HANDLE_VALUE) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> bytes;
        std::uint8_t chunk[65536];
        DWORD read = 0;
        bool complete = true;
        // A catalogue is a few kilobytes; one far larger is not a package's.
        while ((complete = ::ReadFile(file, chunk, sizeof chunk, &read, nullptr) != FALSE) &&
               read > 0 && bytes.size() < kLargestCatalogue) {
            bytes.insert(bytes.end(), chunk, chunk + read);
        }
        ::CloseHandle(file);
        CSha256Digest digest{};
        if (!complete || bytes.size() >= kLargestCatalogue ||
            !m_digest.Sha256(bytes.data(), bytes.size(), &digest)) {
            return std::nullopt;
        }
        return digest;
    }

    std::string LockFallbackNote() override {
        return m_lock.FallbackReason().empty()
                   ? std::string()
                   : m_lock.FallbackReason() + "; the update lock has the name " + kUpdateLockName;
    }

    deploy::ELockAnswer AcquireUpdateLock() override {
        const ELockState state = m_lock.Acquire();
        if (!m_lock.FallbackReason().empty() && !m_lockFallbackTold) {
            // Any user can make an object of that name: the administrator should know why.
            m_lockFallbackTold = true;
            WriteErr("SarnokDeploy: warning: " + LockFallbackNote() + "\n");
        }
        switch (state) {
        case CUpdateLock::EResult::Held:
            return deploy::ELockAnswer::Held;
        case CUpdateLock::EResult::Taken:
            return deploy::ELockAnswer::Taken;
        case CUpdateLock::EResult::Unavailable:
            break;
        }
        return deploy::ELockAnswer::Unavailable;
    }

    bool StatusLibraryLoaded() override { return m_statusLibrary.Loaded(); }

    void PrepareEventSource() override {
        std::string path;
        if (!m_system.GetExecutablePath(&path)) {
            return;
        }
        // The key names the message file that the Event Log viewer, elevated, loads: only a copy
        // in a folder no user can change may put itself there.
        const std::string folder = path.substr(0, path.find_last_of("\\/"));
        if (!deploy::UserWritableFolder(m_folders.Inspect(folder), m_folders.Elevated())) {
            deploy::RegisterEventSourceFor(path);
        }
    }

    bool Elevated() override { return m_folders.Elevated(); }

    std::optional<std::string> LogFolderProblem(const std::string& option) override {
        char full[MAX_PATH];
        char* name = nullptr;
        const DWORD length = ::GetFullPathNameA(option.c_str(), sizeof full, full, &name);
        if (length == 0 || length >= sizeof full || name == nullptr || name == full) {
            return std::string("it does not name a file");
        }
        const std::string folder(full, static_cast<std::size_t>(name - full - 1));
        // A drive's root ("C:\\") is inspected as itself, not as "C:".
        const std::string inspected = folder.size() == 2 ? folder + "\\" : folder;
        return deploy::UserWritableFolder(m_folders.Inspect(inspected), m_folders.Elevated());
    }

    std::vector<deploy::CSetAside> TakeSetAside() override { return std::exchange(m_setAside, {}); }

    CUpdateJournal* Journal() override {
        if (!m_journalTried) {
            m_journalTried = true;
            const std::string base = ProgramDataFolder();
            if (base.empty()) {
                WriteErr("SarnokDeploy: warning: the ProgramData folder is unknown; no update "
                         "journal\n");
                return nullptr;
            }
            const deploy::CTrustedFolder folder =
                deploy::TrustedFolder(m_folders, base, {"Brelwin", "History"},
                                      {"updates.jsonl", "updates.1.jsonl"}, FolderStamp());
            Keep(folder);
            if (folder.m_path) {
                // An unelevated run only reads, and only what it may; it makes nothing.
                m_journalStore =
                    std::make_unique<CWin32JournalStore>(*folder.m_path, m_folders.Elevated());
                m_journal = std::make_unique<CUpdateJournal>(*m_journalStore, "SarnokDeploy",
                                                             m_folders.Elevated());
            } else if (!folder.m_why.empty()) {
                WriteErr("SarnokDeploy: warning: " + folder.m_why + "; no update journal\n");
            }
        }
        return m_journal.get();
    }

    bool InterruptRequested() override { return g_interrupted.load(); }

    void WatchConsoleClose(std::function<void(const std::string&)> note) override {
        // Only an update defers Ctrl+C; every other command stops when it is pressed.
        const bool watch = static_cast<bool>(note);
        {
            const std::lock_guard<std::mutex> guard(g_closeNoteLock);
            g_closeNote = std::move(note);
        }
        ::SetConsoleCtrlHandler(OnConsoleControl, watch ? TRUE : FALSE);
    }

    std::FILE* OpenLog(const std::string& option, std::string* path, std::string* why) override {
        if (!option.empty()) {
            // Its folder has been found to be one no user can change (LogFolderProblem); the
            // file itself gets the default log's checks.
            *path = option;
            return deploy::OpenTrustedAppend(m_folders, *path, deploy::RotatedLogName(*path), why);
        }
        const std::string base = ProgramDataFolder();
        *path = (base.empty() ? std::string("ProgramData") : base) + "\\Brelwin\\Logs\\" + kLogName;
        if (base.empty()) {
            *why = "the ProgramData folder is unknown; no log " + *path;
            return nullptr;
        }
        const std::string rotated = deploy::RotatedLogName(*path);
        const std::string rotatedName = rotated.substr(rotated.find_last_of('\\') + 1);
        const deploy::CTrustedFolder folder = deploy::TrustedFolder(
            m_folders, base, {"Brelwin", "Logs"}, {kLogName, rotatedName}, FolderStamp());
        Keep(folder);
        if (!folder.m_path) {
            *why = (folder.m_why.empty() ? "there is no folder " + *path : folder.m_why) +
                   "; no default log";
            return nullptr;
        }
        std::string problem;
        std::FILE* log = deploy::OpenTrustedAppend(m_folders, *path, rotated, &problem);
        if (log == nullptr) {
            *why = problem + "; no default log";
        }
        return log;
    }

    deploy::CLogStamp LogStamp() override {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        deploy::CLogStamp stamp;
        stamp.m_year = now.wYear;
        stamp.m_month = now.wMonth;
        stamp.m_day = now.wDay;
        stamp.m_hour = now.wHour;
        stamp.m_minute = now.wMinute;
        stamp.m_second = now.wSecond;
        stamp.m_millisecond = now.wMilliseconds;
        TIME_ZONE_INFORMATION zone{};
        const DWORD which = ::GetTimeZoneInformation(&zone);
        // The bias in force now: daylight time adds its own to the standard bias.
        stamp.m_biasMinutes =
            static_cast<int>(zone.Bias) +
            (which == TIME_ZONE_ID_DAYLIGHT   ? static_cast<int>(zone.DaylightBias)
             : which == TIME_ZONE_ID_STANDARD ? static_cast<int>(zone.StandardBias)
                                              : 0);
        stamp.m_thread = ::GetCurrentThreadId();
        return stamp;
    }

    std::string Account() override { return ProcessAccountName(); }

    std::string Now() override {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        char text[32];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                      now.wDay, now.wHour, now.wMinute, now.wSecond);
        return text;
    }

protected:
    void WriteText(bool warnings, const std::string& text) override {
        deploy::WriteConsoleText(warnings, text);
    }

private:
    static constexpr std::size_t kLargestCatalogue = 16 * 1024 * 1024;

    // The local time now as a folder set aside is named: "YYYYMMDD-HHMMSS".
    static std::string FolderStamp() {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        char text[32];
        std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth,
                      now.wDay, now.wHour, now.wMinute, now.wSecond);
        return text;
    }

    void Keep(const deploy::CTrustedFolder& folder) {
        m_setAside.insert(m_setAside.end(), folder.m_setAside.begin(), folder.m_setAside.end());
    }

    HANDLE OpenCatalogue(std::string* path) {
        std::string executable;
        if (!m_system.GetExecutablePath(&executable)) {
            *path = kCatalogueName;
            return INVALID_HANDLE_VALUE;
        }
        *path = executable.substr(0, executable.find_last_of("\\/") + 1) + kCatalogueName;
        return ::CreateFileA(path->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    CWin32Spooler m_spooler;
    CWin32LoadedStatusLibrary m_statusLibrary;
    CWin32LibraryLoader m_loader;
    CWin32FirmwareFile m_files;
    CWin32Clock m_clock;
    CWin32SystemServices m_system;
    CWin32ProfileReader m_profile;
    CWin32Digest m_digest;
    CUpdateLock m_lock;
    bool m_lockFallbackTold = false;
    CWin32EventLog m_events{"SarnokDeploy"};
    CWin32SecureFolders m_folders;
    std::vector<deploy::CSetAside> m_setAside;
    bool m_journalTried = false;
    std::unique_ptr<CWin32JournalStore> m_journalStore;
    std::unique_ptr<CUpdateJournal> m_journal;
};

} // namespace

int main(int argc, char** argv) {
    // As in the dialog: before any library is loaded by name, the search leaves PATH and the
    // current folder; SYSTEM loads only what the program's folder or the system folder holds.
    RestrictLibrarySearch();
    // Nobody is there to answer a system error box: a missing disk or a crash must end the run
    // with its exit code, not wait for a click.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    CWin32DeployPlatform platform;
    return deploy::RunDeploy(std::vector<std::string>(argv + 1, argv + argc), platform);
}
