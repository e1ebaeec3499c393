// The print spooler as discovery and the flash job use it.
#pragma once

#include "ports/Handles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sarnok {

// Access right the update run opens the printer with (PRINTER_ALL_ACCESS).
inline constexpr std::uint32_t kPrinterAllAccess = 0xF000C;
// Size of the fixed buffer the local printers are enumerated into.
inline constexpr std::uint32_t kEnumerationBufferSize = 2000;

struct CPrinterEntry {
    std::string m_name;
    std::string m_port;
};

enum class EEnumeration {
    Ok,
    InsufficientBuffer, // the records did not fit in the fixed buffer (ERROR_INSUFFICIENT_BUFFER)
    Failed,             // any other reason
};

struct CEnumerationResult {
    EEnumeration m_result = EEnumeration::Failed;
    std::uint32_t m_errorCode = 0;
    std::vector<CPrinterEntry> m_printers; // spooler order; only on Ok
};

class ISpooler {
public:
    virtual ~ISpooler() = default;

    // Level-5 enumeration of the local printers into a buffer of kEnumerationBufferSize bytes;
    // never retried with a larger buffer.
    virtual CEnumerationResult EnumerateLocalPrinters() = 0;

    // OpenPrinterA. access 0 means the default access (no PRINTER_DEFAULTS). Non-zero on success.
    virtual bool Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) = 0;

    // GetPrinterA level 2: size query, then a buffer of exactly that size. False when the
    // query failed; on success processor holds pPrintProcessor (empty when the record has none).
    virtual bool QueryPrintProcessor(PrinterHandle printer, std::string* processor) = 0;

    virtual bool Close(PrinterHandle printer) = 0;

    // WritePrinter / ReadPrinter with the spooler's own result convention: non-zero on success,
    // the reason in LastError() otherwise.
    virtual int Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
                      std::uint32_t* written) = 0;
    virtual int Read(PrinterHandle printer, void* buffer, std::uint32_t length,
                     std::uint32_t* read) = 0;
};

} // namespace sarnok
