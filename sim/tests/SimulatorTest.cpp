#include "core/Simulator.h"
#include "core/DemoFirmware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace sarnok::sim {
namespace {

constexpr std::uint32_t kRecord5 = 20; // PRINTER_INFO_5A on 32-bit Windows
constexpr std::uint32_t kAllAccess = 0xF000C;

std::vector<std::uint8_t> Header(std::uint32_t size) {
    std::vector<std::uint8_t> header(24, 0);
    std::memcpy(header.data(), "Flash update", 12);
    for (int i = 0; i < 4; ++i) {
        header[20 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    return header;
}

std::uint64_t Fnv(const std::vector<std::uint8_t>& bytes) {
    CFnv1a64 hash;
    hash.Add(bytes.data(), bytes.size());
    return hash.Value();
}

// One simulator on a manual clock with the given printers; with a state file, a program run that
// starts startMs after the clock's zero (on a manual clock that count is the wall clock, too).
class CSim {
public:
    explicit CSim(std::vector<CSimPrinterConfig> printers, std::uint32_t timeScale = 1,
                  std::uint32_t enumError = 0, const CSimStateFile* state = nullptr,
                  std::uint64_t startMs = 0) {
        m_clock.m_now = startMs;
        CScenario scenario;
        scenario.m_printers = std::move(printers);
        scenario.m_timeScale = timeScale;
        scenario.m_enumError = enumError;
        m_sim = std::make_unique<CSimulator>(std::move(scenario), m_clock, m_log, state);
    }

    CSimulator& operator*() { return *m_sim; }
    CSimulator* operator->() { return m_sim.get(); }

    SimHandle Open(const char* name, std::uint32_t access = kAllAccess) {
        SimHandle handle = 0;
        EXPECT_TRUE(m_sim->Open(name, &handle, true, access));
        return handle;
    }
    // Start, header, zero-length read, body in 2000-byte chunks, zero-length read: what the
    // update run sends. Returns false at the first call that fails.
    bool Send(SimHandle handle, const std::vector<std::uint8_t>& file,
              ESource source = ESource::Dodaved) {
        std::uint32_t job = 0;
        if (m_sim->ZevStartDocPrinter(source, handle, 1, "Flash Update", nullptr, nullptr, 1,
                                      &job) == 0) {
            return false;
        }
        m_jobId = job;
        std::uint32_t written = 0;
        const std::vector<std::uint8_t> header = Header(static_cast<std::uint32_t>(file.size()));
        if (!m_sim->WritePrinter(handle, header.data(), 24, &written) || written != 24) {
            return false;
        }
        std::uint32_t read = 0;
        m_sim->ReadPrinter(handle, nullptr, 0, &read);
        for (std::size_t offset = 0; offset < file.size(); offset += 2000) {
            const auto length =
                static_cast<std::uint32_t>(std::min<std::size_t>(2000, file.size() - offset));
            if (!m_sim->WritePrinter(handle, file.data() + offset, length, &written) ||
                written == 0) {
                return false;
            }
        }
        m_sim->ReadPrinter(handle, nullptr, 0, &read);
        return true;
    }
    std::vector<std::uint8_t> Reply(SimHandle handle, std::uint32_t capacity = 50) {
        std::vector<std::uint8_t> buffer(capacity, 0xEE);
        std::uint32_t read = 0;
        EXPECT_NE(m_sim->ZevReadPrinter(ESource::Dodaved, handle, buffer.data(), capacity, &read),
                  0);
        buffer.resize(read);
        return buffer;
    }
    std::string Firmware(const char* name) {
        std::int32_t major = 0;
        std::int32_t minor = 0;
        EXPECT_TRUE(m_sim->ReportedFirmware(name, &major, &minor));
        return std::to_string(major) + "." + std::to_string(minor);
    }
    std::int32_t Polling(const char* name) {
        std::int32_t state = -1;
        EXPECT_NE(m_sim->GetCardPrinterPollingState(name, &state), 0);
        return state;
    }
    bool Logged(const std::string& text) const { return !m_log.Matching(text).empty(); }

    CManualClock m_clock;
    CJobLog m_log;
    std::uint32_t m_jobId = 0;

private:
    std::unique_ptr<CSimulator> m_sim;
};

CSimPrinterConfig Printer(const std::string& name, const std::string& port = "USB001") {
    CSimPrinterConfig printer;
    printer.m_name = name;
    printer.m_port = port;
    printer.m_model = "CP-40";
    printer.m_fwMajor = 32;
    printer.m_fwMinor = 29;
    printer.m_restartMs = 20000;
    return printer;
}

std::vector<std::uint8_t> Image(const std::string& model, std::int32_t major, std::int32_t minor,
                                std::size_t size = 4500) {
    std::vector<std::uint8_t> image;
    EXPECT_TRUE(BuildDemoImage({model, major, minor}, size, &image));
    return image;
}

// ---- spooler ----

TEST(SimSpoolerTest, EnumerationNeedsRecordsAndTextsAndReportsInsufficientBuffer) {
    CSim sim({Printer("Card A", "USB001"), Printer("Card B", "USB002")});
    std::uint32_t needed = 0;
    std::vector<const CSimPrinterConfig*> printers;
    const std::uint32_t expected = 2 * kRecord5 + 7 + 7 + 7 + 7;
    EXPECT_FALSE(sim->EnumerateLocal(2, nullptr, 5, kRecord5, expected - 1, &needed, &printers));
    EXPECT_EQ(sim->LastError(), error::kInsufficientBuffer);
    EXPECT_EQ(needed, expected);
    EXPECT_TRUE(printers.empty());

    ASSERT_TRUE(sim->EnumerateLocal(2, nullptr, 5, kRecord5, expected, &needed, &printers));
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[0]->m_name, "Card A");
    EXPECT_EQ(printers[1]->m_port, "USB002");
    EXPECT_TRUE(sim.Logged("winspool EnumPrintersA(flags=2, name=NULL, level=5, size=68) -> 1 "
                           "needed=68 returned=2"));
    EXPECT_TRUE(sim.Logged("size=67) -> 0 error=122 needed=68"));
}

TEST(SimSpoolerTest, ManyPrintersOverflowTheProgramsFixedBufferAndAForcedErrorWins) {
    std::vector<CSimPrinterConfig> many;
    for (int i = 0; i < 60; ++i) {
        many.push_back(
            Printer("Card printer number " + std::to_string(i), "USB0" + std::to_string(i)));
    }
    CSim crowded(many);
    std::uint32_t needed = 0;
    std::vector<const CSimPrinterConfig*> printers;
    EXPECT_FALSE(crowded->EnumerateLocal(2, nullptr, 5, kRecord5, 2000, &needed, &printers));
    EXPECT_EQ(crowded->LastError(), 122u);
    EXPECT_GT(needed, 2000u);

    CSim failing({Printer("Card A")}, 1, 1722);
    EXPECT_FALSE(failing->EnumerateLocal(2, nullptr, 5, kRecord5, 2000, &needed, &printers));
    EXPECT_EQ(failing->LastError(), 1722u);
    EXPECT_FALSE(failing->EnumerateLocal(2, nullptr, 4, kRecord5, 2000, &needed, &printers));
}

TEST(SimSpoolerTest, OpenQueryAndCloseCountHandlesAndHonourFaults) {
    CSimPrinterConfig broken = Printer("Gone");
    broken.m_openError = error::kAccessDenied;
    CSimPrinterConfig refusing = Printer("Mute");
    refusing.m_getPrinterError = 1722;
    refusing.m_printProcessor = "winprint";
    CSim sim({Printer("Card A"), broken, refusing});

    SimHandle handle = 99;
    EXPECT_FALSE(sim->Open("Gone", &handle, false, 0));
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(sim->LastError(), error::kAccessDenied);
    EXPECT_FALSE(sim->Open("Nobody", &handle, false, 0));
    EXPECT_EQ(sim->LastError(), error::kInvalidPrinterName);

    ASSERT_TRUE(sim->Open("Card A", &handle, false, 0));
    EXPECT_TRUE(sim.Logged("OpenPrinterA(\"Card A\", access=default) -> 1 handle=#1 open=1"));
    std::uint32_t needed = 0;
    CLevel2Texts texts;
    EXPECT_FALSE(sim->QueryLevel2(handle, 2, 100, false, 0, &needed, &texts));
    EXPECT_EQ(sim->LastError(), 122u);
    EXPECT_EQ(needed, 100 + texts.Bytes());
    EXPECT_FALSE(sim->QueryLevel2(handle, 2, 100, true, needed - 1, &needed, &texts));
    ASSERT_TRUE(sim->QueryLevel2(handle, 2, 100, true, needed, &needed, &texts));
    EXPECT_EQ(texts.m_printProcessor, "Mox Print Processor");
    EXPECT_EQ(texts.m_printerName, "Card A");

    const SimHandle mute = sim.Open("Mute", 0);
    EXPECT_FALSE(sim->QueryLevel2(mute, 2, 100, false, 0, &needed, &texts));
    EXPECT_EQ(sim->LastError(), 122u) << "the size query still answers";
    EXPECT_FALSE(sim->QueryLevel2(mute, 2, 100, true, needed, &needed, &texts));
    EXPECT_EQ(sim->LastError(), 1722u);

    EXPECT_EQ(sim->OpenHandles(), 2u);
    EXPECT_TRUE(sim->ClosePrinter(handle));
    EXPECT_FALSE(sim->ClosePrinter(handle)) << "a handle closes once";
    EXPECT_EQ(sim->LastError(), error::kInvalidHandle);
    EXPECT_TRUE(sim->ClosePrinter(mute));
    sim->Shutdown();
    EXPECT_TRUE(sim.Logged("exit open-handles=0 open-jobs=0"));
}

// ---- flash job ----

TEST(SimFlashJobTest, OneStepUpdateIsCheckedHashedAnsweredAndTakenAfterTheRestart) {
    CSim sim({Printer("Card A")});
    const std::vector<std::uint8_t> file = Image("CP-40", 33, 1);
    const SimHandle handle = sim.Open("Card A");
    ASSERT_TRUE(sim.Send(handle, file));
    EXPECT_EQ(sim.m_jobId, 41u);
    EXPECT_EQ(sim.Reply(handle), SuccessFrame());
    EXPECT_EQ(sim.Reply(handle).size(), 0u) << "the printer answers once per job";
    EXPECT_EQ(sim.Polling("Card A"), 0);
    ASSERT_NE(sim->ZevEndDocPrinter(ESource::Dodaved, handle, 0), 0);
    EXPECT_TRUE(sim->ClosePrinter(handle));

    const std::string hash = "hash=fnv1a64:" + CJobLog::Hex(Fnv(file), 16);
    EXPECT_TRUE(sim.Logged("job 41 ended printer=\"Card A\" doc=\"Flash Update\" "
                           "chunks=24,2000,2000,500 size-field=4500 body=4500 " +
                           hash + " image=\"CP-40 33.1\" reply=success problems=none"));
    EXPECT_TRUE(sim.Logged("WritePrinter(#1, length=24) write=0 -> 1 written=24 "
                           "header=\"Flash update\" size=4500"));
    EXPECT_EQ(sim.m_log.Matching("ReadPrinter(#1, buffer=NULL, length=0) -> 1 read=0").size(), 2u);

    // Restarting: busy and still the old version, until the restart time has passed.
    EXPECT_EQ(sim.Polling("Card A"), 1);
    EXPECT_EQ(sim.Firmware("Card A"), "32.29");
    sim.m_clock.m_now += 19999;
    EXPECT_EQ(sim.Polling("Card A"), 1);
    sim.m_clock.m_now += 1;
    EXPECT_EQ(sim.Polling("Card A"), 0);
    EXPECT_EQ(sim.Firmware("Card A"), "33.1");
    EXPECT_TRUE(sim.Logged("printer \"Card A\" restarted firmware=33.1"));
}

TEST(SimFlashJobTest, TimeScaleShortensTheRestart) {
    CSim sim({Printer("Card A")}, 10);
    const SimHandle handle = sim.Open("Card A");
    ASSERT_TRUE(sim.Send(handle, Image("CP-40", 33, 1)));
    sim.Reply(handle);
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, 0);
    sim.m_clock.m_now += 1999;
    EXPECT_EQ(sim.Polling("Card A"), 1);
    sim.m_clock.m_now += 1;
    EXPECT_EQ(sim.Polling("Card A"), 0);
    EXPECT_EQ(sim.Firmware("Card A"), "33.1");
}

TEST(SimFlashJobTest, ImagesThatDoNotFitAreRefusedWithAnErrorFrameAndNoRestart) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> file;
    } cases[] = {
        {"another model", Image("CP-90", 33, 1)},
        {"no demo header", std::vector<std::uint8_t>(1999, 0x5A)},
    };
    for (const auto& c : cases) {
        CSim sim({Printer("Card A")});
        const SimHandle handle = sim.Open("Card A");
        ASSERT_TRUE(sim.Send(handle, c.file)) << c.what;
        EXPECT_EQ(sim.Reply(handle), ErrorFrame()) << c.what;
        sim->ZevEndDocPrinter(ESource::Dodaved, handle, 0);
        EXPECT_EQ(sim.Polling("Card A"), 0) << c.what;
        EXPECT_EQ(sim.Firmware("Card A"), "32.29") << c.what;
        EXPECT_TRUE(sim.Logged("reply=error")) << c.what;
    }
}

