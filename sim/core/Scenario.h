// The scenario file: which virtual printers exist and which faults they show. Only the simulator
// reads it; the program under test never does.
//
//   # comment
//   [sim]
//   time-scale = 10          ; printer time runs this many times faster than real time
//   enum-error = 122         ; EnumPrintersA fails with this code (0: no forced failure)
//   log = job.log            ; job log, relative to the scenario file
//
//   [printer]
//   name = Card A
//   processor = "Mox Print Processor "   ; quotes keep blanks at the ends
//   port = USB001
//   ...                      ; see CSimPrinterConfig for every key
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sarnok::sim {

enum class EReplyMode {
    Auto,    // success when the job carried a complete image for this model, error otherwise
    Success, // the valid success frame, whatever was sent
    Error,   // a valid error frame (L = 3)
    Garbage, // twelve bytes that are no frame at all
    Split,   // the success frame, cut after m_splitAt bytes; the rest comes with the next read
    None,    // never answers
};

// Win32 error codes the simulator reports; plain numbers so the core needs no platform header.
namespace error {
inline constexpr std::uint32_t kInvalidHandle = 6;         // ERROR_INVALID_HANDLE
inline constexpr std::uint32_t kAccessDenied = 5;          // ERROR_ACCESS_DENIED
inline constexpr std::uint32_t kInvalidParameter = 87;     // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER
inline constexpr std::uint32_t kInvalidLevel = 124;        // ERROR_INVALID_LEVEL
inline constexpr std::uint32_t kNotReady = 21;             // ERROR_NOT_READY
inline constexpr std::uint32_t kDeviceNotConnected = 1167; // ERROR_DEVICE_NOT_CONNECTED
inline constexpr std::uint32_t kInvalidPrinterName = 1801; // ERROR_INVALID_PRINTER_NAME
inline constexpr std::uint32_t kNoStartDoc = 3003;         // ERROR_SPL_NO_STARTDOC
} // namespace error

struct CSimPrinterConfig {
    // Identity, as the spooler and the status library report it.
    std::string m_name;
    std::string m_port = "USB001";
    std::string m_printProcessor = "Mox Print Processor";
    std::string m_model = "CP-40";
    std::string m_legacyModel; // what ORN_API.bak reports; empty: the same as m_model
    std::string m_libVersion = "7.5.120";
    std::int32_t m_fwMajor = 1;
    std::int32_t m_fwMinor = 0;

    // Behaviour.
    std::uint32_t m_restartMs = 20000;  // polling busy after a flash job has been ended
    std::uint32_t m_busyMs = 0;         // polling busy for this long after the simulator starts
    bool m_pollingNeverSettles = false; // polling state never returns to 0
    bool m_neverTakesFirmware = false;  // restarts, but keeps reporting its old version
    std::uint32_t m_readDelayMs = 0;    // printer time each reply read costs

    // Spooler faults (0: none, otherwise the last-error code of the failure).
    std::uint32_t m_openError = 0;       // OpenPrinterA
    std::uint32_t m_getPrinterError = 0; // GetPrinterA level 2, the fetch after the size query
    std::optional<std::uint32_t> m_writeErrorAt; // 0-based write index (the header is write 0)
    std::uint32_t m_writeErrorCode = error::kDeviceNotConnected;
    std::optional<std::uint32_t> m_writeZeroAt; // that write succeeds with 0 bytes written
    std::uint32_t m_readError = 0;              // ReadPrinter (the zero-length reads)

    // Status library faults.
    std::set<int> m_infoSizeZero;    // info types whose size query reports 0
    std::set<int> m_infoFetchFails;  // info types whose fetch fails
    std::uint32_t m_shortRecord = 0; // non-zero: info type 2 is only this many bytes long

    // Driver-interface faults.
    std::uint32_t m_startDocError = 0;
    std::uint32_t m_endDocError = 0; // every end-document call fails
    std::uint32_t m_zevReadError = 0;

    // The status reply.
    EReplyMode m_reply = EReplyMode::Auto;
    std::uint32_t m_splitAt = 5;
    std::uint32_t m_emptyReads = 0; // reads that return 0 bytes before the reply
    std::uint32_t m_noiseReads = 0; // reads that return 1 stray byte before the reply
};

struct CScenario {
    std::vector<CSimPrinterConfig> m_printers;
    std::uint32_t m_enumError = 0;
    std::uint32_t m_timeScale = 1;
    std::string m_logPath;
};

// Reads a scenario. Unknown sections and keys, bad numbers and printers without a name are
// errors, so a mistyped fault never silently turns into a passing test. On failure error holds
// "line N: what".
bool ParseScenario(std::istream& in, CScenario* scenario, std::string* error);

// "32.29" -> 32, 29. False unless both numbers are present and the text holds nothing else.
bool ParseVersion(const std::string& text, std::int32_t* major, std::int32_t* minor);

} // namespace sarnok::sim
