// SarnokDeploy.exe: updates the card printers' firmware without a person at the workstation, for
// Intune, Configuration Manager and scripts. The same core and Win32 adapters as Sarnok.exe; the
// texts come from this program's own copy of the string table.
#include "DeployCommands.h"
#include "TrustedFolders.h"
#include "Win32Clock.h"
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

// A log that has reached its limit becomes the older log, as Configuration Manager keeps its
// own: SarnokDeploy.log is renamed to SarnokDeploy.lo_, replacing the one before. A log that
// cannot be renamed is appended to as it is.
void RotateFullLog(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == FALSE ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return;
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (deploy::LogIsFull(size)) {
        ::MoveFileExA(path.c_str(), deploy::RotatedLogName(path).c_str(),
                      MOVEFILE_REPLACE_EXISTING);
    }
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

    deploy::ELockAnswer AcquireUpdateLock() override {
        const ELockState state = m_lock.Acquire();
        if (!m_lock.FallbackReason().empty() && !m_lockFallbackTold) {
            // Any user can make an object of that name: the administrator should know why.
            m_lockFallbackTold = true;
            std::fprintf(stderr, "SarnokDeploy: warning: %s; the update lock has the name %s\n",
                         m_lock.FallbackReason().c_str(), kUpdateLockName);
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
        if (m_system.GetExecutablePath(&path)) {
            deploy::RegisterEventSourceFor(path);
        }
    }

    CUpdateJournal* Journal() override {
        if (!m_journalTried) {
            m_journalTried = true;
            const std::string base = ProgramDataFolder();
            std::string problem = "the ProgramData folder is unknown";
            const auto folder = base.empty()
                                    ? std::nullopt
                                    : deploy::TrustedFolder(m_folders, base, {"Brelwin", "History"},
                                                            deploy::kJournalFolderSddl, &problem);
            if (folder) {
                m_journalStore = std::make_unique<CWin32JournalStore>(*folder, true);
                m_journal = std::make_unique<CUpdateJournal>(*m_journalStore, "SarnokDeploy", true);
            } else {
                std::fprintf(stderr, "SarnokDeploy: warning: %s; no update journal\n",
                             problem.c_str());
            }
        }
        return m_journal.get();
    }

    bool InterruptRequested() override { return g_interrupted.load(); }

    void WatchConsoleClose(std::function<void(const std::string&)> note) override {
        const std::lock_guard<std::mutex> guard(g_closeNoteLock);
        g_closeNote = std::move(note);
    }

    std::FILE* OpenLog(const std::string& option, std::string* path, std::string* why) override {
        if (!option.empty()) {
            // The administrator's own choice, opened as given.
            *path = option;
            RotateFullLog(*path);
            std::FILE* log = std::fopen(path->c_str(), "ab");
            if (log == nullptr) {
                *why = "cannot open the log " + *path;
            }
            return log;
        }
        const std::string base = ProgramDataFolder();
        *path = (base.empty() ? std::string("ProgramData") : base) + "\\Brelwin\\Logs\\" + kLogName;
        if (base.empty()) {
            *why = "the ProgramData folder is unknown; no log " + *path;
            return nullptr;
        }
        std::string problem;
        if (!deploy::TrustedFolder(m_folders, base, {"Brelwin", "Logs"},
                                   deploy::kProtectedFolderSddl, &problem)) {
            *why = problem + "; no default log";
            return nullptr;
        }
        RotateFullLog(*path);
        std::FILE* log = deploy::OpenTrustedAppend(m_folders, *path, &problem);
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

private:
    static constexpr std::size_t kLargestCatalogue = 16 * 1024 * 1024;

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
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    CWin32DeployPlatform platform;
    return deploy::RunDeploy(std::vector<std::string>(argv + 1, argv + argc), platform);
}