TEST(SimFlashJobTest, ProtocolViolationsAreLoggedAsProblems) {
    CSim sim({Printer("Card A")});
    const SimHandle handle = sim.Open("Card A", 0);
    std::uint32_t job = 0;
    ASSERT_NE(sim->ZevStartDocPrinter(ESource::Vizuvuv, handle, 1, "Flash update", nullptr, nullptr,
                                      2, &job),
              0);
    std::vector<std::uint8_t> header = Header(10);
    header[12] = 'X'; // name field without its terminator
    std::uint32_t written = 0;
    ASSERT_TRUE(sim->WritePrinter(handle, header.data(), 24, &written));
    EXPECT_EQ(sim.Reply(handle), ErrorFrame()) << "a job without a flash header is refused at once";
    EXPECT_TRUE(sim->ClosePrinter(handle));
    EXPECT_TRUE(sim.Logged("VIZUVUV ZevStartDocPrinter(#1, level=1, doc=\"Flash update\", "
                           "output=NULL, datatype=NULL, mode=2) -> 1 job=41"));
    EXPECT_TRUE(sim.Logged("job 41 abandoned"));
    EXPECT_TRUE(sim.Logged("problems=unexpected-document,printer-not-opened-with-all-access,"
                           "bad-header,printer-closed-with-open-job"));
}

