#include "core/Simulator.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sarnok::sim {

namespace {

constexpr std::uint32_t kPrinterEnumLocal = 2;
constexpr char kFlashName[] = "Flash update"; // 12 characters, then a zero byte
constexpr std::uint32_t kHeaderSize = 24;

std::string Version(std::int32_t major, std::int32_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

std::string Bytes(const std::uint8_t* data, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += i == 0 ? "" : " ";
        text += CJobLog::Hex(data[i], 2);
    }
    return text;
}

std::uint32_t GetLe32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

} // namespace

const char* SourceName(ESource source) {
    switch (source) {
    case ESource::Spooler:
        return "winspool";
    case ESource::StatusLibrary:
        return "ORN_API";
    case ESource::LegacyStatusLibrary:
        return "ORN_API.bak";
    case ESource::Dodaved:
        return "DODAVED";
    case ESource::Vizuvuv:
        return "VIZUVUV";
    }
    return "?";
}

std::uint32_t CLevel2Texts::Bytes() const {
    return static_cast<std::uint32_t>(m_printerName.size() + m_portName.size() +
                                      m_driverName.size() + m_printProcessor.size() +
                                      m_datatype.size() + 5);
}

std::vector<std::uint8_t> SuccessFrame() {
    return {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0xFD};
}

std::vector<std::uint8_t> ErrorFrame() {
    return {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFC};
}

std::vector<std::uint8_t> GarbageFrame() {
    // Wrong marker, and a length field that points far beyond the bytes sent.
    return {0x02, 0x7F, 0x47, 0x41, 0x52, 0x42, 0xFF, 0xFF, 0xFF, 0xFF, 0x41, 0x47};
}

CSimulator::CSimulator(CScenario scenario, ISimClock& clock, CJobLog& log,
                       const CSimStateFile* state)
    : m_scenario(std::move(scenario)), m_clock(clock), m_log(log), m_state(state) {
    m_epoch = m_clock.NowMs();
    for (const CSimPrinterConfig& config : m_scenario.m_printers) {
        CPrinter printer;
        printer.m_config = config;
        printer.m_major = config.m_fwMajor;
        printer.m_minor = config.m_fwMinor;
        m_printers.push_back(std::move(printer));
    }
    LoadState();
    std::string names;
    for (const CPrinter& printer : m_printers) {
        names += names.empty() ? "" : ", ";
        names += CJobLog::Quote(printer.m_config.m_name.c_str());
        names += " " + printer.m_config.m_model + " " + Version(printer.m_major, printer.m_minor);
    }
    Log("sim start printers=" + std::to_string(m_printers.size()) + " time-scale=" +
        std::to_string(m_scenario.m_timeScale) + (names.empty() ? "" : " [" + names + "]"));
    for (const CPrinter& printer : m_printers) {
        if (printer.m_restarting) {
            const CDemoImageInfo& next = *printer.m_pending; // LoadState always sets it
            Log("printer " + CJobLog::Quote(printer.m_config.m_name.c_str()) +
                " still restarting for " + std::to_string(printer.m_restartEnd) +
                " ms, then firmware=" + Version(next.m_major, next.m_minor));
        }
    }
}

void CSimulator::LoadState() {
    if (m_state == nullptr) {
        return;
    }
    CSimState saved;
    std::size_t ignored = 0;
    const bool found = m_state->Load(&saved, &ignored);
    const std::uint64_t wall = m_clock.WallMs();
    std::size_t remembered = 0;
    for (CPrinter& printer : m_printers) {
        const auto it = saved.find(printer.m_config.m_name);
        if (it == saved.end()) {
            continue;
        }
        const CRememberedPrinter& memory = it->second;
        ++remembered;
        printer.m_major = memory.m_major;
        printer.m_minor = memory.m_minor;
        if (memory.m_restartEndsWallMs == 0) {
            continue;
        }
        const CDemoImageInfo next{printer.m_config.m_model, memory.m_nextMajor, memory.m_nextMinor};
        if (wall < memory.m_restartEndsWallMs) {
            // Printer time starts at 0 with this simulator; what is left of the restart in
            // real time runs time-scale times faster on it. No restart outlasts restart-ms: an
            // end beyond that comes from a clock set back or a file edited, and must not leave
            // the printer busy for good.
            const std::uint64_t restartMs = printer.m_config.m_restartMs;
            const std::uint64_t left = std::min(memory.m_restartEndsWallMs - wall, restartMs);
            printer.m_restarting = true;
            printer.m_restartEnd = std::min(left * m_scenario.m_timeScale, restartMs);
            printer.m_pending = next;
        } else {
            printer.m_major = next.m_major;
            printer.m_minor = next.m_minor;
        }
    }
    m_log.Write("state " + CJobLog::Quote(m_state->Path().c_str()) +
                (found ? " remembered=" + std::to_string(remembered) +
                             " ignored-lines=" + std::to_string(ignored)
                       : " none"));
}

