#include "BenchPorts.h"

#include <thread>

namespace sarnok::bench {

namespace {
// Any non-null value will do: the sink has one printer and the file port one file.
PrinterHandle const kPrinter = reinterpret_cast<PrinterHandle>(std::uintptr_t{0x1000});
FileHandle const kFile = reinterpret_cast<FileHandle>(std::uintptr_t{0x2000});
MappingHandle const kMapping = reinterpret_cast<MappingHandle>(std::uintptr_t{0x3000});
} // namespace

// ---- CCountingSpooler ----

CEnumerationResult CCountingSpooler::EnumerateLocalPrinters() {
    return CEnumerationResult{EEnumeration::Failed, 0, {}};
}

bool CCountingSpooler::Open(const char*, PrinterHandle* printer, std::uint32_t) {
    *printer = kPrinter;
    ++m_openHandles;
    return true;
}

bool CCountingSpooler::QueryPrintProcessor(PrinterHandle, std::string*) {
    return false;
}

bool CCountingSpooler::Close(PrinterHandle) {
    --m_openHandles;
    return true;
}

int CCountingSpooler::Write(PrinterHandle, const void*, std::uint32_t length,
                            std::uint32_t* written) {
    if (m_writes == 0) {
        m_firstWrite = CSteadyClock::now();
    }
    ++m_writes;
    m_bytes += length;
    *written = length;
    return 1;
}

int CCountingSpooler::Read(PrinterHandle, void*, std::uint32_t, std::uint32_t* read) {
    ++m_zeroReads;
    // The second zero-length read ends the send phase.
    if (m_zeroReads == 2) {
        m_lastZeroRead = CSteadyClock::now();
    }
    *read = 0;
    return 1;
}

void CCountingSpooler::Clear() {
    m_bytes = 0;
    m_writes = 0;
    m_zeroReads = 0;
    m_firstWrite = {};
    m_lastZeroRead = {};
}

double CCountingSpooler::SendSeconds() const {
    if (m_zeroReads < 2 || m_writes == 0) {
        return -1.0;
    }
    return std::chrono::duration<double>(m_lastZeroRead - m_firstWrite).count();
}

// ---- CMemoryFirmwareFile ----

CMemoryFirmwareFile::CMemoryFirmwareFile(std::size_t size) : m_bytes(size) {
    // Written once, so every page exists before anything is timed.
    for (std::size_t i = 0; i < size; ++i) {
        m_bytes[i] = static_cast<std::uint8_t>(i * 31 + (i >> 12));
    }
}

void CMemoryFirmwareFile::SetNormalAttributes(const std::string&) {}

FileHandle CMemoryFirmwareFile::OpenExclusive(const std::string&) {
    ++m_openFiles;
    return kFile;
}

std::uint64_t CMemoryFirmwareFile::GetSize(FileHandle) {
    return m_bytes.size();
}

MappingHandle CMemoryFirmwareFile::CreateMapping(FileHandle, std::uint32_t size) {
    if (size != m_bytes.size()) {
        return nullptr;
    }
    ++m_openMappings;
    return kMapping;
}

const std::uint8_t* CMemoryFirmwareFile::MapView(MappingHandle) {
    ++m_openViews;
    return m_bytes.data();
}

void CMemoryFirmwareFile::UnmapView(const std::uint8_t*) {
    --m_openViews;
}

void CMemoryFirmwareFile::CloseMapping(MappingHandle) {
    --m_openMappings;
}

void CMemoryFirmwareFile::CloseFile(FileHandle) {
    --m_openFiles;
}

void CMemoryFirmwareFile::Delete(const char*) {}

// ---- CRealClock ----

CRealClock::CRealClock() : m_origin(CSteadyClock::now()) {}

std::uint32_t CRealClock::GetTickCount() {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(CSteadyClock::now() - m_origin);
    return static_cast<std::uint32_t>(elapsed.count());
}

void CRealClock::Sleep(std::uint32_t milliseconds) {
    m_sleptMs += milliseconds;
    ++m_sleeps;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace sarnok::bench
