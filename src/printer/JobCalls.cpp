// The flash job's spool calls: the driver-interface binding, and the calls that start, write,
// read back and end the job. Every failure but the binding's is raised as CWinAPIException.
#include "app/CfuuDlg.h"
#include "printer/DriverInterface.h"
#include "printer/WinAPIException.h"

namespace sarnok {

namespace {

constexpr std::uint32_t kDocInfoLevel = 1;
// ERROR_PROC_NOT_FOUND: reported when a job call finds its slot empty.
constexpr std::uint32_t kErrorProcNotFound = 127;

FarProc LookupEither(ILibraryLoader& loader, ModuleHandle module, const char* plain,
                     const char* decorated) {
    FarProc entry = loader.Lookup(module, plain);
    if (entry == nullptr) {
        entry = loader.Lookup(module, decorated);
    }
    return entry;
}

[[noreturn]] void Raise(std::uint32_t errorCode, ISystemServices& system) {
    throw CWinAPIException(errorCode, system);
}

} // namespace

int CfuuDlg::BindDriverInterface(ModuleHandle& module) {
    if (module == nullptr) {
        m_ports.m_view.SetStatusText(1, kLibraryNotLoaded);
        return 0;
    }
    ILibraryLoader& loader = m_ports.m_loader;
    // FarProc is the generic function pointer type, so these casts are exact round trips of
    // what the library exports.
    ZevStartDocPrinter = reinterpret_cast<PFN_ZevStartDocPrinter>(
        LookupEither(loader, module, kStartDocName, kStartDocDecorated));
    ZevEndDocPrinter = reinterpret_cast<PFN_ZevEndDocPrinter>(
        LookupEither(loader, module, kEndDocName, kEndDocDecorated));
    ZevReadPrinter = reinterpret_cast<PFN_ZevReadPrinter>(
        LookupEither(loader, module, kReadName, kReadDecorated));
    if (ZevStartDocPrinter == nullptr || ZevEndDocPrinter == nullptr || ZevReadPrinter == nullptr) {
        loader.Release(module);
        module = nullptr;
        m_ports.m_view.SetStatusText(1, kEntryPointMissing);
        return 0;
    }
    return 1;
}

int CfuuDlg::StartDocument(const char* docName, const char* outputFile, const char* dataType,
                           std::uint32_t mode) {
    if (ZevStartDocPrinter == nullptr) {
        Raise(kErrorProcNotFound, m_ports.m_system);
    }
    // The record only lives for the call; the library takes non-const pointers but only reads.
    CDocInfo1 docInfo{const_cast<char*>(docName), const_cast<char*>(outputFile),
                      const_cast<char*>(dataType)};
    const int result = ZevStartDocPrinter(m_hPrinter, kDocInfoLevel, &docInfo, mode, &m_jobId);
    if (result == 0) {
        Raise(m_ports.m_system.GetLastErrorCode(), m_ports.m_system);
    }
    return result;
}

std::uint32_t CfuuDlg::WriteJob(const void* buffer, std::uint32_t length) {
    std::uint32_t written = 0;
    if (m_ports.m_spooler.Write(m_hPrinter, buffer, length, &written) == 0) {
        RaiseLastError();
    }
    // Not compared with the length: the caller decides what a short count means.
    return written;
}

void CfuuDlg::RaiseLastError() {
    Raise(m_ports.m_system.GetLastErrorCode(), m_ports.m_system);
}

void CfuuDlg::ReadZeroLength() {
    std::uint32_t count = 0;
    const int result = m_ports.m_spooler.Read(m_hPrinter, nullptr, 0, &count);
    // Some spoolers report the read as failed yet give a count; that still counts as done.
    if (result == 0 && count == 0) {
        Raise(m_ports.m_system.GetLastErrorCode(), m_ports.m_system);
    }
}

std::uint32_t CfuuDlg::ReadReply(void* buffer, std::uint32_t capacity) {
    if (ZevReadPrinter == nullptr) {
        Raise(kErrorProcNotFound, m_ports.m_system);
    }
    std::uint32_t count = 0;
    if (ZevReadPrinter(m_hPrinter, buffer, capacity, &count) == 0) {
        Raise(m_ports.m_system.GetLastErrorCode(), m_ports.m_system);
    }
    // A library that claims more than the buffer holds must not make anyone read past it.
    return count < capacity ? count : capacity;
}

void CfuuDlg::EndDocument() {
    if (ZevEndDocPrinter == nullptr) {
        Raise(kErrorProcNotFound, m_ports.m_system);
    }
    // Only the first step of a two-step update ends the job by the identifier the start gave.
    if (m_twoStep == 0) {
        m_jobId = 0;
    }
    if (ZevEndDocPrinter(m_hPrinter, m_jobId) != 0) {
        m_jobId = 1;
        return;
    }
    // One repeat, whose result is not looked at; its last-error value is what is reported.
    ZevEndDocPrinter(m_hPrinter, m_jobId);
    Raise(m_ports.m_system.GetLastErrorCode(), m_ports.m_system);
}

} // namespace sarnok