TEST(SimFlashJobTest, HeaderAndBodyInOneWriteAndAnOverlongBodyAreProblems) {
    CSim sim({Printer("Card A")});
    const SimHandle handle = sim.Open("Card A");
    std::uint32_t job = 0;
    sim->ZevStartDocPrinter(ESource::Dodaved, handle, 1, "Flash Update", nullptr, nullptr, 1, &job);
    std::vector<std::uint8_t> data = Header(10);
    data.resize(24 + 12, 0x11);
    std::uint32_t written = 0;
    ASSERT_TRUE(
        sim->WritePrinter(handle, data.data(), static_cast<std::uint32_t>(data.size()), &written));
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, job);
    EXPECT_TRUE(sim.Logged("size-field=10 body=12"));
    EXPECT_TRUE(sim.Logged("problems=header-not-separate,body-longer-than-size-field"));
}

// ---- reply modes ----

TEST(SimReplyTest, FaultyRepliesComeAsConfigured) {
    CSimPrinterConfig garbage = Printer("Garbage");
    garbage.m_reply = EReplyMode::Garbage;
    CSimPrinterConfig error = Printer("Error");
    error.m_reply = EReplyMode::Error;
    CSimPrinterConfig split = Printer("Split");
    split.m_reply = EReplyMode::Split;
    split.m_splitAt = 5;
    CSimPrinterConfig late = Printer("Late");
    late.m_reply = EReplyMode::Success;
    late.m_emptyReads = 2;
    late.m_noiseReads = 1;
    CSim sim({garbage, error, split, late});
    const std::vector<std::uint8_t> file = std::vector<std::uint8_t>(100, 1); // not even an image

    SimHandle handle = sim.Open("Garbage");
    ASSERT_TRUE(sim.Send(handle, file));
    const std::vector<std::uint8_t> junk = sim.Reply(handle);
    ASSERT_EQ(junk.size(), 12u);
    EXPECT_NE(junk[0], 0x01);
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, 0);
    EXPECT_EQ(sim.Polling("Garbage"), 1)
        << "a complete job restarts the printer whatever the reply";

    handle = sim.Open("Error");
    ASSERT_TRUE(sim.Send(handle, Image("CP-40", 33, 1)));
    EXPECT_EQ(sim.Reply(handle),
              (std::vector<std::uint8_t>{1, 1, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0xFC}));
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, 0);
    EXPECT_EQ(sim.Polling("Error"), 0) << "a refused image is not flashed";

    handle = sim.Open("Split");
    ASSERT_TRUE(sim.Send(handle, Image("CP-40", 33, 1)));
    const std::vector<std::uint8_t> frame = SuccessFrame();
    EXPECT_EQ(sim.Reply(handle), std::vector<std::uint8_t>(frame.begin(), frame.begin() + 5));
    EXPECT_EQ(sim.Reply(handle), std::vector<std::uint8_t>(frame.begin() + 5, frame.end()));

    handle = sim.Open("Late");
    ASSERT_TRUE(sim.Send(handle, file));
    EXPECT_TRUE(sim.Reply(handle).empty());
    EXPECT_TRUE(sim.Reply(handle).empty());
    EXPECT_EQ(sim.Reply(handle), std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(sim.Reply(handle, 8), std::vector<std::uint8_t>(frame.begin(), frame.begin() + 8))
        << "a small buffer gets the start of the frame";
    EXPECT_EQ(sim.Reply(handle), std::vector<std::uint8_t>(frame.begin() + 8, frame.end()));
}

