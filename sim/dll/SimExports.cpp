// sarnok_sim.dll: the one place that holds the virtual printers' state in a process. The
// stand-in spooler, status libraries and driver-interface libraries are thin DLLs whose exports
// forward here, so a job written through winspool.drv is the same job DODAVED.DLL reads back.
//
// The scenario is "sim-scenario.txt" beside this DLL (SARNOK_SIM_SCENARIO overrides it); the
// job log goes to the scenario's "log" entry, else "sim-job.log" beside this DLL
// (SARNOK_SIM_LOG overrides both). Both are read on the first call, not while loading.
#include "core/Scenario.h"
#include "core/Simulator.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

using sarnok::sim::CJobLog;
using sarnok::sim::CLevel2Texts;
using sarnok::sim::CScenario;
using sarnok::sim::CSimPrinterConfig;
using sarnok::sim::CSimulator;
using sarnok::sim::ESource;
using sarnok::sim::ISimClock;
using sarnok::sim::SimHandle;

namespace {

HMODULE g_module = nullptr;
std::mutex g_mutex;

class CTickClock : public ISimClock {
public:
    std::uint64_t NowMs() override { return GetTickCount64(); }
    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
    std::uint64_t WallMs() override {
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) |
                                    now.dwLowDateTime; // 100 ns since 1601
        return (ticks - 116444736000000000ULL) / 10000;
    }
};

struct CState {
    CTickClock m_clock;
    std::FILE* m_file = nullptr;
    std::unique_ptr<CJobLog> m_log;
    std::unique_ptr<sarnok::sim::CSimStateFile> m_stateFile;
    std::unique_ptr<CSimulator> m_sim;
};
CState* g_state = nullptr; // lives until the process ends; closed in DllMain

std::string Environment(const char* name) {
    char value[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ModuleDirectory() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return ".";
        }
        if (length < path.size()) {
            path.resize(length);
            return DirectoryOf(path);
        }
        path.resize(path.size() * 2);
    }
}

bool IsAbsolute(const std::string& path) {
    return (path.size() > 1 && path[1] == ':') ||
           (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

CState& State() {
    if (g_state != nullptr) {
        return *g_state;
    }
    auto* state = new CState;
    std::string scenarioPath = Environment("SARNOK_SIM_SCENARIO");
    if (scenarioPath.empty()) {
        scenarioPath = ModuleDirectory() + "\\sim-scenario.txt";
    }
    CScenario scenario;
    std::string problem;
    std::ifstream in(scenarioPath);
    if (!in) {
        problem = "cannot read the scenario file";
    } else if (!sarnok::sim::ParseScenario(in, &scenario, &problem)) {
        scenario = CScenario{};
    }
    std::string logPath = Environment("SARNOK_SIM_LOG");
    if (logPath.empty()) {
        logPath = scenario.m_logPath.empty() ? ModuleDirectory() + "\\sim-job.log"
                  : IsAbsolute(scenario.m_logPath)
                      ? scenario.m_logPath
                      : DirectoryOf(scenarioPath) + "\\" + scenario.m_logPath;
    }
    state->m_file = std::fopen(logPath.c_str(), "w");
    state->m_log = std::make_unique<CJobLog>([state](const std::string& line) {
        if (state->m_file != nullptr) {
            std::fputs(line.c_str(), state->m_file);
            std::fputc('\n', state->m_file);
            std::fflush(state->m_file); // tests read the log while the program still runs
        }
    });
    state->m_log->Write("scenario " + CJobLog::Quote(scenarioPath.c_str()) +
                        (problem.empty() ? "" : " error=" + CJobLog::Quote(problem.c_str())));
    state->m_stateFile = std::make_unique<sarnok::sim::CSimStateFile>(
        DirectoryOf(scenarioPath) + "\\sim-state.txt",
        [](const std::string& from, const std::string& to) {
            return MoveFileExA(from.c_str(), to.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        });
    state->m_sim = std::make_unique<CSimulator>(std::move(scenario), state->m_clock, *state->m_log,
                                                state->m_stateFile.get());
    g_state = state;
    return *state;
}

// Runs one simulator call under the lock and sets the thread's last-error value afterwards,
// outside the lock, so nothing can overwrite it before the caller reads it.
template <typename F>
auto Call(F&& call) {
    std::uint32_t code = 0;
    decltype(call(std::declval<CSimulator&>())) result{};
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        CSimulator& sim = *State().m_sim;
        result = call(sim);
        code = sim.LastError();
    }
    if (!result) {
        SetLastError(code);
    }
    return result;
}

// Printer handles are small numbers in a range no real pointer uses.
constexpr std::uintptr_t kHandleBase = 0x5100000;

HANDLE ToHandle(SimHandle id) {
    return reinterpret_cast<HANDLE>(kHandleBase + id);
}

SimHandle FromHandle(HANDLE handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    return value > kHandleBase && value < kHandleBase + 0x100000 ? value - kHandleBase : 0;
}

// Texts are packed from the end of the caller's buffer downwards, as the spooler does.
class CTextPacker {
public:
    CTextPacker(BYTE* buffer, DWORD size) : m_end(reinterpret_cast<char*>(buffer) + size) {}
    char* Put(const std::string& text) {
        m_end -= text.size() + 1;
        std::memcpy(m_end, text.c_str(), text.size() + 1);
        return m_end;
    }

private:
    char* m_end;
};

BOOL Int(bool value) {
    return value ? TRUE : FALSE;
}

} // namespace

extern "C" {

// ---- spooler ----

BOOL WINAPI SimWs_EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                                LPDWORD needed, LPDWORD returned) {
    if (needed == nullptr || returned == nullptr) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    *returned = 0;
    const DWORD usable = buffer == nullptr ? 0 : size;
    return Call([&](CSimulator& sim) {
        std::uint32_t bytes = 0;
        std::vector<const CSimPrinterConfig*> printers;
        if (!sim.EnumerateLocal(flags, name, level, sizeof(PRINTER_INFO_5A), usable, &bytes,
                                &printers)) {
            *needed = bytes;
            return FALSE;
        }
        *needed = bytes;
        auto* records = reinterpret_cast<PRINTER_INFO_5A*>(buffer);
        CTextPacker texts(buffer, usable);
        for (std::size_t i = 0; i < printers.size(); ++i) {
            PRINTER_INFO_5A record{};
            record.pPrinterName = texts.Put(printers[i]->m_name);
            record.pPortName = texts.Put(printers[i]->m_port);
            record.Attributes = PRINTER_ATTRIBUTE_LOCAL;
            record.DeviceNotSelectedTimeout = 15000;
            record.TransmissionRetryTimeout = 45000;
            std::memcpy(&records[i], &record, sizeof record);
        }
        *returned = static_cast<DWORD>(printers.size());
        return TRUE;
    });
}

BOOL WINAPI SimWs_OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
    return Call([&](CSimulator& sim) {
        SimHandle id = 0;
        const bool ok = sim.Open(name, printer == nullptr ? nullptr : &id, defaults != nullptr,
                                 defaults != nullptr ? defaults->DesiredAccess : 0);
        if (printer != nullptr) {
            *printer = ok ? ToHandle(id) : nullptr;
        }
        return Int(ok);
    });
}

