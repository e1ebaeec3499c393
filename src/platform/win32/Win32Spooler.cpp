#include "Win32Spooler.h"

#include "printer/PrinterInfo5Walk.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

namespace sarnok::win32 {

CEnumerationResult CWin32Spooler::EnumerateLocalPrinters() {
    // The records and the texts they point to share this buffer; it is never enlarged.
    alignas(8) unsigned char buffer[kEnumerationBufferSize];
    DWORD needed = 0;
    DWORD count = 0;
    CEnumerationResult result;
    if (!::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, buffer, sizeof buffer, &needed, &count)) {
        result.m_errorCode = ::GetLastError();
        result.m_result = result.m_errorCode == ERROR_INSUFFICIENT_BUFFER
                              ? EEnumeration::InsufficientBuffer
                              : EEnumeration::Failed;
        return result;
    }
    result.m_result = EEnumeration::Ok;
    result.m_printers = WalkPrinterInfo5<PRINTER_INFO_5A>(buffer, sizeof buffer, count);
    return result;
}

bool CWin32Spooler::Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) {
    // OpenPrinterA takes a writable name; it gets a copy.
    std::vector<char> name(printerName, printerName + std::char_traits<char>::length(printerName));
    name.push_back('\0');
    HANDLE handle = nullptr;
    BOOL opened = FALSE;
    if (access == 0) {
        opened = ::OpenPrinterA(name.data(), &handle, nullptr);
    } else {
        PRINTER_DEFAULTSA defaults{};
        defaults.pDatatype = nullptr;
        defaults.pDevMode = nullptr;
        defaults.DesiredAccess = access;
        opened = ::OpenPrinterA(name.data(), &handle, &defaults);
    }
    if (!opened) {
        *printer = nullptr;
        return false;
    }
    *printer = handle;
    return true;
}

bool CWin32Spooler::QueryPrintProcessor(PrinterHandle printer, std::string* processor) {
    DWORD needed = 0;
    ::GetPrinterA(printer, 2, nullptr, 0, &needed);
    if (needed < sizeof(PRINTER_INFO_2A)) {
        return false;
    }
    // Exactly the size the spooler asked for, aligned for the record at its start.
    std::vector<std::uint64_t> storage((needed + sizeof(std::uint64_t) - 1) /
                                       sizeof(std::uint64_t));
    auto* bytes = reinterpret_cast<LPBYTE>(storage.data());
    if (!::GetPrinterA(printer, 2, bytes, needed, &needed)) {
        return false;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(bytes);
    *processor =
        info->pPrintProcessor != nullptr ? std::string(info->pPrintProcessor) : std::string();
    return true;
}

bool CWin32Spooler::Close(PrinterHandle printer) {
    return ::ClosePrinter(printer) != FALSE;
}

int CWin32Spooler::Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
                         std::uint32_t* written) {
    DWORD count = 0;
    const BOOL ok = ::WritePrinter(printer, const_cast<void*>(buffer), length, &count);
    *written = count;
    return ok;
}

int CWin32Spooler::Read(PrinterHandle printer, void* buffer, std::uint32_t length,
                        std::uint32_t* read) {
    DWORD count = 0;
    const BOOL ok = ::ReadPrinter(printer, buffer, length, &count);
    *read = count;
    return ok;
}

} // namespace sarnok::win32
