// The virtual card printer behind the core's ports, so the whole dialog logic can run against
// it natively on virtual time: the spooler and the status library as port adapters, the
// driver-interface libraries as modules of the fake loader whose entry points call the printer.
#pragma once

#include "app/CfuuDlg.h"
#include "core/Simulator.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeView.h"

#include <memory>
#include <string>

namespace sarnok::e2e {

// Printer time follows the program's virtual clock; a reply read that costs the printer time
// costs the program the same.
class CVirtualSimClock : public sim::ISimClock {
public:
    explicit CVirtualSimClock(test::CVirtualClock& clock) : m_clock(clock), m_last(clock.m_now) {}
    std::uint64_t NowMs() override;
    void Sleep(std::uint32_t milliseconds) override { m_clock.m_now += milliseconds; }

private:
    test::CVirtualClock& m_clock;
    std::uint32_t m_last;
    std::uint64_t m_total = 0;
};

class CSimSpooler : public ISpooler {
public:
    explicit CSimSpooler(sim::CSimulator& sim) : m_sim(sim) {}
    CEnumerationResult EnumerateLocalPrinters() override;
    bool Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) override;
    bool QueryPrintProcessor(PrinterHandle printer, std::string* processor) override;
    bool Close(PrinterHandle printer) override;
    int Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
              std::uint32_t* written) override;
    int Read(PrinterHandle printer, void* buffer, std::uint32_t length,
             std::uint32_t* read) override;

private:
    sim::CSimulator& m_sim;
};

class CSimStatusLibrary : public IStatusLibrary {
public:
    explicit CSimStatusLibrary(sim::CSimulator& sim) : m_sim(sim) {}
    int GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                           std::uint32_t bufferSize, std::uint32_t* requiredSize) override;
    int GetCardPrinterPollingState(const char* printerName, std::int32_t* state) override;
    int ResumePrinterPolling(const char* printerName, int flag) override;

private:
    sim::CSimulator& m_sim;
};

// A CfuuDlg wired to one virtual printer system described by a scenario text. The executable
// lives in C:\Tools\Sarnok\, where the firmware files and the catalogue are.
class CSimRig {
public:
    explicit CSimRig(const std::string& scenario);
    ~CSimRig();

    void AddFirmware(const std::string& fileName, const std::string& model,
                     const std::string& version, std::size_t size);
    const std::vector<std::uint8_t>& FileBytes(const std::string& fileName);
    void Catalogue(const std::string& section, const std::string& key, const std::string& value);
    bool Logged(const std::string& text) const { return !m_log.Matching(text).empty(); }
    std::size_t Count(const std::string& text) const { return m_log.Matching(text).size(); }
    // Selects list entry index and delivers the selection, as the dialog would.
    void Select(int index);
    std::uint64_t Elapsed() const { return m_clock.m_now - m_start; }

    test::CFakeView m_view;
    test::CVirtualClock m_clock;
    CVirtualSimClock m_simClock{m_clock};
    sim::CJobLog m_log;
    std::unique_ptr<sim::CSimulator> m_sim;
    std::unique_ptr<CSimSpooler> m_spooler;
    std::unique_ptr<CSimStatusLibrary> m_status;
    test::CFakeLoader m_loader;
    test::CFakeFiles m_files;
    test::CFakeSystem m_system;
    test::CFakeProfile m_profile;
    posix::COpenSslDigest m_digest;
    std::unique_ptr<CfuuDlg> m_dlg;

private:
    std::uint32_t m_start = 0;
};

} // namespace sarnok::e2e