TEST(SimReplyTest, ASilentPrinterCostsTimePerReadAndLogsOneLinePerRunOfEmptyReads) {
    CSimPrinterConfig silent = Printer("Silent");
    silent.m_reply = EReplyMode::None;
    silent.m_readDelayMs = 10;
    CSim sim({silent});
    const SimHandle handle = sim.Open("Silent");
    ASSERT_TRUE(sim.Send(handle, Image("CP-40", 33, 1)));
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(sim.Reply(handle).empty());
    }
    EXPECT_EQ(sim.m_clock.m_slept, 10000u);
    const std::size_t lines = sim.m_log.Lines().size();
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, 0);
    EXPECT_TRUE(sim.Logged("DODAVED ZevReadPrinter(#1, capacity=50) -> 1 read=0 calls=1000"));
    EXPECT_LE(sim.m_log.Lines().size(), lines + 5);
    EXPECT_TRUE(sim.Logged("reply=none"));
}

TEST(SimReplyTest, NoAnswerBeforeTheWholeBodyHasArrived) {
    CSim sim({Printer("Card A")});
    const SimHandle handle = sim.Open("Card A");
    std::uint32_t job = 0;
    sim->ZevStartDocPrinter(ESource::Dodaved, handle, 1, "Flash Update", nullptr, nullptr, 1, &job);
    const std::vector<std::uint8_t> header = Header(4500);
    std::uint32_t written = 0;
    sim->WritePrinter(handle, header.data(), 24, &written);
    EXPECT_TRUE(sim.Reply(handle).empty());
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, job);
    EXPECT_TRUE(sim.Logged("problems=incomplete-body"));
    EXPECT_EQ(sim.Polling("Card A"), 0) << "an incomplete job is not flashed";
}

