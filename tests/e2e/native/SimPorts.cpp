#include "SimPorts.h"

#include "core/DemoFirmware.h"
#include "printer/DriverInterface.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace sarnok::e2e {

using sim::CSimulator;
using sim::ESource;

namespace {

constexpr char kFolder[] = "C:\\Tools\\Sarnok\\";
constexpr std::uint32_t kPrinterInfo5Size = 20; // 32-bit PRINTER_INFO_5A
constexpr std::uint32_t kPrinterInfo2Size = 84; // 32-bit PRINTER_INFO_2A

// The driver-interface entry points reach the printer of the rig that is alive.
CSimulator* g_sim = nullptr;

sim::SimHandle Id(PrinterHandle printer) {
    return reinterpret_cast<sim::SimHandle>(printer);
}

template <typename T>
T Reported(T result) {
    if (!result) {
        test::SetLastErrorValue(g_sim->LastError());
    }
    return result;
}

template <ESource Source>
int SARNOK_STDCALL StartDoc(PrinterHandle printer, std::uint32_t level, CDocInfo1* doc,
                            std::uint32_t mode, std::uint32_t* jobId) {
    return Reported(g_sim->ZevStartDocPrinter(
        Source, Id(printer), level, doc == nullptr ? nullptr : doc->m_docName,
        doc == nullptr ? nullptr : doc->m_outputFile, doc == nullptr ? nullptr : doc->m_dataType,
        mode, jobId));
}

template <ESource Source>
int SARNOK_STDCALL EndDoc(PrinterHandle printer, std::uint32_t jobId) {
    return Reported(g_sim->ZevEndDocPrinter(Source, Id(printer), jobId));
}

template <ESource Source>
int SARNOK_STDCALL ReadReply(PrinterHandle printer, void* buffer, std::uint32_t capacity,
                             std::uint32_t* count) {
    return Reported(g_sim->ZevReadPrinter(Source, Id(printer), buffer, capacity, count));
}

int SARNOK_STDCALL LegacyInfo(const char* name, int type, void* buffer, std::uint32_t size,
                              std::uint32_t* required) {
    return Reported(g_sim->GetCardPrinterInfo(ESource::LegacyStatusLibrary, name, type, buffer,
                                              size, required));
}

template <typename F>
FarProc Proc(F function) {
    return reinterpret_cast<FarProc>(function);
}

template <ESource Source>
std::map<std::string, FarProc> DriverExports() {
    return {{kStartDocName, Proc(&StartDoc<Source>)},
            {kEndDocName, Proc(&EndDoc<Source>)},
            {kReadName, Proc(&ReadReply<Source>)}};
}

} // namespace

std::uint64_t CVirtualSimClock::NowMs() {
    m_total += static_cast<std::uint32_t>(m_clock.m_now - m_last);
    m_last = m_clock.m_now;
    return m_total;
}

// ---- spooler ----

CEnumerationResult CSimSpooler::EnumerateLocalPrinters() {
    CEnumerationResult result;
    std::uint32_t needed = 0;
    std::vector<const sim::CSimPrinterConfig*> printers;
    if (m_sim.EnumerateLocal(2, nullptr, 5, kPrinterInfo5Size, kEnumerationBufferSize, &needed,
                             &printers)) {
        result.m_result = EEnumeration::Ok;
        for (const sim::CSimPrinterConfig* printer : printers) {
            result.m_printers.push_back({printer->m_name, printer->m_port});
        }
        return result;
    }
    result.m_errorCode = m_sim.LastError();
    result.m_result = result.m_errorCode == sim::error::kInsufficientBuffer
                          ? EEnumeration::InsufficientBuffer
                          : EEnumeration::Failed;
    return result;
}

bool CSimSpooler::Open(const char* printerName, PrinterHandle* printer, std::uint32_t access) {
    sim::SimHandle id = 0;
    const bool ok = m_sim.Open(printerName, &id, access != 0, access);
    *printer = ok ? reinterpret_cast<PrinterHandle>(id) : nullptr;
    if (!ok) {
        test::SetLastErrorValue(m_sim.LastError());
    }
    return ok;
}

