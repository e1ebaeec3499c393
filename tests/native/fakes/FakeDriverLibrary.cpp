#include "fakes/FakeDriverLibrary.h"

#include <algorithm>
#include <cstring>

namespace sarnok::test {

namespace {

CFakeDriverRecorder g_recorder;

void Record(const std::string& call) {
    g_recorder.m_calls.push_back(call);
    if (g_recorder.m_timeline != nullptr) {
        g_recorder.m_timeline->push_back("zev:" + call);
    }
    if (g_recorder.m_onCall) {
        g_recorder.m_onCall(call);
    }
}

int SARNOK_STDCALL FakeStartDoc(PrinterHandle printer, std::uint32_t level, CDocInfo1* docInfo,
                                std::uint32_t mode, std::uint32_t* jobId) {
    CFakeDriverRecorder& r = g_recorder;
    Record("start:" + std::to_string(level) + ":" + std::to_string(mode));
    r.m_printers.push_back(printer);
    r.m_docName = docInfo->m_docName != nullptr ? docInfo->m_docName : "<null>";
    r.m_outputFileNull = docInfo->m_outputFile == nullptr;
    r.m_dataTypeNull = docInfo->m_dataType == nullptr;
    // A real library refuses a job on a printer that did not open.
    if (printer == nullptr || r.m_startResult == 0) {
        SetLastErrorValue(printer == nullptr ? 6 : r.m_startError);
        return 0;
    }
    *jobId = r.m_jobIdAssigned;
    ++r.m_openJobs;
    return r.m_startResult;
}

int SARNOK_STDCALL FakeEndDoc(PrinterHandle printer, std::uint32_t jobId) {
    CFakeDriverRecorder& r = g_recorder;
    Record("end:" + std::to_string(jobId));
    r.m_printers.push_back(printer);
    r.m_endJobIds.push_back(jobId);
    int result = 1;
    if (!r.m_endResults.empty()) {
        result = r.m_endResults.front();
        r.m_endResults.pop_front();
    }
    if (result == 0) {
        SetLastErrorValue(r.m_endError);
        return 0;
    }
    if (r.m_openJobs > 0) {
        --r.m_openJobs;
    }
    return result;
}

int SARNOK_STDCALL FakeRead(PrinterHandle printer, void* buffer, std::uint32_t capacity,
                            std::uint32_t* count) {
    CFakeDriverRecorder& r = g_recorder;
    Record("read:" + std::to_string(capacity));
    r.m_printers.push_back(printer);
    ++r.m_reads;
    if (r.m_clock != nullptr) {
        r.m_clock->m_now += r.m_readCostMs;
    }
    if (r.m_reads > r.m_readLimit) {
        SetLastErrorValue(1460); // ERROR_TIMEOUT
        return 0;
    }
    CFakeDriverRecorder::CReply reply;
    if (!r.m_replies.empty()) {
        reply = r.m_replies.front();
        r.m_replies.pop_front();
    }
    const std::size_t copied = std::min<std::size_t>(reply.m_bytes.size(), capacity);
    if (copied != 0) {
        std::memcpy(buffer, reply.m_bytes.data(), copied);
    }
    *count = reply.m_count.value_or(static_cast<std::uint32_t>(copied));
    if (reply.m_result == 0) {
        SetLastErrorValue(reply.m_error);
    }
    return reply.m_result;
}

// Stand-ins for the decorated names in a library that exports both forms: binding must never
// pick them.
int SARNOK_STDCALL WrongStartDoc(PrinterHandle, std::uint32_t, CDocInfo1*, std::uint32_t,
                                 std::uint32_t*) {
    Record("wrong-start");
    return 0;
}
int SARNOK_STDCALL WrongEndDoc(PrinterHandle, std::uint32_t) {
    Record("wrong-end");
    return 0;
}
int SARNOK_STDCALL WrongRead(PrinterHandle, void*, std::uint32_t, std::uint32_t*) {
    Record("wrong-read");
    return 0;
}

template <typename Function>
FarProc AsFarProc(Function function) {
    return reinterpret_cast<FarProc>(function);
}

} // namespace

int CFakeDriverRecorder::Count(const std::string& prefix) const {
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(), [&](const auto& c) {
        return c.compare(0, prefix.size(), prefix) == 0;
    }));
}

CFakeDriverRecorder& DriverRecorder() {
    return g_recorder;
}

void ResetDriverRecorder() {
    g_recorder = CFakeDriverRecorder{};
    ZevStartDocPrinter = nullptr;
    ZevEndDocPrinter = nullptr;
    ZevReadPrinter = nullptr;
}

void AddDriverLibrary(CFakeLoader& loader, EDriverExports exports, const std::string& fileName) {
    std::map<std::string, FarProc> table;
    switch (exports) {
    case EDriverExports::Plain:
        table = {{kStartDocName, AsFarProc(&FakeStartDoc)},
                 {kEndDocName, AsFarProc(&FakeEndDoc)},
                 {kReadName, AsFarProc(&FakeRead)}};
        break;
    case EDriverExports::DecoratedOnly:
        table = {{kStartDocDecorated, AsFarProc(&FakeStartDoc)},
                 {kEndDocDecorated, AsFarProc(&FakeEndDoc)},
                 {kReadDecorated, AsFarProc(&FakeRead)}};
        break;
    case EDriverExports::Both:
        table = {{kStartDocName, AsFarProc(&FakeStartDoc)},
                 {kEndDocName, AsFarProc(&FakeEndDoc)},
                 {kReadName, AsFarProc(&FakeRead)},
                 {kStartDocDecorated, AsFarProc(&WrongStartDoc)},
                 {kEndDocDecorated, AsFarProc(&WrongEndDoc)},
                 {kReadDecorated, AsFarProc(&WrongRead)}};
        break;
    case EDriverExports::WithoutRead:
        table = {{kStartDocName, AsFarProc(&FakeStartDoc)},
                 {kEndDocDecorated, AsFarProc(&FakeEndDoc)}};
        break;
    }
    loader.AddModule(fileName, std::move(table));
}

std::vector<std::uint8_t> SuccessFrame() {
    return {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0xFD};
}

std::vector<std::uint8_t> ErrorFrame() {
    return {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFC};
}

void PrepareForRun(CTestRig& rig) {
    ResetDriverRecorder();
    AddDriverLibrary(rig.m_loader);
    rig.Dlg().m_hLibrary = rig.m_loader.Load("DODAVED.DLL");
    rig.Dlg().m_printerName.Assign("P1");
    rig.m_status.m_printers["P1"];
}

} // namespace sarnok::test