// ---- faults of the job calls ----

TEST(SimFaultTest, JobCallsFailWithTheConfiguredCodes) {
    CSimPrinterConfig p = Printer("Card A");
    p.m_startDocError = 1804;
    CSim startFails({p});
    SimHandle handle = startFails.Open("Card A");
    std::uint32_t job = 0;
    EXPECT_EQ(startFails->ZevStartDocPrinter(ESource::Dodaved, handle, 1, "Flash Update", nullptr,
                                             nullptr, 1, &job),
              0);
    EXPECT_EQ(startFails->LastError(), 1804u);
    std::uint32_t written = 7;
    EXPECT_FALSE(startFails->WritePrinter(handle, "x", 1, &written));
    EXPECT_EQ(startFails->LastError(), error::kNoStartDoc);
    EXPECT_EQ(written, 0u);

    p = Printer("Card A");
    p.m_writeErrorAt = 2;
    CSim writeFails({p});
    handle = writeFails.Open("Card A");
    EXPECT_FALSE(writeFails.Send(handle, Image("CP-40", 33, 1)));
    EXPECT_EQ(writeFails->LastError(), error::kDeviceNotConnected);
    writeFails->ZevEndDocPrinter(ESource::Dodaved, handle, 0);
    EXPECT_TRUE(writeFails.Logged("chunks=24,2000 "));

    p = Printer("Card A");
    p.m_writeZeroAt = 1;
    CSim writesNothing({p});
    handle = writesNothing.Open("Card A");
    EXPECT_FALSE(writesNothing.Send(handle, Image("CP-40", 33, 1)));
    EXPECT_TRUE(writesNothing.Logged("write=1 -> 1 written=0 (scenario)"));

    p = Printer("Card A");
    p.m_readError = 21;
    p.m_zevReadError = 1167;
    p.m_endDocError = 31;
    CSim readsFail({p});
    handle = readsFail.Open("Card A");
    std::uint32_t read = 5;
    EXPECT_FALSE(readsFail->ReadPrinter(handle, nullptr, 0, &read));
    EXPECT_EQ(readsFail->LastError(), 21u);
    EXPECT_EQ(read, 0u);
    ASSERT_NE(readsFail->ZevStartDocPrinter(ESource::Dodaved, handle, 1, "Flash Update", nullptr,
                                            nullptr, 1, &job),
              0);
    std::uint8_t buffer[50];
    EXPECT_EQ(readsFail->ZevReadPrinter(ESource::Dodaved, handle, buffer, 50, &read), 0);
    EXPECT_EQ(readsFail->LastError(), 1167u);
    EXPECT_EQ(readsFail->ZevEndDocPrinter(ESource::Dodaved, handle, 0), 0);
    EXPECT_EQ(readsFail->ZevEndDocPrinter(ESource::Dodaved, handle, 0), 0) << "every end fails";
    EXPECT_EQ(readsFail->LastError(), 31u);
    readsFail->Shutdown();
    EXPECT_TRUE(readsFail.Logged("exit open-handles=1 open-jobs=1 #1=\"Card A\""));
}