void CSimulator::SaveState() {
    if (m_state == nullptr) {
        return;
    }
    const std::uint64_t now = Now();
    const std::uint64_t wall = m_clock.WallMs();
    const std::uint64_t scale = m_scenario.m_timeScale;
    CSimState state;
    for (const CPrinter& printer : m_printers) {
        CRememberedPrinter& memory = state[printer.m_config.m_name];
        memory.m_major = printer.m_major;
        memory.m_minor = printer.m_minor;
        if (printer.m_restarting) {
            // Rounded up: the next run must not see the printer back before this one would.
            const std::uint64_t left = printer.m_restartEnd > now ? printer.m_restartEnd - now : 0;
            memory.m_restartEndsWallMs = wall + (left + scale - 1) / scale;
            memory.m_nextMajor = printer.m_pending ? printer.m_pending->m_major : printer.m_major;
            memory.m_nextMinor = printer.m_pending ? printer.m_pending->m_minor : printer.m_minor;
        }
    }
    if (!m_state->Save(state)) {
        Log("state " + CJobLog::Quote(m_state->Path().c_str()) + " not written");
    }
}

std::uint64_t CSimulator::Now() {
    return (m_clock.NowMs() - m_epoch) * m_scenario.m_timeScale;
}

bool CSimulator::Fail(std::uint32_t code) {
    m_lastError = code;
    return false;
}

void CSimulator::Log(const std::string& line) {
    FlushEmptyReads();
    std::string stamp = std::to_string(Now());
    if (stamp.size() < 9) {
        stamp.insert(0, 9 - stamp.size(), '0');
    }
    m_log.Write("t=" + stamp + " " + line);
}

void CSimulator::FlushEmptyReads() {
    if (m_emptyReads == 0) {
        return;
    }
    const std::uint64_t count = m_emptyReads;
    m_emptyReads = 0;
    Log(m_emptyReadCall + " -> 1 read=0 calls=" + std::to_string(count));
}

void CSimulator::Advance() {
    const std::uint64_t now = Now();
    bool restarted = false;
    for (CPrinter& printer : m_printers) {
        if (!printer.m_restarting || now < printer.m_restartEnd) {
            continue;
        }
        printer.m_restarting = false;
        if (printer.m_pending) {
            printer.m_major = printer.m_pending->m_major;
            printer.m_minor = printer.m_pending->m_minor;
            printer.m_pending.reset();
        }
        Log("printer " + CJobLog::Quote(printer.m_config.m_name.c_str()) +
            " restarted firmware=" + Version(printer.m_major, printer.m_minor));
        restarted = true;
    }
    if (restarted) {
        SaveState();
    }
}

CSimulator::CPrinter* CSimulator::FindPrinter(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (CPrinter& printer : m_printers) {
        if (printer.m_config.m_name == name) {
            return &printer;
        }
    }
    return nullptr;
}

CSimulator::CHandle* CSimulator::FindHandle(SimHandle handle) {
    const auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : &it->second;
}

std::string CSimulator::HandleText(SimHandle handle) const {
    if (handle == 0) {
        return "NULL";
    }
    std::string text = "#";
    text += std::to_string(handle);
    return text;
}

bool CSimulator::ReportedFirmware(const std::string& name, std::int32_t* major,
                                  std::int32_t* minor) {
    Advance();
    const CPrinter* printer = FindPrinter(name.c_str());
    if (printer == nullptr) {
        return false;
    }
    *major = printer->m_major;
    *minor = printer->m_minor;
    return true;
}