BOOL WINAPI SimWs_GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size,
                              LPDWORD needed) {
    if (needed == nullptr) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    return Call([&](CSimulator& sim) {
        std::uint32_t bytes = 0;
        CLevel2Texts texts;
        const bool ok =
            sim.QueryLevel2(FromHandle(printer), level, sizeof(PRINTER_INFO_2A), buffer != nullptr,
                            buffer == nullptr ? 0 : size, &bytes, &texts);
        *needed = bytes;
        if (!ok) {
            return FALSE;
        }
        PRINTER_INFO_2A record{};
        CTextPacker packer(buffer, size);
        record.pPrinterName = packer.Put(texts.m_printerName);
        record.pPortName = packer.Put(texts.m_portName);
        record.pDriverName = packer.Put(texts.m_driverName);
        record.pPrintProcessor = packer.Put(texts.m_printProcessor);
        record.pDatatype = packer.Put(texts.m_datatype);
        record.Attributes = PRINTER_ATTRIBUTE_LOCAL;
        record.Priority = 1;
        record.DefaultPriority = 1;
        std::memcpy(buffer, &record, sizeof record);
        return TRUE;
    });
}

BOOL WINAPI SimWs_ClosePrinter(HANDLE printer) {
    return Call([&](CSimulator& sim) { return Int(sim.ClosePrinter(FromHandle(printer))); });
}

BOOL WINAPI SimWs_WritePrinter(HANDLE printer, LPVOID buffer, DWORD length, LPDWORD written) {
    return Call([&](CSimulator& sim) {
        std::uint32_t count = 0;
        const bool ok = sim.WritePrinter(FromHandle(printer), buffer, length,
                                         written == nullptr ? nullptr : &count);
        if (written != nullptr) {
            *written = count;
        }
        return Int(ok);
    });
}

BOOL WINAPI SimWs_ReadPrinter(HANDLE printer, LPVOID buffer, DWORD length, LPDWORD read) {
    return Call([&](CSimulator& sim) {
        std::uint32_t count = 0;
        const bool ok = sim.ReadPrinter(FromHandle(printer), buffer, length,
                                        read == nullptr ? nullptr : &count);
        if (read != nullptr) {
            *read = count;
        }
        return Int(ok);
    });
}

