// A driver-interface library for tests: plain functions with the library's exact entry-point
// forms, recording every call in one global recorder and answering from its script.
#pragma once

#include "fakes/FakePlatform.h"
#include "printer/DriverInterface.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sarnok::test {

struct CFakeDriverRecorder {
    // ---- Script ----
    int m_startResult = 1;
    std::uint32_t m_startError = 0;
    std::uint32_t m_jobIdAssigned = 4711; // written through the job-identifier pointer
    // Results of successive end-document calls; 1 once the list is used up.
    std::deque<int> m_endResults;
    std::uint32_t m_endError = 0;

    struct CReply {
        int m_result = 1;
        std::vector<std::uint8_t> m_bytes;
        std::optional<std::uint32_t> m_count; // default: the number of bytes copied
        std::uint32_t m_error = 0;
    };
    // Successive reads take from here; when it is empty, reads bring nothing.
    std::deque<CReply> m_replies;
    // Each read costs this much virtual time when a clock is attached.
    CVirtualClock* m_clock = nullptr;
    std::uint32_t m_readCostMs = 0;
    // A read beyond this many fails, so a broken wait loop ends a test instead of hanging it.
    std::size_t m_readLimit = 1000000;

    // ---- What happened ----
    // "start:LEVEL:MODE", "end:JOBID", "read:CAPACITY"; also appended to m_timeline if set.
    std::vector<std::string> m_calls;
    std::vector<std::string>* m_timeline = nullptr;
    // Called on every entry-point call, before it answers; lets a test look at the world then.
    std::function<void(const std::string& call)> m_onCall;
    std::string m_docName;
    bool m_outputFileNull = false;
    bool m_dataTypeNull = false;
    std::vector<PrinterHandle> m_printers; // handle passed to every call
    std::vector<std::uint32_t> m_endJobIds;
    std::size_t m_reads = 0;
    int m_openJobs = 0; // started minus successfully ended

    int Count(const std::string& prefix) const;
};

// The recorder every fake entry point writes to; Reset() before each test.
CFakeDriverRecorder& DriverRecorder();
void ResetDriverRecorder();

// The export sets a test library can offer.
enum class EDriverExports {
    Plain,         // the three plain names
    DecoratedOnly, // only "@20", "@8", "@16"
    Both,          // plain names bound to the recorder, decorated names to functions that fail
    WithoutRead,   // start and end, but no read entry point under either name
};

// Registers a library of that name with the loader (DODAVED.DLL by default).
void AddDriverLibrary(CFakeLoader& loader, EDriverExports exports = EDriverExports::Plain,
                      const std::string& fileName = "DODAVED.DLL");

// A dialog ready for an update run: a fresh recorder, DODAVED.DLL loaded into m_hLibrary and
// printer "P1" selected and known to the status library. The caller names the firmware file.
void PrepareForRun(CTestRig& rig);

// The reply frames every test speaks of.
std::vector<std::uint8_t> SuccessFrame();
std::vector<std::uint8_t> ErrorFrame();

} // namespace sarnok::test
