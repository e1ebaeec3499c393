// Ports for measuring the program rather than its surroundings: a spooler sink that only counts,
// a firmware file whose view is a real block of memory, and a clock on real time.
#pragma once

#include "ports/Clock.h"
#include "ports/FirmwareFile.h"
#include "ports/Spooler.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sarnok::bench {

using CSteadyClock = std::chrono::steady_clock;

// Accepts every write whole and discards it. The send phase is timed from the first write (the
// header) to the second zero-length read (the end of the send), so the timing brackets exactly
// what the update run does to send the file and nothing around it.
class CCountingSpooler : public ISpooler {
public:
    CEnumerationResult EnumerateLocalPrinters() override;
    bool Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) override;
    bool QueryPrintProcessor(PrinterHandle printer, std::string* processor) override;
    bool Close(PrinterHandle printer) override;
    int Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
              std::uint32_t* written) override;
    int Read(PrinterHandle printer, void* buffer, std::uint32_t length,
             std::uint32_t* read) override;

    // Starts a fresh count and forgets the timestamps.
    void Clear();
    double SendSeconds() const;

    std::uint64_t m_bytes = 0;
    std::uint64_t m_writes = 0;
    std::uint64_t m_zeroReads = 0;
    int m_openHandles = 0;
    CSteadyClock::time_point m_firstWrite{};
    CSteadyClock::time_point m_lastZeroRead{};
};

// One firmware file held in an ordinary block of memory; the view is that block itself, so the
// update run reads real memory as it would a mapped file.
class CMemoryFirmwareFile : public IFirmwareFile {
public:
    explicit CMemoryFirmwareFile(std::size_t size);

    void SetNormalAttributes(const std::string& path) override;
    FileHandle OpenExclusive(const std::string& path) override;
    std::uint64_t GetSize(FileHandle file) override;
    MappingHandle CreateMapping(FileHandle file, std::uint32_t size) override;
    const std::uint8_t* MapView(MappingHandle mapping) override;
    void UnmapView(const std::uint8_t* view) override;
    void CloseMapping(MappingHandle mapping) override;
    void CloseFile(FileHandle file) override;
    void Delete(const char* fileName) override;

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    int OpenCount() const { return m_openFiles + m_openMappings + m_openViews; }

private:
    std::vector<std::uint8_t> m_bytes;
    int m_openFiles = 0;
    int m_openMappings = 0;
    int m_openViews = 0;
};

// Real time: the waits sleep for as long as they ask, and the total asked for is kept, so the
// time a click takes can be compared with the time its waits mandate.
class CRealClock : public IClock {
public:
    CRealClock();
    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
    void KeepResponsive() override {}

    std::uint64_t m_sleptMs = 0;
    int m_sleeps = 0;

private:
    CSteadyClock::time_point m_origin;
};

} // namespace sarnok::bench