// ---- spooler ----

bool CSimulator::EnumerateLocal(std::uint32_t flags, const char* serverName, std::uint32_t level,
                                std::uint32_t recordSize, std::uint32_t bufferSize,
                                std::uint32_t* needed,
                                std::vector<const CSimPrinterConfig*>* printers) {
    Advance();
    const std::string call = "winspool EnumPrintersA(flags=" + std::to_string(flags) +
                             ", name=" + CJobLog::Quote(serverName) +
                             ", level=" + std::to_string(level) +
                             ", size=" + std::to_string(bufferSize) + ")";
    printers->clear();
    *needed = 0;
    if (m_scenario.m_enumError != 0) {
        Log(call + " -> 0 error=" + std::to_string(m_scenario.m_enumError) + " (scenario)");
        return Fail(m_scenario.m_enumError);
    }
    if (level != 5 || (flags & kPrinterEnumLocal) == 0) {
        Log(call + " -> 0 error=" + std::to_string(error::kInvalidLevel) + " (unsupported)");
        return Fail(level != 5 ? error::kInvalidLevel : error::kInvalidParameter);
    }
    std::uint32_t total = 0;
    for (const CPrinter& printer : m_printers) {
        total += recordSize + static_cast<std::uint32_t>(printer.m_config.m_name.size() +
                                                         printer.m_config.m_port.size() + 2);
    }
    *needed = total;
    if (total > bufferSize) {
        Log(call + " -> 0 error=122 needed=" + std::to_string(total));
        return Fail(error::kInsufficientBuffer);
    }
    for (const CPrinter& printer : m_printers) {
        printers->push_back(&printer.m_config);
    }
    Log(call + " -> 1 needed=" + std::to_string(total) +
        " returned=" + std::to_string(printers->size()));
    return true;
}

bool CSimulator::Open(const char* name, SimHandle* handle, bool hasDefaults, std::uint32_t access) {
    Advance();
    const std::string call = "winspool OpenPrinterA(" + CJobLog::Quote(name) + ", access=" +
                             (hasDefaults ? "0x" + CJobLog::Hex(access, 5) : "default") + ")";
    if (handle != nullptr) {
        *handle = 0;
    }
    CPrinter* printer = FindPrinter(name);
    if (handle == nullptr || printer == nullptr) {
        const std::uint32_t code =
            handle == nullptr ? error::kInvalidParameter : error::kInvalidPrinterName;
        Log(call + " -> 0 error=" + std::to_string(code));
        return Fail(code);
    }
    if (printer->m_config.m_openError != 0) {
        Log(call + " -> 0 error=" + std::to_string(printer->m_config.m_openError) + " (scenario)");
        return Fail(printer->m_config.m_openError);
    }
    const SimHandle id = m_nextHandle++;
    CHandle state;
    state.m_printer = static_cast<std::size_t>(printer - m_printers.data());
    state.m_access = hasDefaults ? access : 0;
    m_handles.emplace(id, std::move(state));
    *handle = id;
    Log(call + " -> 1 handle=" + HandleText(id) + " open=" + std::to_string(m_handles.size()));
    return true;
}

bool CSimulator::QueryLevel2(SimHandle handle, std::uint32_t level, std::uint32_t recordSize,
                             bool haveBuffer, std::uint32_t bufferSize, std::uint32_t* needed,
                             CLevel2Texts* texts) {
    Advance();
    const std::string call =
        "winspool GetPrinterA(" + HandleText(handle) + ", level=" + std::to_string(level) +
        ", buffer=" + (haveBuffer ? "yes" : "NULL") + ", size=" + std::to_string(bufferSize) + ")";
    CHandle* state = FindHandle(handle);
    if (state == nullptr) {
        Log(call + " -> 0 error=6");
        return Fail(error::kInvalidHandle);
    }
    if (level != 2) {
        Log(call + " -> 0 error=124");
        return Fail(error::kInvalidLevel);
    }
    const CSimPrinterConfig& config = m_printers[state->m_printer].m_config;
    texts->m_printerName = config.m_name;
    texts->m_portName = config.m_port;
    texts->m_driverName = config.m_model + " Card Printer";
    texts->m_printProcessor = config.m_printProcessor;
    texts->m_datatype = "RAW";
    if (needed != nullptr) {
        *needed = recordSize + texts->Bytes();
    }
    if (!haveBuffer || bufferSize < recordSize + texts->Bytes()) {
        Log(call + " -> 0 error=122 needed=" + std::to_string(recordSize + texts->Bytes()));
        return Fail(error::kInsufficientBuffer);
    }
    if (config.m_getPrinterError != 0) {
        Log(call + " -> 0 error=" + std::to_string(config.m_getPrinterError) + " (scenario)");
        return Fail(config.m_getPrinterError);
    }
    Log(call + " -> 1 processor=" + CJobLog::Quote(config.m_printProcessor.c_str()));
    return true;
}