bool CSimSpooler::QueryPrintProcessor(PrinterHandle printer, std::string* processor) {
    std::uint32_t needed = 0;
    sim::CLevel2Texts texts;
    m_sim.QueryLevel2(Id(printer), 2, kPrinterInfo2Size, false, 0, &needed, &texts);
    if (needed == 0 ||
        !m_sim.QueryLevel2(Id(printer), 2, kPrinterInfo2Size, true, needed, &needed, &texts)) {
        test::SetLastErrorValue(m_sim.LastError());
        return false;
    }
    *processor = texts.m_printProcessor;
    return true;
}

bool CSimSpooler::Close(PrinterHandle printer) {
    return m_sim.ClosePrinter(Id(printer));
}

int CSimSpooler::Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
                       std::uint32_t* written) {
    const bool ok = m_sim.WritePrinter(Id(printer), buffer, length, written);
    if (!ok) {
        test::SetLastErrorValue(m_sim.LastError());
    }
    return ok ? 1 : 0;
}

int CSimSpooler::Read(PrinterHandle printer, void* buffer, std::uint32_t length,
                      std::uint32_t* read) {
    const bool ok = m_sim.ReadPrinter(Id(printer), buffer, length, read);
    if (!ok) {
        test::SetLastErrorValue(m_sim.LastError());
    }
    return ok ? 1 : 0;
}

// ---- status library ----

int CSimStatusLibrary::GetCardPrinterInfo(const char* printerName, int infoType, void* buffer,
                                          std::uint32_t bufferSize, std::uint32_t* requiredSize) {
    return m_sim.GetCardPrinterInfo(ESource::StatusLibrary, printerName, infoType, buffer,
                                    bufferSize, requiredSize);
}

int CSimStatusLibrary::GetCardPrinterPollingState(const char* printerName, std::int32_t* state) {
    return m_sim.GetCardPrinterPollingState(printerName, state);
}

int CSimStatusLibrary::ResumePrinterPolling(const char* printerName, int flag) {
    return m_sim.ResumePrinterPolling(printerName, flag);
}

// ---- the rig ----

CSimRig::CSimRig(const std::string& scenario) {
    sim::CScenario parsed;
    std::string error;
    std::istringstream in(scenario);
    if (!sim::ParseScenario(in, &parsed, &error)) {
        throw std::runtime_error("scenario: " + error);
    }
    m_start = m_clock.m_now;
    m_sim = std::make_unique<CSimulator>(std::move(parsed), m_simClock, m_log);
    g_sim = m_sim.get();
    m_spooler = std::make_unique<CSimSpooler>(*m_sim);
    m_status = std::make_unique<CSimStatusLibrary>(*m_sim);
    m_loader.AddModule("DODAVED.DLL", DriverExports<ESource::Dodaved>());
    m_loader.AddModule("VIZUVUV.DLL", DriverExports<ESource::Vizuvuv>());
    m_loader.AddModule("ORN_API.bak", {{"_GetCardPrinterInfoA@20", Proc(&LegacyInfo)}});
    m_dlg = std::make_unique<CfuuDlg>(CPorts{m_view, *m_spooler, *m_status, m_loader, m_files,
                                             m_clock, m_system, m_profile, &m_digest});
}

CSimRig::~CSimRig() {
    m_dlg.reset();
    m_sim->Shutdown();
    g_sim = nullptr;
}

void CSimRig::AddFirmware(const std::string& fileName, const std::string& model,
                          const std::string& version, std::size_t size) {
    sim::CDemoImageInfo info;
    info.m_model = model;
    ASSERT_TRUE(sim::ParseVersion(version, &info.m_major, &info.m_minor));
    ASSERT_TRUE(sim::BuildDemoImage(info, size, &m_files.m_files[kFolder + fileName].m_bytes));
}

const std::vector<std::uint8_t>& CSimRig::FileBytes(const std::string& fileName) {
    return m_files.m_files[kFolder + fileName].m_bytes;
}

void CSimRig::Catalogue(const std::string& section, const std::string& key,
                        const std::string& value) {
    m_profile.Set(section, key, value);
}

void CSimRig::Select(int index) {
    m_view.m_selected = index;
    m_dlg->OnPrinterSelected();
}

} // namespace sarnok::e2e
