// ISpooler over the Windows print spooler (winspool).
#pragma once

#include "ports/Spooler.h"

namespace sarnok::win32 {

class CWin32Spooler : public ISpooler {
public:
    CEnumerationResult EnumerateLocalPrinters() override;
    bool Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) override;
    bool QueryPrintProcessor(PrinterHandle printer, std::string* processor) override;
    bool Close(PrinterHandle printer) override;
    int Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
              std::uint32_t* written) override;
    int Read(PrinterHandle printer, void* buffer, std::uint32_t length,
             std::uint32_t* read) override;
};

} // namespace sarnok::win32
