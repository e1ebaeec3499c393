// The virtual card printer system: the printers the spooler knows, their status-library answers
// and the flash jobs they receive. Every call the DLLs forward lands here, is checked the way a
// real printer would check it, and is written to the job log.
//
// Faults and behaviour come from the scenario. Results follow the Win32 form: non-zero on
// success, otherwise 0 and the reason in LastError().
#pragma once

#include "core/DemoFirmware.h"
#include "core/JobLog.h"
#include "core/Scenario.h"
#include "core/SimClock.h"
#include "core/SimState.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sarnok::sim {

// Which library a call came through; the log names it, so tests see which DLL the program used.
enum class ESource { Spooler, StatusLibrary, LegacyStatusLibrary, Dodaved, Vizuvuv };
const char* SourceName(ESource source);

using SimHandle = std::uintptr_t; // 0 is never a valid handle

// The texts a level-2 printer record points to, in the order the DLL lays them out.
struct CLevel2Texts {
    std::string m_printerName;
    std::string m_portName;
    std::string m_driverName;
    std::string m_printProcessor;
    std::string m_datatype;

    std::uint32_t Bytes() const; // all texts with their terminators
};

// Type-1 status record: two pointers, to the model name and to the library's version text.
// The simulator puts both texts behind the pointers inside the caller's buffer, so they live
// exactly as long as the buffer the caller owns.
struct CInfo1Record {
    const char* m_model;
    const char* m_libVersion;
};
inline constexpr std::uint32_t kInfo2RecordSize = 24;

// Reply frames the printer can send.
std::vector<std::uint8_t> SuccessFrame();
std::vector<std::uint8_t> ErrorFrame();
std::vector<std::uint8_t> GarbageFrame();

class CSimulator {
public:
    // With a state file the printers start at the versions it remembers (see SimState.h) and
    // it is written whenever a restart begins or ends; without one each simulator starts at the
    // scenario's versions.
    CSimulator(CScenario scenario, ISimClock& clock, CJobLog& log,
               const CSimStateFile* state = nullptr);

    std::uint32_t LastError() const { return m_lastError; }
    // Printer time in milliseconds: real time multiplied by the scenario's time scale.
    std::uint64_t Now();

    // ---- spooler ----
    // Level-5 enumeration of the local printers. recordSize is the platform's PRINTER_INFO_5A
    // size. Fails with ERROR_INSUFFICIENT_BUFFER when the records and texts need more than
    // bufferSize bytes (needed says how many). On success printers lists what to lay out.
    bool EnumerateLocal(std::uint32_t flags, const char* serverName, std::uint32_t level,
                        std::uint32_t recordSize, std::uint32_t bufferSize, std::uint32_t* needed,
                        std::vector<const CSimPrinterConfig*>* printers);
    // access 0 stands for "no defaults" (the spooler's default access).
    bool Open(const char* name, SimHandle* handle, bool hasDefaults, std::uint32_t access);
    // Level 2 only. A call without a buffer (or with one too small) fails with
    // ERROR_INSUFFICIENT_BUFFER and sets needed = recordSize + the texts' bytes.
    bool QueryLevel2(SimHandle handle, std::uint32_t level, std::uint32_t recordSize,
                     bool haveBuffer, std::uint32_t bufferSize, std::uint32_t* needed,
                     CLevel2Texts* texts);
    bool ClosePrinter(SimHandle handle);
    bool WritePrinter(SimHandle handle, const void* buffer, std::uint32_t length,
                      std::uint32_t* written);
    bool ReadPrinter(SimHandle handle, void* buffer, std::uint32_t length, std::uint32_t* read);

    // ---- status library ----
    int GetCardPrinterInfo(ESource source, const char* printerName, int infoType, void* buffer,
                           std::uint32_t bufferSize, std::uint32_t* requiredSize);
    int GetCardPrinterPollingState(const char* printerName, std::int32_t* state);
    int ResumePrinterPolling(const char* printerName, int flag);

    // ---- driver-interface library ----
    int ZevStartDocPrinter(ESource source, SimHandle handle, std::uint32_t level,
                           const char* docName, const char* outputFile, const char* datatype,
                           std::uint32_t mode, std::uint32_t* jobId);
    int ZevEndDocPrinter(ESource source, SimHandle handle, std::uint32_t jobId);
    int ZevReadPrinter(ESource source, SimHandle handle, void* buffer, std::uint32_t capacity,
                       std::uint32_t* read);

    // Writes the closing line (handles and jobs still open). Call once, at process exit.
    void Shutdown();

    std::size_t OpenHandles() const { return m_handles.size(); }
    // The firmware a printer reports right now; false for an unknown printer.
    bool ReportedFirmware(const std::string& name, std::int32_t* major, std::int32_t* minor);

private:
    enum class EOutcome { Pending, Success, Error, Garbage, Split, None };

    struct CJob {
        std::uint32_t m_id = 0;
        std::string m_docName;
        std::vector<std::uint32_t> m_chunks; // accepted byte counts per write, header included
        std::uint32_t m_writes = 0;          // write calls, failed ones included
        bool m_headerSeen = false;
        bool m_headerOk = false;
        std::uint32_t m_sizeField = 0;
        std::vector<std::uint8_t> m_body;
        CFnv1a64 m_hash;
        std::uint32_t m_replyReads = 0;
        EOutcome m_outcome = EOutcome::Pending;
        std::vector<std::uint8_t> m_frame;
        std::size_t m_frameSent = 0;
        std::vector<std::string> m_problems;
    };
    struct CPrinter {
        CSimPrinterConfig m_config;
        std::int32_t m_major = 0;
        std::int32_t m_minor = 0;
        bool m_restarting = false;
        std::uint64_t m_restartEnd = 0;
        std::optional<CDemoImageInfo> m_pending; // version reported once the restart is over
    };
    struct CHandle {
        std::size_t m_printer = 0;
        std::uint32_t m_access = 0;
        std::optional<CJob> m_job;
    };

    bool Fail(std::uint32_t code);
    void Log(const std::string& line);
    void FlushEmptyReads();
    void Advance(); // applies the restarts whose time has come
    void LoadState();
    void SaveState();
    CPrinter* FindPrinter(const char* name);
    CHandle* FindHandle(SimHandle handle);
    std::string HandleText(SimHandle handle) const;
    bool JobComplete(const CJob& job) const;
    bool ImageFits(const CJob& job, const CPrinter& printer, CDemoImageInfo* image) const;
    void DecideReply(CJob& job, const CPrinter& printer);
    void FinishJob(CHandle& handle, const char* how);

    CScenario m_scenario;
    ISimClock& m_clock;
    CJobLog& m_log;
    const CSimStateFile* m_state;
    std::uint64_t m_epoch = 0;
    std::uint32_t m_lastError = 0;
    std::vector<CPrinter> m_printers;
    std::map<SimHandle, CHandle> m_handles;
    SimHandle m_nextHandle = 1;
    std::uint32_t m_nextJobId = 41;
    // Reads that returned nothing are logged as one line per run, not one line per read.
    std::string m_emptyReadCall;
    std::uint64_t m_emptyReads = 0;
    bool m_shutDown = false;
};

} // namespace sarnok::sim