TEST(SimFaultTest, CallsOnHandlesThatWereNeverOpenedFail) {
    CSim sim({Printer("Card A")});
    std::uint32_t job = 0;
    std::uint32_t count = 0;
    EXPECT_EQ(
        sim->ZevStartDocPrinter(ESource::Dodaved, 0, 1, "Flash Update", nullptr, nullptr, 1, &job),
        0);
    EXPECT_EQ(sim->LastError(), error::kInvalidHandle);
    EXPECT_FALSE(sim->WritePrinter(77, "x", 1, &count));
    EXPECT_FALSE(sim->ReadPrinter(77, nullptr, 0, &count));
    EXPECT_EQ(sim->ZevEndDocPrinter(ESource::Dodaved, 77, 0), 0);
    EXPECT_EQ(sim->LastError(), error::kInvalidHandle);
    EXPECT_TRUE(sim.Logged("ZevStartDocPrinter(NULL, level=1"));
}

// ---- status library ----

TEST(SimStatusLibraryTest, SizeQueryThenFetchOfBothInfoTypes) {
    CSimPrinterConfig p = Printer("Card A");
    p.m_libVersion = "7.4.533 ";
    p.m_legacyModel = "CP-40 Classic";
    CSim sim({p});
    std::uint32_t required = 0;
    EXPECT_EQ(sim->GetCardPrinterInfo(ESource::StatusLibrary, "Card A", 2, nullptr, 0, &required),
              0);
    EXPECT_EQ(required, 24u);
    std::vector<std::uint8_t> record(24, 0xEE);
    ASSERT_NE(
        sim->GetCardPrinterInfo(ESource::StatusLibrary, "Card A", 2, record.data(), 24, &required),
        0);
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::memcpy(&major, record.data() + 16, 4);
    std::memcpy(&minor, record.data() + 20, 4);
    EXPECT_EQ(major, 32);
    EXPECT_EQ(minor, 29);

    for (const ESource source : {ESource::StatusLibrary, ESource::LegacyStatusLibrary}) {
        sim->GetCardPrinterInfo(source, "Card A", 1, nullptr, 0, &required);
        ASSERT_GT(required, sizeof(CInfo1Record));
        auto buffer = std::make_unique<std::uint8_t[]>(required);
        ASSERT_NE(sim->GetCardPrinterInfo(source, "Card A", 1, buffer.get(), required, &required),
                  0);
        CInfo1Record info{};
        std::memcpy(&info, buffer.get(), sizeof info);
        // The texts live inside the caller's buffer.
        EXPECT_GE(info.m_model, reinterpret_cast<const char*>(buffer.get()));
        EXPECT_LT(info.m_libVersion, reinterpret_cast<const char*>(buffer.get() + required));
        EXPECT_STREQ(info.m_model, source == ESource::StatusLibrary ? "CP-40" : "CP-40 Classic");
        EXPECT_STREQ(info.m_libVersion, "7.4.533 ");
    }
    EXPECT_TRUE(sim.Logged("ORN_API.bak GetCardPrinterInfoA(\"Card A\", type=1"));
    EXPECT_EQ(
        sim->GetCardPrinterInfo(ESource::StatusLibrary, "Card A", 1, record.data(), 8, &required),
        0)
        << "a buffer smaller than the record is refused";
}

TEST(SimStatusLibraryTest, UnknownPrintersAndFaultsGiveSizeZeroOrFailedFetches) {
    CSimPrinterConfig p = Printer("Card A");
    p.m_infoSizeZero = {2};
    p.m_infoFetchFails = {1};
    CSimPrinterConfig shortRecord = Printer("Short");
    shortRecord.m_shortRecord = 12;
    CSim sim({p, shortRecord});
    std::uint32_t required = 99;
    EXPECT_EQ(sim->GetCardPrinterInfo(ESource::StatusLibrary, "Nobody", 2, nullptr, 0, &required),
              0);
    EXPECT_EQ(required, 0u);
    required = 99;
    EXPECT_EQ(sim->GetCardPrinterInfo(ESource::StatusLibrary, "Card A", 2, nullptr, 0, &required),
              0);
    EXPECT_EQ(required, 0u);
    sim->GetCardPrinterInfo(ESource::StatusLibrary, "Card A", 1, nullptr, 0, &required);
    std::vector<std::uint8_t> buffer(required);
    EXPECT_EQ(sim->GetCardPrinterInfo(ESource::StatusLibrary, "Card A", 1, buffer.data(), required,
                                      &required),
              0);
    EXPECT_EQ(sim->GetCardPrinterInfo(ESource::StatusLibrary, "Card A", 3, nullptr, 0, &required),
              0);
    EXPECT_EQ(required, 0u);

    sim->GetCardPrinterInfo(ESource::StatusLibrary, "Short", 2, nullptr, 0, &required);
    EXPECT_EQ(required, 12u);
    std::vector<std::uint8_t> guarded(24, 0xEE);
    EXPECT_NE(
        sim->GetCardPrinterInfo(ESource::StatusLibrary, "Short", 2, guarded.data(), 12, &required),
        0);
    EXPECT_EQ(std::count(guarded.begin() + 12, guarded.end(), 0xEE), 12)
        << "nothing past the record";
}

