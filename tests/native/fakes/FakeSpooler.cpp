#include "fakes/FakeSpooler.h"

#include "fakes/FakePlatform.h"

#include <cstring>

namespace sarnok::test {

void CFakeSpooler::AddPrinter(const std::string& name, const std::string& port,
                              const std::string& processor) {
    m_printers.push_back({name, port, processor});
}

CEnumerationResult CFakeSpooler::EnumerateLocalPrinters() {
    m_calls.push_back("enum");
    CEnumerationResult result;
    if (m_enumerationFailure) {
        result.m_result = *m_enumerationFailure;
        result.m_errorCode = m_enumerationError;
        return result;
    }
    result.m_result = EEnumeration::Ok;
    for (const CPrinter& printer : m_printers) {
        result.m_printers.push_back({printer.m_name, printer.m_port});
    }
    return result;
}

bool CFakeSpooler::Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) {
    m_calls.push_back("open:" + std::string(printerName) + ":" + std::to_string(access));
    m_openAccess.push_back(access);
    bool fails = access == kPrinterAllAccess && m_jobOpenFails;
    bool known = access == kPrinterAllAccess;
    for (const CPrinter& candidate : m_printers) {
        if (candidate.m_name == printerName) {
            known = true;
            fails = fails || (access != kPrinterAllAccess && candidate.m_openFails);
        }
    }
    if (!known || fails) {
        *printer = nullptr;
        SetLastErrorValue(1801); // ERROR_INVALID_PRINTER_NAME
        return false;
    }
    const std::uintptr_t handle = m_nextHandle++;
    m_open.insert(handle);
    m_names[handle] = printerName;
    *printer = reinterpret_cast<PrinterHandle>(handle);
    return true;
}

bool CFakeSpooler::QueryPrintProcessor(PrinterHandle printer, std::string* processor) {
    const auto handle = reinterpret_cast<std::uintptr_t>(printer);
    m_calls.push_back("query");
    if (!m_open.count(handle)) {
        return false;
    }
    for (const CPrinter& candidate : m_printers) {
        if (candidate.m_name == m_names[handle]) {
            if (candidate.m_queryFails) {
                return false;
            }
            *processor = candidate.m_printProcessor;
            return true;
        }
    }
    return false;
}

bool CFakeSpooler::Close(PrinterHandle printer) {
    m_calls.push_back("close");
    return m_open.erase(reinterpret_cast<std::uintptr_t>(printer)) != 0;
}

int CFakeSpooler::Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
                        std::uint32_t* written) {
    const std::size_t index = m_writeLengths.size();
    m_calls.push_back("write:" + std::to_string(length));
    m_writeLengths.push_back(length);
    m_writeSources.push_back(buffer);
    if (!m_open.count(reinterpret_cast<std::uintptr_t>(printer))) {
        SetLastErrorValue(6); // ERROR_INVALID_HANDLE
        return 0;
    }
    CWriteOutcome outcome;
    if (const auto it = m_writeOutcomes.find(index); it != m_writeOutcomes.end()) {
        outcome = it->second;
    }
    if (outcome.m_result == 0) {
        // A failing spooler may still report a count; only a scripted one is given.
        if (outcome.m_written.has_value()) {
            *written = *outcome.m_written;
        }
        SetLastErrorValue(outcome.m_error);
        return 0;
    }
    const std::uint32_t count = outcome.m_written.value_or(length);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    m_bytesWritten.insert(m_bytesWritten.end(), bytes, bytes + count);
    *written = count;
    return outcome.m_result;
}

int CFakeSpooler::Read(PrinterHandle /*printer*/, void* /*buffer*/, std::uint32_t length,
                       std::uint32_t* read) {
    const std::size_t index = m_readCalls++;
    m_calls.push_back("read:" + std::to_string(length));
    CReadOutcome outcome;
    if (const auto it = m_readOutcomes.find(index); it != m_readOutcomes.end()) {
        outcome = it->second;
    }
    *read = outcome.m_count;
    if (outcome.m_result == 0) {
        SetLastErrorValue(outcome.m_error);
    }
    return outcome.m_result;
}

} // namespace sarnok::test