// ---- status libraries ----

static int Info(ESource source, const char* name, int type, void* buffer, DWORD size,
                DWORD* required) {
    return Call([&](CSimulator& sim) {
        std::uint32_t bytes = 0;
        const int result = sim.GetCardPrinterInfo(source, name, type, buffer, size,
                                                  required == nullptr ? nullptr : &bytes);
        if (required != nullptr) {
            *required = bytes;
        }
        return result;
    });
}

int WINAPI SimOrn_GetCardPrinterInfoA(const char* name, int type, void* buffer, DWORD size,
                                      DWORD* required) {
    return Info(ESource::StatusLibrary, name, type, buffer, size, required);
}

int WINAPI SimOrnLegacy_GetCardPrinterInfoA(const char* name, int type, void* buffer, DWORD size,
                                            DWORD* required) {
    return Info(ESource::LegacyStatusLibrary, name, type, buffer, size, required);
}

int WINAPI SimOrn_GetCardPrinterPollingStateA(const char* name, DWORD* state) {
    return Call([&](CSimulator& sim) {
        std::int32_t value = 0;
        const int result =
            sim.GetCardPrinterPollingState(name, state == nullptr ? nullptr : &value);
        if (state != nullptr) {
            *state = static_cast<DWORD>(value);
        }
        return result;
    });
}

int WINAPI SimOrn_ResumePrinterPollingA(const char* name, int flag) {
    return Call([&](CSimulator& sim) { return sim.ResumePrinterPolling(name, flag); });
}

// ---- driver-interface libraries ----

static int ForwardStartDoc(ESource source, HANDLE printer, DWORD level, DOC_INFO_1A* doc,
                           DWORD mode, DWORD* jobId) {
    return Call([&](CSimulator& sim) {
        std::uint32_t id = jobId == nullptr ? 0 : *jobId;
        const int result = sim.ZevStartDocPrinter(
            source, FromHandle(printer), level, doc == nullptr ? nullptr : doc->pDocName,
            doc == nullptr ? nullptr : doc->pOutputFile, doc == nullptr ? nullptr : doc->pDatatype,
            mode, jobId == nullptr ? nullptr : &id);
        if (jobId != nullptr) {
            *jobId = id;
        }
        return result;
    });
}

static int ForwardEndDoc(ESource source, HANDLE printer, DWORD jobId) {
    return Call(
        [&](CSimulator& sim) { return sim.ZevEndDocPrinter(source, FromHandle(printer), jobId); });
}

static int ForwardReadReply(ESource source, HANDLE printer, void* buffer, DWORD capacity,
                            DWORD* read) {
    return Call([&](CSimulator& sim) {
        std::uint32_t count = 0;
        const int result = sim.ZevReadPrinter(source, FromHandle(printer), buffer, capacity,
                                              read == nullptr ? nullptr : &count);
        if (read != nullptr) {
            *read = count;
        }
        return result;
    });
}

int WINAPI SimDodaved_ZevStartDocPrinter(HANDLE printer, DWORD level, DOC_INFO_1A* doc, DWORD mode,
                                         DWORD* jobId) {
    return ForwardStartDoc(ESource::Dodaved, printer, level, doc, mode, jobId);
}
int WINAPI SimDodaved_ZevEndDocPrinter(HANDLE printer, DWORD jobId) {
    return ForwardEndDoc(ESource::Dodaved, printer, jobId);
}
int WINAPI SimDodaved_ZevReadPrinter(HANDLE printer, void* buffer, DWORD capacity, DWORD* read) {
    return ForwardReadReply(ESource::Dodaved, printer, buffer, capacity, read);
}
int WINAPI SimVizuvuv_ZevStartDocPrinter(HANDLE printer, DWORD level, DOC_INFO_1A* doc, DWORD mode,
                                         DWORD* jobId) {
    return ForwardStartDoc(ESource::Vizuvuv, printer, level, doc, mode, jobId);
}
int WINAPI SimVizuvuv_ZevEndDocPrinter(HANDLE printer, DWORD jobId) {
    return ForwardEndDoc(ESource::Vizuvuv, printer, jobId);
}
int WINAPI SimVizuvuv_ZevReadPrinter(HANDLE printer, void* buffer, DWORD capacity, DWORD* read) {
    return ForwardReadReply(ESource::Vizuvuv, printer, buffer, capacity, read);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && g_state != nullptr) {
        // At process exit the other threads are gone and may have died holding the lock, so
        // it is not taken then.
        if (reserved == nullptr) {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_state->m_sim->Shutdown();
        } else {
            g_state->m_sim->Shutdown();
        }
        if (g_state->m_file != nullptr) {
            std::fclose(g_state->m_file);
            g_state->m_file = nullptr;
        }
    }
    return TRUE;
}

} // extern "C"
