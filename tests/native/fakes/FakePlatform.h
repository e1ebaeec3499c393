// Fakes for the small ports: virtual time, library loading, the firmware file, system services
// and the catalogue reader; and CTestRig, which wires them all to a CfuuDlg.
#pragma once

#include "OpenSslDigest.h"
#include "app/CfuuDlg.h"
#include "fakes/FakeSpooler.h"
#include "fakes/FakeStatusLibrary.h"
#include "fakes/FakeView.h"
#include "ports/EventLog.h"
#include "ports/JournalStore.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sarnok::test {

// The thread's last-error value as the fakes set it and CFakeSystem reports it.
void SetLastErrorValue(std::uint32_t code);
std::uint32_t LastErrorValue();

// Time passes only when the code under test sleeps (or a read costs time).
class CVirtualClock : public IClock {
public:
    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
    void KeepResponsive() override;

    std::uint32_t m_now = 5000;
    std::uint64_t m_slept = 0; // total of all sleeps
    std::vector<std::uint32_t> m_sleeps;
    std::uint32_t m_tickCost = 0; // added after every GetTickCount (e.g. time a read takes)
    int m_keepResponsiveCalls = 0;
};

class CFakeLoader : public ILibraryLoader {
public:
    ModuleHandle Load(const char* fileName) override;
    FarProc Lookup(ModuleHandle module, const char* entryName) override;
    void Release(ModuleHandle module) override;

    // A loadable module: its exports by name.
    void AddModule(const std::string& fileName, std::map<std::string, FarProc> exports = {});
    std::size_t LoadedCount() const { return m_loaded.size(); }
    std::string NameOf(ModuleHandle module) const;

    std::vector<std::string> m_calls; // "load:NAME", "lookup:NAME:ENTRY", "release:NAME"

private:
    struct CModule {
        std::string m_name;
        std::map<std::string, FarProc> m_exports;
    };
    std::map<std::string, CModule> m_available;
    std::map<std::uintptr_t, std::string> m_loaded;
    std::uintptr_t m_next = 0x10000;
};

// Files held in memory. Counts every open handle, mapping and view, so a test can prove that
// every exit released what it obtained.
class CFakeFiles : public IFirmwareFile {
public:
    struct CFile {
        std::vector<std::uint8_t> m_bytes;
        bool m_readOnly = false;
        bool m_locked = false;                       // opened elsewhere without sharing
        std::optional<std::uint64_t> m_sizeOverride; // pretend size (e.g. 4 GiB)
    };

    void SetNormalAttributes(const std::string& path) override;
    FileHandle OpenExclusive(const std::string& path) override;
    std::uint64_t GetSize(FileHandle file) override;
    MappingHandle CreateMapping(FileHandle file, std::uint32_t size) override;
    const std::uint8_t* MapView(MappingHandle mapping) override;
    void UnmapView(const std::uint8_t* view) override;
    void CloseMapping(MappingHandle mapping) override;
    void CloseFile(FileHandle file) override;
    void Delete(const char* fileName) override;

    std::map<std::string, CFile> m_files; // by full path
    bool m_mappingFails = false;
    bool m_viewFails = false;
    bool m_openFails = false;

    std::size_t m_openFiles = 0;
    std::size_t m_openMappings = 0;
    std::size_t m_openViews = 0;
    std::vector<std::string> m_deleted; // names passed to Delete
    std::vector<std::string> m_calls;   // "attr:PATH", "open:PATH", "size", "map", ...

private:
    std::map<std::uintptr_t, std::string> m_handles;
    std::map<std::uintptr_t, std::string> m_mappings;
    std::uintptr_t m_next = 0x20000;
};

class CFakeSystem : public ISystemServices {
public:
    bool GetExecutablePath(std::string* path) override;
    bool IsWow64() override { return m_wow64; }
    std::uint32_t GetLastErrorCode() override { return LastErrorValue(); }
    std::uint16_t GetUserDefaultLanguage() override { return m_language; }
    CSystemText GetErrorText(std::uint32_t code, std::uint16_t language) override;
    void* AllocateTaskMemory(std::size_t size) override;
    void FreeTaskMemory(void* block) override;
    void KeepSystemAwake(bool on) override;
    std::string UpperCaseAnsi(const std::string& text) override;

    std::optional<std::string> m_executablePath = std::string("C:\\Tools\\Sarnok\\Sarnok.exe");
    bool m_wow64 = false;
    std::uint16_t m_language = 0x0409;
    bool m_allocationFails = false;
    std::size_t m_liveTaskBlocks = 0;
    std::size_t m_taskAllocations = 0;
    std::size_t m_liveErrorTexts = 0; // system texts not yet released
    bool m_awake = false;
    std::vector<bool> m_awakeCalls;
};

