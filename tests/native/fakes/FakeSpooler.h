// An in-memory spooler: installed printers for discovery, and a job sink that records writes.
#pragma once

#include "ports/Spooler.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sarnok::test {

class CFakeSpooler : public ISpooler {
public:
    struct CPrinter {
        std::string m_name;
        std::string m_port;
        std::string m_printProcessor;
        bool m_openFails = false;
        bool m_queryFails = false;
    };

    CEnumerationResult EnumerateLocalPrinters() override;
    bool Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) override;
    bool QueryPrintProcessor(PrinterHandle printer, std::string* processor) override;
    bool Close(PrinterHandle printer) override;
    int Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
              std::uint32_t* written) override;
    int Read(PrinterHandle printer, void* buffer, std::uint32_t length,
             std::uint32_t* read) override;

    void AddPrinter(const std::string& name, const std::string& port,
                    const std::string& processor = "Mox Print Processor");
    std::size_t OpenHandles() const { return m_open.size(); }

    // Discovery set-up.
    std::vector<CPrinter> m_printers;
    std::optional<EEnumeration> m_enumerationFailure;
    std::uint32_t m_enumerationError = 0;

    // Job side. Write k (0-based, header included) may be scripted; the default accepts all.
    struct CWriteOutcome {
        int m_result = 1;
        std::optional<std::uint32_t> m_written; // default: the whole length
        std::uint32_t m_error = 0;              // last-error value on failure
    };
    std::map<std::size_t, CWriteOutcome> m_writeOutcomes;
    // Zero-length read k may be scripted: result and count.
    struct CReadOutcome {
        int m_result = 1;
        std::uint32_t m_count = 0;
        std::uint32_t m_error = 0;
    };
    std::map<std::size_t, CReadOutcome> m_readOutcomes;
    bool m_jobOpenFails = false; // Open with kPrinterAllAccess fails

    // What happened.
    std::vector<std::uint32_t> m_writeLengths; // length asked for, per write
    std::vector<std::uint8_t> m_bytesWritten;  // everything accepted, in order
    std::vector<const void*> m_writeSources;   // buffer pointer per write
    std::vector<std::string> m_calls;          // "open:NAME:ACCESS", "write:N", "read0", ...
    std::vector<std::uint32_t> m_openAccess;
    std::size_t m_readCalls = 0;

private:
    std::set<std::uintptr_t> m_open;
    std::map<std::uintptr_t, std::string> m_names;
    std::uintptr_t m_nextHandle = 0x1000;
};

} // namespace sarnok::test