bool CSimulator::ClosePrinter(SimHandle handle) {
    Advance();
    const std::string call = "winspool ClosePrinter(" + HandleText(handle) + ")";
    CHandle* state = FindHandle(handle);
    if (state == nullptr) {
        Log(call + " -> 0 error=6");
        return Fail(error::kInvalidHandle);
    }
    if (state->m_job) {
        state->m_job->m_problems.push_back("printer-closed-with-open-job");
        FinishJob(*state, "abandoned");
    }
    m_handles.erase(handle);
    Log(call + " -> 1 open=" + std::to_string(m_handles.size()));
    return true;
}

bool CSimulator::WritePrinter(SimHandle handle, const void* buffer, std::uint32_t length,
                              std::uint32_t* written) {
    Advance();
    std::string call =
        "winspool WritePrinter(" + HandleText(handle) + ", length=" + std::to_string(length) + ")";
    if (written != nullptr) {
        *written = 0;
    }
    CHandle* state = FindHandle(handle);
    if (state == nullptr || written == nullptr || (buffer == nullptr && length != 0)) {
        const std::uint32_t code =
            state == nullptr ? error::kInvalidHandle : error::kInvalidParameter;
        Log(call + " -> 0 error=" + std::to_string(code));
        return Fail(code);
    }
    if (!state->m_job) {
        Log(call + " -> 0 error=3003 (no document started)");
        return Fail(error::kNoStartDoc);
    }
    CJob& job = *state->m_job;
    const CSimPrinterConfig& config = m_printers[state->m_printer].m_config;
    const std::uint32_t index = job.m_writes++;
    call += " write=" + std::to_string(index);
    if (config.m_writeErrorAt && *config.m_writeErrorAt == index) {
        Log(call + " -> 0 error=" + std::to_string(config.m_writeErrorCode) + " (scenario)");
        return Fail(config.m_writeErrorCode);
    }
    if (config.m_writeZeroAt && *config.m_writeZeroAt == index) {
        job.m_chunks.push_back(0);
        Log(call + " -> 1 written=0 (scenario)");
        return true;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::string detail;
    std::uint32_t offset = 0;
    if (!job.m_headerSeen && length > 0) {
        job.m_headerSeen = true;
        if (length < kHeaderSize || std::memcmp(bytes, kFlashName, sizeof kFlashName) != 0) {
            job.m_problems.push_back("bad-header");
            detail = " header=bad";
            offset = length; // whatever this was, it is no firmware
        } else {
            job.m_headerOk = true;
            job.m_sizeField = GetLe32(bytes + 20);
            offset = kHeaderSize;
            detail = " header=" + CJobLog::Quote(kFlashName) +
                     " size=" + std::to_string(job.m_sizeField);
            if (length != kHeaderSize) {
                job.m_problems.push_back("header-not-separate");
            }
        }
    }
    if (offset < length) {
        job.m_body.insert(job.m_body.end(), bytes + offset, bytes + length);
        job.m_hash.Add(bytes + offset, length - offset);
        detail +=
            " body=" + std::to_string(job.m_body.size()) + "/" + std::to_string(job.m_sizeField);
        if (job.m_headerOk && job.m_body.size() > job.m_sizeField) {
            job.m_problems.push_back("body-longer-than-size-field");
        }
    }
    job.m_chunks.push_back(length);
    *written = length;
    Log(call + " -> 1 written=" + std::to_string(length) + detail);
    return true;
}

bool CSimulator::ReadPrinter(SimHandle handle, void* buffer, std::uint32_t length,
                             std::uint32_t* read) {
    Advance();
    const std::string call = "winspool ReadPrinter(" + HandleText(handle) +
                             ", buffer=" + (buffer == nullptr ? "NULL" : "yes") +
                             ", length=" + std::to_string(length) + ")";
    if (read != nullptr) {
        *read = 0;
    }
    CHandle* state = FindHandle(handle);
    if (state == nullptr || read == nullptr) {
        const std::uint32_t code =
            state == nullptr ? error::kInvalidHandle : error::kInvalidParameter;
        Log(call + " -> 0 error=" + std::to_string(code));
        return Fail(code);
    }
    const CSimPrinterConfig& config = m_printers[state->m_printer].m_config;
    if (config.m_readError != 0) {
        Log(call + " -> 0 error=" + std::to_string(config.m_readError) + " (scenario)");
        return Fail(config.m_readError);
    }
    // The reply travels through the driver-interface library; the spooler's own read channel
    // carries nothing.
    Log(call + " -> 1 read=0");
    return true;
}

// ---- status library ----

int CSimulator::GetCardPrinterInfo(ESource source, const char* printerName, int infoType,
                                   void* buffer, std::uint32_t bufferSize,
                                   std::uint32_t* requiredSize) {
    Advance();
    const std::string call = std::string(SourceName(source)) + " GetCardPrinterInfoA(" +
                             CJobLog::Quote(printerName) + ", type=" + std::to_string(infoType) +
                             ", buffer=" + (buffer == nullptr ? "NULL" : "yes") +
                             ", size=" + std::to_string(bufferSize) + ")";
    if (requiredSize == nullptr) {
        Log(call + " -> 0 error=87");
        return Fail(error::kInvalidParameter);
    }
    CPrinter* printer = FindPrinter(printerName);
    if (printer == nullptr) {
        *requiredSize = 0;
        Log(call + " -> 0 required=0 error=1801");
        return Fail(error::kInvalidPrinterName);
    }
    const CSimPrinterConfig& config = printer->m_config;
    if (config.m_infoSizeZero.count(infoType) != 0 || (infoType != 1 && infoType != 2)) {
        *requiredSize = 0;
        Log(call + " -> 0 required=0" +
            (config.m_infoSizeZero.count(infoType) != 0 ? " (scenario)" : ""));
        return Fail(error::kNotReady);
    }

    std::string model = config.m_model;
    if (source == ESource::LegacyStatusLibrary && !config.m_legacyModel.empty()) {
        model = config.m_legacyModel;
    }
    const std::uint32_t natural =
        infoType == 2 ? (config.m_shortRecord != 0 ? config.m_shortRecord : kInfo2RecordSize)
                      : static_cast<std::uint32_t>(sizeof(CInfo1Record) + model.size() +
                                                   config.m_libVersion.size() + 2);
    *requiredSize = natural;
    if (buffer == nullptr) {
        Log(call + " -> 0 required=" + std::to_string(natural));
        return Fail(error::kInsufficientBuffer);
    }
    if (config.m_infoFetchFails.count(infoType) != 0) {
        Log(call + " -> 0 required=" + std::to_string(natural) + " (scenario)");
        return Fail(error::kNotReady);
    }
    if (bufferSize < natural) {
        Log(call + " -> 0 required=" + std::to_string(natural) + " error=122");
        return Fail(error::kInsufficientBuffer);
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (infoType == 2) {
        std::uint8_t record[kInfo2RecordSize] = {};
        std::memcpy(record + 16, &printer->m_major, 4);
        std::memcpy(record + 20, &printer->m_minor, 4);
        // A short record carries only its first bytes; nothing is written past them.
        std::memcpy(out, record, natural);
        Log(call + " -> 1 required=" + std::to_string(natural) +
            " firmware=" + Version(printer->m_major, printer->m_minor) +
            (natural < kInfo2RecordSize ? " (short record)" : ""));
        return 1;
    }
    char* texts = reinterpret_cast<char*>(out + sizeof(CInfo1Record));
    std::memcpy(texts, model.c_str(), model.size() + 1);
    char* version = texts + model.size() + 1;
    std::memcpy(version, config.m_libVersion.c_str(), config.m_libVersion.size() + 1);
    const CInfo1Record record{texts, version};
    std::memcpy(out, &record, sizeof record);
    Log(call + " -> 1 required=" + std::to_string(natural) + " model=" +
        CJobLog::Quote(model.c_str()) + " version=" + CJobLog::Quote(config.m_libVersion.c_str()));
    return 1;
}

int CSimulator::GetCardPrinterPollingState(const char* printerName, std::int32_t* state) {
    Advance();
    const std::string call =
        "ORN_API GetCardPrinterPollingStateA(" + CJobLog::Quote(printerName) + ")";
    CPrinter* printer = FindPrinter(printerName);
    if (printer == nullptr || state == nullptr) {
        if (state != nullptr) {
            *state = 1;
        }
        Log(call + " -> 0 state=1 error=1801");
        return Fail(error::kInvalidPrinterName);
    }
    const bool busy = printer->m_config.m_pollingNeverSettles || printer->m_restarting ||
                      Now() < printer->m_config.m_busyMs;
    *state = busy ? 1 : 0;
    Log(call + " -> 1 state=" + std::to_string(*state));
    return 1;
}

int CSimulator::ResumePrinterPolling(const char* printerName, int flag) {
    Advance();
    const std::string call = "ORN_API ResumePrinterPollingA(" + CJobLog::Quote(printerName) +
                             ", flag=" + std::to_string(flag) + ")";
    if (FindPrinter(printerName) == nullptr) {
        Log(call + " -> 0 error=1801");
        return Fail(error::kInvalidPrinterName);
    }
    Log(call + " -> 1");
    return 1;
}

// ---- driver-interface library ----

int CSimulator::ZevStartDocPrinter(ESource source, SimHandle handle, std::uint32_t level,
                                   const char* docName, const char* outputFile,
                                   const char* datatype, std::uint32_t mode, std::uint32_t* jobId) {
    Advance();
    const std::string call =
        std::string(SourceName(source)) + " ZevStartDocPrinter(" + HandleText(handle) +
        ", level=" + std::to_string(level) + ", doc=" + CJobLog::Quote(docName) +
        ", output=" + CJobLog::Quote(outputFile) + ", datatype=" + CJobLog::Quote(datatype) +
        ", mode=" + std::to_string(mode) + ")";
    CHandle* state = FindHandle(handle);
    if (state == nullptr) {
        Log(call + " -> 0 error=6");
        return Fail(error::kInvalidHandle);
    }
    const CSimPrinterConfig& config = m_printers[state->m_printer].m_config;
    if (config.m_startDocError != 0) {
        Log(call + " -> 0 error=" + std::to_string(config.m_startDocError) + " (scenario)");
        return Fail(config.m_startDocError);
    }
    if (level != 1) {
        Log(call + " -> 0 error=124");
        return Fail(error::kInvalidLevel);
    }
    if (jobId == nullptr || state->m_job) {
        Log(call + " -> 0 error=87" + (state->m_job ? " (a job is already open)" : ""));
        return Fail(error::kInvalidParameter);
    }
    CJob job;
    job.m_id = m_nextJobId++;
    job.m_docName = docName == nullptr ? "" : docName;
    if (job.m_docName != "Flash Update" || mode != 1) {
        job.m_problems.push_back("unexpected-document");
    }
    if (state->m_access != 0xF000C) {
        job.m_problems.push_back("printer-not-opened-with-all-access");
    }
    *jobId = job.m_id;
    state->m_job = std::move(job);
    Log(call + " -> 1 job=" + std::to_string(*jobId));
    return 1;
}

bool CSimulator::JobComplete(const CJob& job) const {
    return job.m_headerOk && job.m_body.size() == job.m_sizeField;
}

bool CSimulator::ImageFits(const CJob& job, const CPrinter& printer, CDemoImageInfo* image) const {
    if (!JobComplete(job) || !ParseDemoImage(job.m_body.data(), job.m_body.size(), image)) {
        return false;
    }
    const CSimPrinterConfig& config = printer.m_config;
    return image->m_model == config.m_model ||
           (!config.m_legacyModel.empty() && image->m_model == config.m_legacyModel);
}

void CSimulator::DecideReply(CJob& job, const CPrinter& printer) {
    CDemoImageInfo image;
    switch (printer.m_config.m_reply) {
    case EReplyMode::Auto:
        job.m_outcome = ImageFits(job, printer, &image) ? EOutcome::Success : EOutcome::Error;
        break;
    case EReplyMode::Success:
        job.m_outcome = EOutcome::Success;
        break;
    case EReplyMode::Error:
        job.m_outcome = EOutcome::Error;
        break;
    case EReplyMode::Garbage:
        job.m_outcome = EOutcome::Garbage;
        break;
    case EReplyMode::Split:
        job.m_outcome = EOutcome::Split;
        break;
    case EReplyMode::None:
        job.m_outcome = EOutcome::None;
        break;
    }
    switch (job.m_outcome) {
    case EOutcome::Success:
    case EOutcome::Split:
        job.m_frame = SuccessFrame();
        break;
    case EOutcome::Error:
        job.m_frame = ErrorFrame();
        break;
    case EOutcome::Garbage:
        job.m_frame = GarbageFrame();
        break;
    case EOutcome::Pending:
    case EOutcome::None:
        job.m_frame.clear();
        break;
    }
}

int CSimulator::ZevReadPrinter(ESource source, SimHandle handle, void* buffer,
                               std::uint32_t capacity, std::uint32_t* read) {
    Advance();
    const std::string call = std::string(SourceName(source)) + " ZevReadPrinter(" +
                             HandleText(handle) + ", capacity=" + std::to_string(capacity) + ")";
    if (read != nullptr) {
        *read = 0;
    }
    CHandle* state = FindHandle(handle);
    if (state == nullptr || read == nullptr || (buffer == nullptr && capacity != 0)) {
        const std::uint32_t code =
            state == nullptr ? error::kInvalidHandle : error::kInvalidParameter;
        Log(call + " -> 0 error=" + std::to_string(code));
        return Fail(code);
    }
    const CPrinter& printer = m_printers[state->m_printer];
    const CSimPrinterConfig& config = printer.m_config;
    if (config.m_zevReadError != 0) {
        Log(call + " -> 0 error=" + std::to_string(config.m_zevReadError) + " (scenario)");
        return Fail(config.m_zevReadError);
    }
    if (!state->m_job) {
        Log(call + " -> 0 error=87 (no job)");
        return Fail(error::kInvalidParameter);
    }
    CJob& job = *state->m_job;
    // The printer answers once it has everything the size field promised, or at once when the
    // job did not even start with a flash header.
    const bool answers =
        job.m_headerSeen && (!job.m_headerOk || job.m_body.size() >= job.m_sizeField);
    std::size_t give = 0;
    const std::uint8_t* from = nullptr;
    static const std::uint8_t kNoise = 0x00;
    if (answers) {
        const std::uint32_t reads = job.m_replyReads++;
        if (job.m_outcome == EOutcome::Pending) {
            DecideReply(job, printer);
        }
        if (reads < config.m_emptyReads) {
            give = 0;
        } else if (reads < config.m_emptyReads + config.m_noiseReads) {
            give = 1;
            from = &kNoise;
        } else if (job.m_frameSent < job.m_frame.size()) {
            std::size_t piece = job.m_frame.size() - job.m_frameSent;
            if (job.m_outcome == EOutcome::Split && job.m_frameSent == 0) {
                piece = config.m_splitAt;
            }
            give = std::min<std::size_t>(piece, capacity);
            from = job.m_frame.data() + job.m_frameSent;
            job.m_frameSent += give;
        }
    }
    if (give == 0) {
        if (config.m_readDelayMs != 0) {
            m_clock.Sleep(
                std::max<std::uint32_t>(1, config.m_readDelayMs / m_scenario.m_timeScale));
        }
        if (m_emptyReads != 0 && m_emptyReadCall != call) {
            FlushEmptyReads();
        }
        m_emptyReadCall = call;
        ++m_emptyReads;
        return 1;
    }
    std::memcpy(buffer, from, give);
    *read = static_cast<std::uint32_t>(give);
    Log(call + " -> 1 read=" + std::to_string(give) + " bytes=" + Bytes(from, give));
    return 1;
}

void CSimulator::FinishJob(CHandle& handle, const char* how) {
    CJob& job = *handle.m_job;
    CPrinter& printer = m_printers[handle.m_printer];
    if (job.m_outcome == EOutcome::Pending && JobComplete(job)) {
        DecideReply(job, printer);
    }
    std::string chunks;
    for (const std::uint32_t size : job.m_chunks) {
        chunks += chunks.empty() ? "" : ",";
        chunks += std::to_string(size);
    }
    CDemoImageInfo image;
    const bool parsed = ParseDemoImage(job.m_body.data(), job.m_body.size(), &image);
    const bool fits = ImageFits(job, printer, &image);
    if (job.m_headerOk && job.m_body.size() < job.m_sizeField) {
        job.m_problems.push_back("incomplete-body");
    }
    static const char* const kOutcomes[] = {"none-yet", "success", "error",
                                            "garbage",  "split",   "none"};
    std::string problems;
    for (const std::string& problem : job.m_problems) {
        problems += problems.empty() ? "" : ",";
        problems += problem;
    }
    Log("job " + std::to_string(job.m_id) + " " + how +
        " printer=" + CJobLog::Quote(printer.m_config.m_name.c_str()) + " doc=" +
        CJobLog::Quote(job.m_docName.c_str()) + " chunks=" + (chunks.empty() ? "-" : chunks) +
        " size-field=" + std::to_string(job.m_sizeField) +
        " body=" + std::to_string(job.m_body.size()) +
        " hash=fnv1a64:" + CJobLog::Hex(job.m_hash.Value(), 16) + " image=" +
        (parsed
             ? CJobLog::Quote((image.m_model + " " + Version(image.m_major, image.m_minor)).c_str())
             : "none") +
        " reply=" + kOutcomes[static_cast<int>(job.m_outcome)] +
        " problems=" + (problems.empty() ? "none" : problems));

    // A complete job makes the printer flash and restart, even when its reply got lost on the
    // way; an error reply means the printer refused the image.
    if (std::string(how) == "ended" && JobComplete(job) && job.m_outcome != EOutcome::Error) {
        printer.m_restarting = true;
        printer.m_restartEnd = Now() + printer.m_config.m_restartMs;
        if (fits && !printer.m_config.m_neverTakesFirmware) {
            printer.m_pending = image;
        }
        Log("printer " + CJobLog::Quote(printer.m_config.m_name.c_str()) + " restarting for " +
            std::to_string(printer.m_config.m_restartMs) + " ms, then firmware=" +
            (printer.m_pending ? Version(printer.m_pending->m_major, printer.m_pending->m_minor)
                               : Version(printer.m_major, printer.m_minor)));
        // Written now, not when the restart ends: the program may exit before then, and the
        // next one must still find the printer restarting.
        SaveState();
    }
    handle.m_job.reset();
}

int CSimulator::ZevEndDocPrinter(ESource source, SimHandle handle, std::uint32_t jobId) {
    Advance();
    const std::string call = std::string(SourceName(source)) + " ZevEndDocPrinter(" +
                             HandleText(handle) + ", job=" + std::to_string(jobId) + ")";
    CHandle* state = FindHandle(handle);
    if (state == nullptr) {
        Log(call + " -> 0 error=6");
        return Fail(error::kInvalidHandle);
    }
    const CSimPrinterConfig& config = m_printers[state->m_printer].m_config;
    if (config.m_endDocError != 0) {
        Log(call + " -> 0 error=" + std::to_string(config.m_endDocError) + " (scenario)");
        return Fail(config.m_endDocError);
    }
    if (!state->m_job) {
        Log(call + " -> 0 error=3003 (no job)");
        return Fail(error::kNoStartDoc);
    }
    Log(call + " -> 1");
    FinishJob(*state, "ended");
    return 1;
}

void CSimulator::Shutdown() {
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    Advance();
    std::size_t jobs = 0;
    std::string handles;
    for (const auto& [id, state] : m_handles) {
        jobs += state.m_job ? 1 : 0;
        handles += ' ';
        handles += HandleText(id);
        handles += '=';
        handles += CJobLog::Quote(m_printers[state.m_printer].m_config.m_name.c_str());
    }
    Log("exit open-handles=" + std::to_string(m_handles.size()) +
        " open-jobs=" + std::to_string(jobs) + handles);
}

} // namespace sarnok::sim