TEST(SimStatusLibraryTest, PollingFollowsBusyTimeRestartsAndTheNeverSettlesFault) {
    CSimPrinterConfig busy = Printer("Busy");
    busy.m_busyMs = 3000;
    CSimPrinterConfig stuck = Printer("Stuck");
    stuck.m_pollingNeverSettles = true;
    CSim sim({busy, stuck});
    EXPECT_EQ(sim.Polling("Busy"), 1);
    EXPECT_EQ(sim.Polling("Stuck"), 1);
    sim.m_clock.m_now = 3000;
    EXPECT_EQ(sim.Polling("Busy"), 0);
    sim.m_clock.m_now = 10000000;
    EXPECT_EQ(sim.Polling("Stuck"), 1);
    std::int32_t state = 0;
    EXPECT_EQ(sim->GetCardPrinterPollingState("Nobody", &state), 0);
    EXPECT_EQ(state, 1);
    EXPECT_NE(sim->ResumePrinterPolling("Busy", 1), 0);
    EXPECT_TRUE(sim.Logged("ORN_API ResumePrinterPollingA(\"Busy\", flag=1) -> 1"));
}

TEST(SimStatusLibraryTest, TwoStepUpdateReportsTheIntermediateVersionThenTheFinalOne) {
    CSim sim({Printer("Card A")});
    SimHandle handle = sim.Open("Card A");
    ASSERT_TRUE(sim.Send(handle, Image("CP-40", 32, 40)));
    sim.Reply(handle);
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, sim.m_jobId);
    sim->ClosePrinter(handle);
    EXPECT_TRUE(sim.Logged("ZevEndDocPrinter(#1, job=41) -> 1"));
    sim.m_clock.m_now += 20000;
    EXPECT_EQ(sim.Firmware("Card A"), "32.40");

    handle = sim.Open("Card A");
    ASSERT_TRUE(sim.Send(handle, Image("CP-40", 33, 1)));
    EXPECT_EQ(sim.m_jobId, 42u);
    sim.Reply(handle);
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, 0);
    sim.m_clock.m_now += 20000;
    EXPECT_EQ(sim.Firmware("Card A"), "33.1");
}

TEST(SimStatusLibraryTest, APrinterThatNeverTakesFirmwareRestartsButKeepsItsVersion) {
    CSimPrinterConfig p = Printer("Card A");
    p.m_neverTakesFirmware = true;
    CSim sim({p});
    const SimHandle handle = sim.Open("Card A");
    ASSERT_TRUE(sim.Send(handle, Image("CP-40", 32, 40)));
    EXPECT_EQ(sim.Reply(handle), SuccessFrame());
    sim->ZevEndDocPrinter(ESource::Dodaved, handle, 41);
    EXPECT_EQ(sim.Polling("Card A"), 1);
    sim.m_clock.m_now += 20000;
    EXPECT_EQ(sim.Polling("Card A"), 0);
    EXPECT_EQ(sim.Firmware("Card A"), "32.29");
}

// ---- across program runs ----

std::filesystem::path StatePath(const std::string& what) {
    return std::filesystem::temp_directory_path() /
           ("sarnok-sim-state-" + what + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".txt");
}