// Initialisation-file lookups with the platform's case-insensitive section and key names.
class CFakeProfile : public IProfileReader {
public:
    std::uint32_t GetString(const char* section, const char* key, char* buffer, std::uint32_t size,
                            const char* filePath) override;
    void Set(const std::string& section, const std::string& key, const std::string& value);

    bool m_fileExists = true;
    std::map<std::string, std::map<std::string, std::string>> m_sections; // lower-cased names
    std::vector<std::string> m_paths;   // file path of every lookup
    std::vector<std::string> m_lookups; // "SECTION/KEY:SIZE" of every lookup, in order
};

// The update journal's files in memory. Times are the minutes of a virtual day, one a record;
// local time is UTC here.
class CFakeJournalStore : public IJournalStore {
public:
    // What ProcessState answers for a run's process, in a table's row.
    struct CProcess {
        bool m_running = false;
        bool m_unknown = false;
    };

    CJournalFile ReadFile(bool older) override;
    bool Append(const std::string& line, bool flush) override;
    std::uint64_t Size() override { return m_current ? m_current->size() : 0; }
    bool Rotate() override;
    std::string UtcNow() override;
    std::string LocalMinute(const std::string& utc) override;
    std::uint32_t ProcessId() override { return m_pid; }
    std::string ProcessStarted() override { return m_processStarted; }
    std::string UserName() override { return "WORKSTATION\\tech"; }
    EProcessState ProcessState(std::uint32_t pid, const std::string& started) override {
        const std::string key = std::to_string(pid) + "@" + started;
        return m_running.count(key) != 0   ? EProcessState::Running
               : m_unknown.count(key) != 0 ? EProcessState::Unknown
                                           : EProcessState::Gone;
    }
    std::uint64_t BootTime() override { return m_bootTime; }
    std::uint32_t TickCount() override { return 77; }
    std::string ToUtf8(const std::string& text) override { return text; }
    std::string FromUtf8(const std::string& text) override { return text; }

    // Nothing: no file of that name.
    std::optional<std::string> m_current;
    std::optional<std::string> m_older;
    bool m_writable = true;
    std::vector<bool> m_flushed; // per Append
    std::uint32_t m_pid = 4242;
    std::string m_processStarted = "1";
    std::set<std::string> m_running; // "pid@started" of processes still running
    std::set<std::string> m_unknown; // ... and of those that cannot be asked
    std::uint64_t m_bootTime = 0;
    bool m_unreadable = false; // both files are there but cannot be read
    unsigned m_minute = 0;
};

// The Event Log: what was reported, in order.
class CFakeEventLog : public IEventLog {
public:
    struct CEvent {
        unsigned m_id;
        EEventType m_type;
        std::vector<std::string> m_strings;
    };
    bool Report(unsigned id, EEventType type, const std::vector<std::string>& strings) override {
        m_events.push_back({id, type, strings});
        return m_takes;
    }
    std::string Program() override { return "SarnokDeploy"; }
    std::string Account() override { return "NT AUTHORITY\\SYSTEM"; }

    std::vector<CEvent> m_events;
    bool m_takes = true;
};

// The workstation's update lock as another program may leave it.
class CFakeUpdateLock : public IUpdateLock {
public:
    ELockState Acquire() override {
        ++m_tries;
        m_held = m_held || m_state == ELockState::Held;
        return m_held ? ELockState::Held : m_state;
    }
    void Release() override {
        m_releases += m_held ? 1 : 0;
        m_held = false;
    }
    ELockState m_state = ELockState::Held;
    int m_tries = 0;
    int m_releases = 0;
    bool m_held = false;
};

// Everything a CfuuDlg needs, faked, with the dialog built on top.
struct CTestRig {
    CTestRig();
    CFakeView m_view;
    CFakeSpooler m_spooler;
    CFakeStatusLibrary m_status;
    CFakeLoader m_loader;
    CFakeFiles m_files;
    CVirtualClock m_clock;
    CFakeSystem m_system;
    CFakeProfile m_profile;
    posix::COpenSslDigest m_digest;
    CFakeUpdateLock m_lock;
    CPorts Ports();
    std::unique_ptr<CfuuDlg> m_dlg;
    CfuuDlg& Dlg() { return *m_dlg; }
};

} // namespace sarnok::test