// One program run updates Card A to 33.1 (its restart takes 20 s of printer time) and exits
// exitAfterMs after it started; the next run over the same state file starts at nextRunAtMs.
TEST(SimStateTest, FirmwareAndRestartsOutliveTheProgramRun) {
    const struct {
        const char* what;
        const char* before; // the state file before the first run; nullptr: none
        bool neverTakes;
        std::uint32_t timeScale;
        std::uint64_t exitAfterMs;
        std::uint64_t nextRunAtMs;
        std::int32_t busyAtStart;
        const char* atStart;
        const char* afterRestart;
    } cases[] = {
        {"taken at the restart's end", nullptr, false, 1, 20000, 60000, 0, "33.1", "33.1"},
        {"still restarting at exit", nullptr, false, 1, 5000, 8000, 1, "32.29", "33.1"},
        {"restarting at exit, ten times real speed", nullptr, false, 10, 500, 800, 1, "32.29",
         "33.1"},
        {"restart over between the runs", nullptr, false, 1, 5000, 25000, 0, "33.1", "33.1"},
        {"never takes firmware", "Card A\t32.40\n", true, 1, 20000, 60000, 0, "32.40", "32.40"},
        {"never takes, restarting at exit", nullptr, true, 1, 5000, 8000, 1, "32.29", "32.29"},
    };
    for (const auto& c : cases) {
        const std::filesystem::path path = StatePath("run");
        if (c.before != nullptr) {
            std::ofstream(path) << c.before;
        }
        const CSimStateFile file(path.string());
        CSimPrinterConfig printer = Printer("Card A");
        printer.m_neverTakesFirmware = c.neverTakes;
        const std::uint64_t restartEnds = printer.m_restartMs / c.timeScale;
        {
            CSim first({printer}, c.timeScale, 0, &file);
            const SimHandle handle = first.Open("Card A");
            ASSERT_TRUE(first.Send(handle, Image("CP-40", 33, 1))) << c.what;
            EXPECT_EQ(first.Reply(handle), SuccessFrame()) << c.what;
            first->ZevEndDocPrinter(ESource::Dodaved, handle, first.m_jobId);
            first->ClosePrinter(handle);
            first.m_clock.m_now = c.exitAfterMs;
            first.Polling("Card A"); // the program's last look before it exits
        }
        CSim next({printer}, c.timeScale, 0, &file, c.nextRunAtMs);
        EXPECT_EQ(next.Polling("Card A"), c.busyAtStart) << c.what;
        EXPECT_EQ(next.Firmware("Card A"), c.atStart) << c.what;
        if (c.busyAtStart != 0) {
            next.m_clock.m_now = restartEnds - 1;
            EXPECT_EQ(next.Polling("Card A"), 1) << c.what << ": busy until the restart's end";
            EXPECT_EQ(next.Firmware("Card A"), c.atStart) << c.what;
        }
        next.m_clock.m_now = std::max(restartEnds, c.nextRunAtMs);
        EXPECT_EQ(next.Polling("Card A"), 0) << c.what;
        EXPECT_EQ(next.Firmware("Card A"), c.afterRestart) << c.what;
        std::filesystem::remove(path);
    }
}

// A damaged state file must neither stop the printers nor give them a version nobody sent.
TEST(SimStateTest, LinesThatCannotBeReadLeaveTheirPrintersAtTheScenariosVersion) {
    const std::filesystem::path path = StatePath("garbled");
    std::ofstream(path, std::ios::binary)
        << "Card A\t99\n"
        << "\x01\xfe\xff\t\t\n"
        << "Card B\t33.1\trestart-ends=soon\tthen=34.0\n"
        << "Card C\t40.2\tmore\n"
        << "Card D\t40.2\r\n"
        << "Card Z\t1.1\n"
        << "Card F\t32.29\trestart-ends=18446744073709551615\tthen=34.0\n"
        << "Card E\t33.";
    const CSimStateFile file(path.string());
    CSim sim({Printer("Card A"), Printer("Card B"), Printer("Card C"), Printer("Card D"),
              Printer("Card E"), Printer("Card F")},
             1, 0, &file);
    for (const char* name : {"Card A", "Card B", "Card C", "Card E"}) {
        EXPECT_EQ(sim.Firmware(name), "32.29") << name;
        EXPECT_EQ(sim.Polling(name), 0) << name;
    }
    EXPECT_EQ(sim.Firmware("Card D"), "40.2");
    EXPECT_TRUE(sim.Logged("remembered=2 ignored-lines=5"));
    // A restart said to end in the far future lasts no longer than the printer's restarts do.
    EXPECT_EQ(sim.Polling("Card F"), 1);
    sim.m_clock.m_now = 20000;
    EXPECT_EQ(sim.Polling("Card F"), 0);
    EXPECT_EQ(sim.Firmware("Card F"), "34.0");

    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(3000, '\0');
    CSim zeros({Printer("Card D")}, 1, 0, &file);
    EXPECT_EQ(zeros.Firmware("Card D"), "32.29");
    std::filesystem::remove(path);
}

} // namespace
} // namespace sarnok::sim
