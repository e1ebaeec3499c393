// The update run's exits, releases and flash job, and the Update click sequence.
#include "app/ClickEvent.h"
#include "app/UpdateLockPath.h"
#include "fakes/FakeDriverLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace sarnok::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

constexpr const char* kFolder = "C:\\Tools\\Sarnok\\";
const std::string kFinalPath = std::string(kFolder) + "final.bin";
const std::string kStepOnePath = std::string(kFolder) + "step1.bin";

// A dialog with a bound-ready library, a printer that answers and a catalogue entry, as the
// selection step leaves them.
class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDriverRecorder();
        AddDriverLibrary(m_rig.m_loader);
        Dlg().m_hLibrary = m_rig.m_loader.Load("DODAVED.DLL");
        Dlg().m_printerName.Assign("P1");
        m_rig.m_status.m_printers["P1"].m_major = 3;
        m_rig.m_status.m_printers["P1"].m_minor = 2;
        Dlg().m_fileName.Assign("final.bin");
        Dlg().m_intermediateFileName.Assign("step1.bin");
        Dlg().m_intermediateVersion.Assign("3.2");
        AddFile(kFinalPath, 4500);
        AddFile(kStepOnePath, 1999);
        Driver().m_clock = &m_rig.m_clock;
        Driver().m_timeline = &m_rig.m_spooler.m_calls;
    }

    Bytes& AddFile(const std::string& path, std::size_t size) {
        Bytes& bytes = m_rig.m_files.m_files[path].m_bytes;
        bytes.resize(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        }
        return bytes;
    }
    void Reply(const Bytes& frame) { Driver().m_replies.push_back({1, frame, std::nullopt, 0}); }
    void NoReplyEver() { Driver().m_readCostMs = 1000; }

    Texts Status() const {
        return {m_rig.m_view.Status(1), m_rig.m_view.Status(2), m_rig.m_view.Status(3)};
    }
    std::string Text(unsigned id) { return StringTable().at(id); }
    std::vector<std::uint32_t> Writes() const { return m_rig.m_spooler.m_writeLengths; }
    bool HandlerFileDeleted() const { return m_rig.m_files.m_deleted == Texts{"thandler.dat"}; }
    // What every exit owes: nothing left open, the cursor and the power request restored.
    void ExpectReleased() const {
        EXPECT_EQ(m_rig.m_files.m_openFiles, 0u);
        EXPECT_EQ(m_rig.m_files.m_openMappings, 0u);
        EXPECT_EQ(m_rig.m_files.m_openViews, 0u);
        EXPECT_EQ(m_rig.m_spooler.OpenHandles(), 0u);
        EXPECT_EQ(DriverRecorder().m_openJobs, 0);
        EXPECT_EQ(m_rig.m_system.m_liveTaskBlocks, 0u);
        EXPECT_EQ(m_rig.m_system.m_liveErrorTexts, 0u);
        EXPECT_EQ(m_rig.m_view.m_waitCursorDepth, 0);
        EXPECT_FALSE(m_rig.m_view.m_updateEnabled);
        ASSERT_FALSE(m_rig.m_system.m_awakeCalls.empty());
        EXPECT_TRUE(m_rig.m_system.m_awakeCalls.front());
        EXPECT_FALSE(m_rig.m_system.m_awake);
    }
    Texts FileCallsAfterOpen() const {
        const Texts& calls = m_rig.m_files.m_calls;
        const auto open = std::find_if(calls.begin(), calls.end(), [](const std::string& c) {
            return c.rfind("open:", 0) == 0;
        });
        return open == calls.end() ? Texts{} : Texts(open + 1, calls.end());
    }

    CfuuDlg& Dlg() { return m_rig.Dlg(); }
    CFakeDriverRecorder& Driver() { return DriverRecorder(); }

    CTestRig m_rig;
};

// ---- The flash job ----

TEST_F(UpdateRunTest, FileOf4500BytesGoesOutAsHeaderAndThreeChunksFromTheView) {
    Reply(SuccessFrame());
    Dlg().m_errorReply = 1;
    Dlg().UpdateRun();

    EXPECT_EQ(Writes(), (std::vector<std::uint32_t>{24, 2000, 2000, 500}));
    EXPECT_EQ(m_rig.m_spooler.m_calls,
              (Texts{"open:P1:983052", "zev:start:1:1", "write:24", "read:0", "write:2000",
                     "write:2000", "write:500", "read:0", "zev:read:50", "zev:end:0", "close"}));
    // Straight from the mapped view, no copy.
    const std::uint8_t* view = m_rig.m_files.m_files[kFinalPath].m_bytes.data();
    const auto& sources = m_rig.m_spooler.m_writeSources;
    EXPECT_EQ(sources[1], view);
    EXPECT_EQ(sources[2], view + 2000);
    EXPECT_EQ(sources[3], view + 4000);
    const Bytes& written = m_rig.m_spooler.m_bytesWritten;
    ASSERT_EQ(written.size(), 24u + 4500u);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 13),
              std::string("Flash update\0", 13));
    EXPECT_TRUE(
        std::all_of(written.begin() + 13, written.begin() + 20, [](auto b) { return b == 0; }));
    EXPECT_EQ(Bytes(written.begin() + 20, written.begin() + 24), (Bytes{0x94, 0x11, 0, 0}));
    EXPECT_EQ(Bytes(written.begin() + 24, written.end()),
              m_rig.m_files.m_files[kFinalPath].m_bytes);
    EXPECT_EQ(Driver().m_docName, "Flash Update");

    EXPECT_EQ(Status(), (Texts{"", Text(104), ""}));
    EXPECT_EQ(m_rig.m_view.m_history[1], (Texts{Text(109), Text(113), Text(108), Text(104)}));
    EXPECT_EQ(m_rig.m_view.m_cancelCaption, "Close");
    EXPECT_EQ(Dlg().m_errorReply, 0);
    EXPECT_EQ(Dlg().m_replyHandled, 1);
    EXPECT_EQ(Dlg().m_jobId, 1u);
    EXPECT_EQ(Dlg().m_firmwareFolder, kFolder);
    EXPECT_EQ(m_rig.m_system.m_taskAllocations, 1u);
    EXPECT_TRUE(m_rig.m_view.m_messageBoxes.empty());
    EXPECT_TRUE(HandlerFileDeleted());
    ExpectReleased();
}

TEST_F(UpdateRunTest, ChunkingByFileSize) {
    const std::vector<std::pair<std::size_t, std::vector<std::uint32_t>>> cases = {
        {1, {24, 1}},
        {1999, {24, 1999}},
        {2000, {24, 2000}}, // no empty last write
        {4000, {24, 2000, 2000}},
        {4001, {24, 2000, 2000, 1}},
    };
    for (const auto& [size, writes] : cases) {
        CTestRig rig;
        PrepareForRun(rig);
        rig.Dlg().m_fileName.Assign("f.bin");
        rig.m_files.m_files[std::string(kFolder) + "f.bin"].m_bytes.assign(size, 0x42);
        Driver().m_replies.push_back({1, SuccessFrame(), std::nullopt, 0});

        rig.Dlg().UpdateRun();

        EXPECT_EQ(rig.m_spooler.m_writeLengths, writes) << size;
        EXPECT_EQ(rig.m_spooler.m_readCalls, 2u) << size;
        EXPECT_EQ(rig.m_view.Status(2), "The firmware update is successful.") << size;
    }
}

TEST_F(UpdateRunTest, FirstStepSendsTheIntermediateFileAndKeepsItsLinesDuringTheWait) {
    Dlg().m_twoStep = 1;
    Driver().m_jobIdAssigned = 812;
    Texts atRead;
    Driver().m_onCall = [&](const std::string& call) {
        if (call.rfind("read:", 0) == 0) {
            atRead = Status();
        }
    };
    Reply(SuccessFrame());
    Dlg().UpdateRun();

    EXPECT_EQ(Writes(), (std::vector<std::uint32_t>{24, 1999}));
    EXPECT_EQ(atRead, (Texts{Text(112), Text(108), "Step 1 of 2"}));
    EXPECT_EQ(Status(), atRead); // the first step's success shows nothing
    EXPECT_EQ(Driver().m_endJobIds, (std::vector<std::uint32_t>{812}));
    EXPECT_EQ(Dlg().m_twoStep, 1);
    EXPECT_EQ(Dlg().m_replyHandled, 1);
    EXPECT_TRUE(HandlerFileDeleted());
    ExpectReleased();
}

TEST_F(UpdateRunTest, ReadOnlyFileIsSentAndStaysWritable) {
    m_rig.m_files.m_files[kFinalPath].m_readOnly = true;
    Reply(SuccessFrame());
    Dlg().UpdateRun();
    EXPECT_FALSE(m_rig.m_files.m_files[kFinalPath].m_readOnly);
    EXPECT_EQ(Writes().size(), 4u);
    EXPECT_EQ(m_rig.m_files.m_calls.front(), "attr:" + kFinalPath);
}

TEST_F(UpdateRunTest, ErrorReplyIsRemembered) {
    Reply(ErrorFrame());
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{Text(107), "", ""}));
    EXPECT_EQ(Dlg().m_errorReply, 1);
    EXPECT_EQ(m_rig.m_view.m_cancelCaption, "Close");
    ExpectReleased();
}

TEST_F(UpdateRunTest, WithoutTaskMemoryTheWarningIsShownAndTheSameHeaderSent) {
    m_rig.m_system.m_allocationFails = true;
    Reply(SuccessFrame());
    Dlg().UpdateRun();
    ASSERT_EQ(m_rig.m_view.m_messageBoxes.size(), 1u);
    EXPECT_EQ(m_rig.m_view.m_messageBoxes[0].m_text, "CoTaskMemAlloc FAILED");
    EXPECT_EQ(m_rig.m_view.m_messageBoxes[0].m_caption, "Warning");
    EXPECT_EQ(m_rig.m_view.m_messageBoxes[0].m_buttons, EMessageButtons::Ok);
    const Bytes& written = m_rig.m_spooler.m_bytesWritten;
    EXPECT_EQ(std::string(written.begin(), written.begin() + 13),
              std::string("Flash update\0", 13));
    EXPECT_EQ(Status()[1], Text(104));
    ExpectReleased();
}

// ---- Exits before the file is open: nothing released, nothing deleted ----

TEST_F(UpdateRunTest, UnboundDriverInterfaceEndsBeforeThePollingWait) {
    m_rig.m_view.SetStatusText(3, "kept");
    Dlg().m_hLibrary = nullptr;
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{"DLL did not load", Text(118), "kept"}));
    EXPECT_EQ(m_rig.m_status.Count("state:"), 0);
    EXPECT_TRUE(m_rig.m_files.m_calls.empty());
    ExpectReleased();

    CTestRig other;
    ResetDriverRecorder();
    AddDriverLibrary(other.m_loader, EDriverExports::WithoutRead);
    other.Dlg().m_hLibrary = other.m_loader.Load("DODAVED.DLL");
    other.Dlg().UpdateRun();
    EXPECT_EQ(other.m_view.Status(1), "A DODAVED function pointer failed to load");
    EXPECT_EQ(other.m_view.Status(2), Text(118));
    EXPECT_EQ(other.Dlg().m_hLibrary, nullptr);
    EXPECT_TRUE(other.m_files.m_deleted.empty());
    EXPECT_FALSE(other.m_system.m_awake);
}

TEST_F(UpdateRunTest, PrinterStillPollingAfterThirtySecondsIsNotReady) {
    m_rig.m_view.SetStatusText(3, "kept");
    m_rig.m_status.m_printers["P1"].m_pollingStates = {1};
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{Text(105), Text(117), "kept"}));
    // Passes start at 0, 1, ..., 30 s; the one starting at 30 s is the last.
    EXPECT_EQ(m_rig.m_clock.m_sleeps.size(), 31u);
    EXPECT_TRUE(m_rig.m_files.m_calls.empty());
    ExpectReleased();
}

TEST_F(UpdateRunTest, FileThatCannotBeOpenedLeavesLineOne) {
    m_rig.m_view.SetStatusText(3, "kept");
    m_rig.m_files.m_openFails = true;
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{Text(112), Text(107), "kept"}));
    EXPECT_TRUE(FileCallsAfterOpen().empty());
    EXPECT_TRUE(m_rig.m_files.m_deleted.empty());
    EXPECT_TRUE(Driver().m_calls.empty());
    ExpectReleased();
}

TEST_F(UpdateRunTest, UnreadableExecutablePathOpensNothingElsewhere) {
    m_rig.m_system.m_executablePath.reset();
    Dlg().UpdateRun();
    EXPECT_EQ(Status()[1], Text(107));
    EXPECT_TRUE(m_rig.m_files.m_calls.empty());
    EXPECT_TRUE(m_rig.m_files.m_deleted.empty());
    ExpectReleased();
}

// ---- Exits after the file is open: releases in order, "thandler.dat" deleted ----

TEST_F(UpdateRunTest, MissingFileIsCreatedEmptyAndEndsAtTheEmptyFileExit) {
    Dlg().m_fileName.Assign("absent.bin");
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{" ", Text(107), " "}));
    EXPECT_TRUE(m_rig.m_files.m_files.count(std::string(kFolder) + "absent.bin"));
    EXPECT_EQ(FileCallsAfterOpen(), (Texts{"size", "closeFile", "delete:thandler.dat"}));
    EXPECT_TRUE(m_rig.m_spooler.m_calls.empty());
    ExpectReleased();
}

TEST_F(UpdateRunTest, FileOfFourGibibytesIsNotSentWithATruncatedSize) {
    m_rig.m_files.m_files[kFinalPath].m_sizeOverride = 0x100000000ull + 4500;
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{" ", Text(107), " "}));
    EXPECT_EQ(FileCallsAfterOpen(), (Texts{"size", "closeFile", "delete:thandler.dat"}));
    EXPECT_TRUE(Writes().empty());
    ExpectReleased();
}

TEST_F(UpdateRunTest, MappingFailureClosesTheFile) {
    m_rig.m_view.SetStatusText(3, "kept");
    m_rig.m_files.m_mappingFails = true;
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{Text(112), Text(107), "kept"}));
    EXPECT_EQ(FileCallsAfterOpen(),
              (Texts{"size", "mapping:4500", "closeFile", "delete:thandler.dat"}));
    ExpectReleased();
}

TEST_F(UpdateRunTest, ViewFailureClosesMappingThenFile) {
    m_rig.m_files.m_viewFails = true;
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{" ", "Could not map view of file.", " "}));
    EXPECT_EQ(FileCallsAfterOpen(), (Texts{"size", "mapping:4500", "view", "closeMapping",
                                           "closeFile", "delete:thandler.dat"}));
    EXPECT_TRUE(m_rig.m_spooler.m_calls.empty());
    ExpectReleased();
}

TEST_F(UpdateRunTest, JobNotStartedReleasesFileAndPrinterButEndsNoJob) {
    Driver().m_startResult = 0;
    Driver().m_startError = 5;
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{" ", "Failed to Start Printing Job.", " "}));
    EXPECT_EQ(m_rig.m_spooler.m_calls, (Texts{"open:P1:983052", "zev:start:1:1", "close"}));
    EXPECT_EQ(FileCallsAfterOpen(), (Texts{"size", "mapping:4500", "view", "unmap", "closeMapping",
                                           "closeFile", "delete:thandler.dat"}));
    EXPECT_EQ(Dlg().m_hPrinter, nullptr);
    ExpectReleased();
}

TEST_F(UpdateRunTest, PrinterThatDidNotOpenShowsAsJobNotStartedAndIsNotClosed) {
    m_rig.m_spooler.m_jobOpenFails = true;
    Dlg().UpdateRun();
    EXPECT_EQ(Status()[1], "Failed to Start Printing Job.");
    EXPECT_EQ(m_rig.m_spooler.m_calls, (Texts{"open:P1:983052", "zev:start:1:1"}));
    EXPECT_TRUE(HandlerFileDeleted());
    ExpectReleased();
}

TEST_F(UpdateRunTest, WriteOfZeroBytesEndsTheSendWithoutFurtherChunks) {
    m_rig.m_view.SetStatusText(3, "kept");
    m_rig.m_spooler.m_writeOutcomes[2] = {1, 0u, 0};
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{Text(110), Text(117), "kept"}));
    EXPECT_EQ(m_rig.m_spooler.m_calls,
              (Texts{"open:P1:983052", "zev:start:1:1", "write:24", "read:0", "write:2000",
                     "write:2000", "zev:end:0", "close"}));
    EXPECT_TRUE(HandlerFileDeleted());
    ExpectReleased();
}

TEST_F(UpdateRunTest, RaisingWritesAndReadsTakeTheSendFailedExit) {
    struct CCase {
        const char* m_name;
        std::function<void(CFakeSpooler&)> m_script;
        std::size_t m_writes;
    };
    const std::vector<CCase> cases = {
        {"header write raises",
         [](CFakeSpooler& s) {
             s.m_writeOutcomes[0] = {0, {}, 1722};
         },
         1},
        {"header written as 0",
         [](CFakeSpooler& s) {
             s.m_writeOutcomes[0] = {1, 0u, 0};
         },
         1},
        {"middle chunk raises, though it reports a count",
         [](CFakeSpooler& s) {
             s.m_writeOutcomes[2] = {0, 2000u, 64};
         },
         3},
        {"last chunk written as 0",
         [](CFakeSpooler& s) {
             s.m_writeOutcomes[3] = {1, 0u, 0};
         },
         4},
        {"last chunk raises",
         [](CFakeSpooler& s) {
             s.m_writeOutcomes[3] = {0, {}, 64};
         },
         4},
        {"first empty read fails",
         [](CFakeSpooler& s) {
             s.m_readOutcomes[0] = {0, 0, 64};
         },
         1},
        {"second empty read fails",
         [](CFakeSpooler& s) {
             s.m_readOutcomes[1] = {0, 0, 64};
         },
         4},
    };
    for (const CCase& c : cases) {
        CTestRig rig;
        PrepareForRun(rig);
        rig.Dlg().m_fileName.Assign("f.bin");
        rig.m_files.m_files[std::string(kFolder) + "f.bin"].m_bytes.assign(4500, 1);
        c.m_script(rig.m_spooler);

        rig.Dlg().UpdateRun();

        EXPECT_EQ(rig.m_view.Status(1), "Cannot send the firmware file.") << c.m_name;
        EXPECT_EQ(rig.m_spooler.m_writeLengths.size(), c.m_writes) << c.m_name;
        EXPECT_EQ(Driver().Count("end:"), 1) << c.m_name;
        EXPECT_EQ(Driver().Count("read:"), 0) << c.m_name;
        EXPECT_EQ(rig.m_files.m_openFiles + rig.m_files.m_openViews + rig.m_spooler.OpenHandles(),
                  0u)
            << c.m_name;
        EXPECT_EQ(rig.m_files.m_deleted, Texts{"thandler.dat"}) << c.m_name;
        EXPECT_EQ(rig.m_system.m_liveErrorTexts, 0u) << c.m_name;
    }
}

TEST_F(UpdateRunTest, NoStatusReplyReleasesEverythingAndTheFileOpensAgain) {
    NoReplyEver();
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{Text(111), "", ""}));
    EXPECT_EQ(Driver().m_calls.back(), "end:0");
    EXPECT_EQ(Dlg().m_replyHandled, 0);
    EXPECT_EQ(m_rig.m_view.m_cancelCaption, "Cancel");
    EXPECT_TRUE(HandlerFileDeleted());
    ExpectReleased();

    Driver().m_readCostMs = 0;
    Reply(SuccessFrame());
    Dlg().UpdateRun();
    EXPECT_EQ(Status()[1], Text(104));
    EXPECT_EQ(m_rig.m_files.m_deleted.size(), 2u);
    ExpectReleased();
}

TEST_F(UpdateRunTest, FailingReplyReadCountsAsNoReply) {
    Driver().m_replies.push_back({0, {}, std::nullopt, 1167});
    Dlg().UpdateRun();
    EXPECT_EQ(Status(), (Texts{Text(111), "", ""}));
    ExpectReleased();
}

TEST_F(UpdateRunTest, HandledReplyTurnsCancelIntoCloseBeforeTheJobEndsThenRepaints) {
    bool sawEnd = false;
    Driver().m_onCall = [&](const std::string& call) {
        if (call.rfind("end:", 0) != 0) {
            return;
        }
        sawEnd = true;
        EXPECT_EQ(m_rig.m_view.m_cancelCaption, "Close");
        EXPECT_EQ(m_rig.m_view.m_refreshCount, 0);
        EXPECT_EQ(m_rig.m_files.m_openViews, 1u);
        EXPECT_EQ(m_rig.m_spooler.OpenHandles(), 1u);
        EXPECT_TRUE(m_rig.m_files.m_deleted.empty());
    };
    Reply(SuccessFrame());
    Dlg().UpdateRun();
    EXPECT_TRUE(sawEnd);
    EXPECT_EQ(m_rig.m_view.m_refreshCount, 1);
    const Texts& log = m_rig.m_view.m_log;
    const auto caption = std::find(log.begin(), log.end(), "cancelCaption=Close");
    const auto refresh = std::find(log.begin(), log.end(), "refresh");
    EXPECT_LT(caption, refresh);
    EXPECT_EQ(FileCallsAfterOpen(), (Texts{"size", "mapping:4500", "view", "unmap", "closeMapping",
                                           "closeFile", "delete:thandler.dat"}));
    ExpectReleased();
}

TEST_F(UpdateRunTest, FailingEndDocumentIsPassedOverAtEveryExit) {
    Driver().m_endResults = {0, 0};
    Driver().m_endError = 6;
    Reply(SuccessFrame());
    EXPECT_NO_THROW(Dlg().UpdateRun());
    EXPECT_EQ(Driver().Count("end:"), 2);
    EXPECT_EQ(Status()[1], Text(104));
    EXPECT_TRUE(HandlerFileDeleted());
    // The library never ended the job; everything of ours is still released.
    EXPECT_EQ(m_rig.m_files.m_openFiles + m_rig.m_files.m_openViews, 0u);
    EXPECT_EQ(m_rig.m_spooler.OpenHandles(), 0u);
    EXPECT_EQ(m_rig.m_system.m_liveErrorTexts, 0u);

    Driver().m_openJobs = 0;
    Driver().m_endResults = {0, 0};
    m_rig.m_spooler.m_writeOutcomes[m_rig.m_spooler.m_writeLengths.size()] = {0, {}, 5};
    EXPECT_NO_THROW(Dlg().UpdateRun());
    EXPECT_EQ(Status()[0], Text(110));
    EXPECT_EQ(m_rig.m_files.m_deleted.size(), 2u);
    EXPECT_EQ(m_rig.m_spooler.OpenHandles(), 0u);
}

// ---- The Update click sequence ----

class UpdateClickTest : public UpdateRunTest {
protected:
    int Runs() const { return DriverRecorder().Count("start:"); }
    std::vector<std::string> OpenedFiles() const {
        Texts opened;
        for (const std::string& call : m_rig.m_files.m_calls) {
            if (call.rfind("open:", 0) == 0) {
                opened.push_back(call.substr(5));
            }
        }
        return opened;
    }
    int Waits() const { return m_rig.m_status.Count("size:P1:2"); }
};

TEST_F(UpdateClickTest, SingleStepWithAReplyMakesNoFinalWait) {
    Reply(SuccessFrame());
    Dlg().OnUpdateClicked();
    EXPECT_EQ(Waits(), 1);
    EXPECT_EQ(Runs(), 1);
    EXPECT_EQ(Status(), (Texts{"", Text(104), ""}));
    EXPECT_EQ(m_rig.m_view.m_history[1].front(), Text(109));
    EXPECT_EQ(m_rig.m_view.m_history[1][1], Text(120));
}

// Another program holds the workstation's update lock (or squats on its name): the click sends
// nothing, says so, and leaves "Update" ready for when the other update has finished.
TEST_F(UpdateClickTest, AClickWhileAnotherProgramHoldsTheLockSendsNothing) {
    m_rig.m_lock.m_state = ELockState::Taken;
    Reply(SuccessFrame());
    Dlg().OnUpdateClicked();
    EXPECT_EQ(m_rig.m_lock.m_tries, 1);
    EXPECT_EQ(Runs(), 0);
    EXPECT_EQ(m_rig.m_status.Count("resume:"), 0);
    EXPECT_TRUE(Dlg().m_clickOutcome.m_lockTaken);
    EXPECT_EQ(Status(), (Texts{Text(128), Text(129), ""}));
    EXPECT_TRUE(m_rig.m_view.m_updateEnabled);
    EXPECT_EQ(m_rig.m_view.m_waitCursorDepth, 0);
    EXPECT_EQ(ClickEvent(Dlg().m_clickOutcome).m_id, kEventUpdateNotStarted);
}

// A dialog left open does not hold back the deployment console: the lock is held from before a
// click's first run to the end of its last, and given back when the click ends. A click while
// the console holds it sends nothing; the next one after the console is done runs.
TEST_F(UpdateClickTest, ADialogLeftOpenReleasesTheLockBetweenClicks) {
    std::vector<bool> heldAtStart;
    DriverRecorder().m_onCall = [&](const std::string& call) {
        if (call.rfind("start:", 0) == 0) {
            heldAtStart.push_back(m_rig.m_lock.m_held);
        }
    };
    Dlg().m_twoStep = 1;
    Reply(SuccessFrame());
    Reply(SuccessFrame());
    Dlg().OnUpdateClicked();
    EXPECT_EQ(heldAtStart, (std::vector<bool>{true, true}));
    EXPECT_EQ(m_rig.m_lock.m_tries, 1);
    EXPECT_EQ(m_rig.m_lock.m_releases, 1);
    EXPECT_FALSE(m_rig.m_lock.m_held);

    m_rig.m_lock.m_state = ELockState::Taken; // the console updates another printer
    Dlg().OnUpdateClicked();
    EXPECT_EQ(Runs(), 2);
    EXPECT_EQ(Status(), (Texts{Text(128), Text(129), ""}));

    m_rig.m_lock.m_state = ELockState::Held; // and is done
    Reply(SuccessFrame());
    Dlg().OnUpdateClicked();
    EXPECT_EQ(Runs(), 3);
    EXPECT_EQ(m_rig.m_lock.m_releases, 2);
    EXPECT_FALSE(m_rig.m_lock.m_held);
    DriverRecorder().m_onCall = nullptr;
}

// The system's lock objects as the Win32 adapter would find them: one mutex per name, each with
// the process that made it.
struct CFakeLockSystem {
    ENamespaceAnswer m_namespace = ENamespaceAnswer::Open;
    std::map<bool, const void*> m_owners; // in the namespace or not: who holds the mutex
    std::vector<std::string> m_calls;
};

class CFakeLockObjects : public ILockObjects {
public:
    explicit CFakeLockObjects(CFakeLockSystem& system) : m_system(system) {}
    ENamespaceAnswer OpenNamespace(std::string* why) override {
        m_system.m_calls.push_back("namespace");
        if (m_system.m_namespace != ENamespaceAnswer::Open) {
            *why = "CreateBoundaryDescriptorW failed (error 120)";
        }
        return m_system.m_namespace;
    }
    EMutexAnswer CreateOwnedMutex(bool inNamespace) override {
        m_system.m_calls.push_back(inNamespace ? "mutex:namespace" : "mutex:global");
        if (m_system.m_owners.count(inNamespace) != 0) {
            return EMutexAnswer::Exists;
        }
        m_system.m_owners[inNamespace] = this;
        return EMutexAnswer::Owned;
    }
    void CloseAll() override {
        for (auto it = m_system.m_owners.begin(); it != m_system.m_owners.end();) {
            it = it->second == this ? m_system.m_owners.erase(it) : std::next(it);
        }
    }

private:
    CFakeLockSystem& m_system;
};

// The namespace first; the Global\ name only where the namespace cannot be made at all, and
// never for a process the namespace keeps out (an unelevated one), which goes on unlocked.
TEST(UpdateLockPathTest, NamespaceFirstAndTheGlobalNameOnlyWhereItCannotBeMade) {
    struct CCase {
        const char* m_name;
        ENamespaceAnswer m_namespace;
        bool m_otherHolds;     // another process holds the lock this one would take
        ELockState m_state;    // what this process gets
        Texts m_calls;         // what it asks the system
        bool m_fallbackReason; // it says why it took the Global\ name
    };
    const std::vector<CCase> cases = {
        {"namespace, free",
         ENamespaceAnswer::Open,
         false,
         ELockState::Held,
         {"namespace", "mutex:namespace"},
         false},
        {"namespace, held elsewhere",
         ENamespaceAnswer::Open,
         true,
         ELockState::Taken,
         {"namespace", "mutex:namespace"},
         false},
        {"unelevated: denied",
         ENamespaceAnswer::Denied,
         false,
         ELockState::Unavailable,
         {"namespace"},
         false},
        {"no namespaces (Wine)",
         ENamespaceAnswer::Unsupported,
         false,
         ELockState::Held,
         {"namespace", "mutex:global"},
         true},
        {"no namespaces, held elsewhere",
         ENamespaceAnswer::Unsupported,
         true,
         ELockState::Taken,
         {"namespace", "mutex:global"},
         true},
        {"namespace failing",
         ENamespaceAnswer::Failed,
         false,
         ELockState::Held,
         {"namespace", "mutex:global"},
         true},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_name);
        CFakeLockSystem system;
        system.m_namespace = c.m_namespace;
        CFakeLockObjects otherObjects(system);
        CUpdateLockPath other(otherObjects);
        if (c.m_otherHolds) {
            ASSERT_EQ(other.Acquire(), ELockState::Held);
        }
        system.m_calls.clear();
        CFakeLockObjects objects(system);
        CUpdateLockPath lock(objects);
        EXPECT_EQ(lock.Acquire(), c.m_state);
        EXPECT_EQ(system.m_calls, c.m_calls);
        EXPECT_EQ(!lock.FallbackReason().empty(), c.m_fallbackReason);
        // Once the holder gives it back, the other process gets it.
        if (c.m_otherHolds) {
            other.Release();
            EXPECT_EQ(lock.Acquire(), ELockState::Held);
        }
    }
}

// How a click ends for every way its run can end: a single-step click, and a two-step click
// whose first run ends so. The screen never ends saying work is going on, never hides a failure
// behind "Click Update", and a first step that sent nothing waits for no restart.
TEST(UpdateClickEndTest, EveryRunExitEndsTheClickSayingWhatHappened) {
    const std::string k107 = StringTable().at(107);
    const std::string k117 = StringTable().at(117);
    const std::string k105 = StringTable().at(105);
    const std::string k111 = StringTable().at(111);
    const std::string kSteps = "Step 1 of 2";
    const Bytes garbage{0x01, 0x02, 0x03};
    using Setup = std::function<void(CTestRig&, const std::string& file, bool twoStep)>;
    struct CCase {
        const char* m_name;
        Setup m_setup;
        ERunOutcome m_outcome;
        Texts m_single;       // lines 1-3 at the end of a single-step click
        Texts m_twoStep;      // ... of a two-step click whose first run ended so
        bool m_updateEnabled; // after the single-step click
    };
    const auto replies = [](std::initializer_list<Bytes> frames) {
        for (const Bytes& frame : frames) {
            DriverRecorder().m_replies.push_back({1, frame, std::nullopt, 0});
        }
    };
    const std::vector<CCase> cases = {
        {"library not loaded",
         [](CTestRig& rig, auto&, bool) { rig.Dlg().m_hLibrary = nullptr; },
         ERunOutcome::LibraryNotLoaded,
         {"DLL did not load", StringTable().at(118), ""},
         {"DLL did not load", StringTable().at(118), kSteps},
         true},
        {"entry point missing",
         [](CTestRig& rig, auto&, bool) {
             rig.m_loader.Release(rig.Dlg().m_hLibrary);
             AddDriverLibrary(rig.m_loader, EDriverExports::WithoutRead, "VIZUVUV.DLL");
             rig.Dlg().m_hLibrary = rig.m_loader.Load("VIZUVUV.DLL");
         },
         ERunOutcome::EntryPointMissing,
         {"A DODAVED function pointer failed to load", StringTable().at(118), ""},
         {"A DODAVED function pointer failed to load", StringTable().at(118), kSteps},
         true},
        // Single-step: ready at the check, busy for the run, ready again at the final wait,
        // which then simply hands the printer back.
        {"printer not ready",
         [](CTestRig& rig, auto&, bool twoStep) {
             std::deque<std::int32_t> states(twoStep ? 0 : 1, 0);
             states.insert(states.end(), 31, 1);
             states.push_back(0);
             rig.m_status.m_printers["P1"].m_pollingStates = states;
         },
         ERunOutcome::PrinterNotReady,
         {"", StringTable().at(120), ""},
         {k105, k117, kSteps},
         true},
        {"file not opened",
         [](CTestRig& rig, auto&, bool) { rig.m_files.m_openFails = true; },
         ERunOutcome::FileNotOpened,
         {"", k107, ""},
         {"", k107, kSteps},
         true},
        {"empty file",
         [](CTestRig& rig, const std::string& file, bool) {
             rig.m_files.m_files[file].m_bytes.clear();
         },
         ERunOutcome::EmptyFile,
         {" ", k107, " "},
         {" ", k107, kSteps},
         true},
        {"no mapping",
         [](CTestRig& rig, auto&, bool) { rig.m_files.m_mappingFails = true; },
         ERunOutcome::NoMapping,
         {"", k107, ""},
         {"", k107, kSteps},
         true},
        {"no view",
         [](CTestRig& rig, auto&, bool) { rig.m_files.m_viewFails = true; },
         ERunOutcome::NoView,
         {" ", "Could not map view of file.", " "},
         {" ", "Could not map view of file.", kSteps},
         true},
        {"checksum refused",
         [](CTestRig& rig, auto&, bool) {
             rig.Dlg().m_sha256.Assign(std::string(64, '0'));
             rig.Dlg().m_intermediateSha256.Assign(std::string(64, '0'));
         },
         ERunOutcome::FileRefused,
         {StringTable().at(126), StringTable().at(115), ""},
         {StringTable().at(126), StringTable().at(115), kSteps},
         true},
        {"job not started",
         [](CTestRig&, auto&, bool) { DriverRecorder().m_startResult = 0; },
         ERunOutcome::JobNotStarted,
         {" ", "Failed to Start Printing Job.", " "},
         {" ", "Failed to Start Printing Job.", kSteps},
         true},
        {"send failed",
         [](CTestRig& rig, auto&, bool) {
             rig.m_spooler.m_writeOutcomes[1] = {1, 0u, 0};
         },
         ERunOutcome::SendFailed,
         {StringTable().at(110), k117, ""},
         {StringTable().at(110), k117, kSteps},
         true},
        // The whole job went out: a two-step click goes on to the final firmware, as before.
        {"no status reply",
         [](CTestRig&, auto&, bool) { DriverRecorder().m_readCostMs = 1000; },
         ERunOutcome::NoStatusReply,
         {k111, "", ""},
         {k111, "", ""},
         true},
        {"success",
         [&](CTestRig&, auto&, bool) {
             replies({SuccessFrame(), SuccessFrame()});
         },
         ERunOutcome::ReplySuccess,
         {"", StringTable().at(104), ""},
         {"", StringTable().at(104), ""},
         false},
        {"error report",
         [&](CTestRig&, auto&, bool) {
             replies({ErrorFrame(), ErrorFrame()});
         },
         ERunOutcome::ReplyError,
         {k107, "", ""},
         {k107, "", ""},
         false},
        {"unreadable reply",
         [&](CTestRig&, auto&, bool) {
             replies({garbage, garbage});
         },
         ERunOutcome::ReplyUnreadable,
         {StringTable().at(127), k117, ""},
         {StringTable().at(127), k117, ""},
         false},
    };
    for (const CCase& c : cases) {
        for (const bool twoStep : {false, true}) {
            const std::string what = std::string(c.m_name) + (twoStep ? ", two-step" : "");
            CTestRig rig;
            PrepareForRun(rig);
            CfuuDlg& dlg = rig.Dlg();
            rig.m_status.m_printers["P1"].m_major = 3;
            rig.m_status.m_printers["P1"].m_minor = 2;
            dlg.m_fileName.Assign("final.bin");
            rig.m_files.m_files[kFinalPath].m_bytes.assign(4500, 0x5A);
            if (twoStep) {
                dlg.m_intermediateFileName.Assign("step1.bin");
                dlg.m_intermediateVersion.Assign("3.2");
                rig.m_files.m_files[kStepOnePath].m_bytes.assign(1999, 0xA5);
                dlg.m_twoStep = 1;
            }
            DriverRecorder().m_clock = &rig.m_clock;
            c.m_setup(rig, twoStep ? kStepOnePath : kFinalPath, twoStep);
            const std::uint32_t start = rig.m_clock.m_now;

            dlg.OnUpdateClicked();

            CFakeView& view = rig.m_view;
            const bool sentWhole = JobWentOut(c.m_outcome);
            EXPECT_EQ(dlg.m_clickOutcome.m_run, c.m_outcome) << what;
            EXPECT_EQ(dlg.m_clickOutcome.Updated(), c.m_outcome == ERunOutcome::ReplySuccess)
                << what;
            EXPECT_EQ(dlg.m_clickOutcome.Busy(), c.m_outcome == ERunOutcome::PrinterNotReady)
                << what;
            EXPECT_EQ((Texts{view.Status(1), view.Status(2), view.Status(3)}),
                      twoStep ? c.m_twoStep : c.m_single)
                << what;
            EXPECT_EQ(view.m_updateEnabled, twoStep && !sentWhole ? true : c.m_updateEnabled)
                << what;
            EXPECT_EQ(view.m_cancelCaption,
                      JobWentOut(c.m_outcome) && c.m_outcome != ERunOutcome::NoStatusReply
                          ? "Close"
                          : "Cancel")
                << what;
            EXPECT_EQ(view.m_waitCursorDepth, 0) << what;
            if (twoStep && !sentWhole) {
                // Nothing to restart on: no restart wait, no second run, step 1 again next time.
                EXPECT_EQ(DriverRecorder().Count("start:"),
                          c.m_outcome == ERunOutcome::JobNotStarted ||
                                  c.m_outcome == ERunOutcome::SendFailed
                              ? 1
                              : 0)
                    << what;
                EXPECT_EQ(rig.m_status.Count("size:P1:2"), 0) << what;
                EXPECT_EQ(dlg.m_twoStep, 1) << what;
                EXPECT_LT(rig.m_clock.m_now - start, 32000u) << what;
            }
        }
    }
}

TEST_F(UpdateClickTest, AfterAnEarlierReplyTheWaitShowsStepTwoAndNoFinalWaitFollows) {
    Dlg().m_replyHandled = 1;
    Dlg().m_fileName.Assign("absent.bin"); // nothing goes out
    Dlg().OnUpdateClicked();
    EXPECT_EQ(Waits(), 1);
    EXPECT_EQ(m_rig.m_view.m_history[2].front(), "Step 2 of 2");
    EXPECT_EQ(Status(), (Texts{" ", Text(107), " "}));
    EXPECT_TRUE(m_rig.m_view.m_updateEnabled); // ready for another try
}

TEST_F(UpdateClickTest, TwoStepSendsIntermediateThenFinalFirmware) {
    Dlg().m_twoStep = 1;
    Driver().m_jobIdAssigned = 33;
    Reply(SuccessFrame());
    Reply(SuccessFrame());
    Dlg().OnUpdateClicked();
    EXPECT_EQ(OpenedFiles(), (Texts{kStepOnePath, kFinalPath}));
    EXPECT_EQ(Writes(), (std::vector<std::uint32_t>{24, 1999, 24, 2000, 2000, 500}));
    EXPECT_EQ(Driver().m_endJobIds, (std::vector<std::uint32_t>{33, 0}));
    EXPECT_EQ(Waits(), 1);
    EXPECT_EQ(Dlg().m_twoStep, 0);
    EXPECT_EQ(m_rig.m_view.m_history[2], (Texts{"Step 1 of 2", "Step 2 of 2", "", ""}));
    EXPECT_EQ(Status(), (Texts{"", Text(104), ""}));
}

TEST_F(UpdateClickTest, SecondRunThatSendsNothingEndsOnItsFailureNotOnUpdating) {
    Dlg().m_twoStep = 1;
    Reply(SuccessFrame());
    m_rig.m_files.m_files[kFinalPath].m_locked = true;
    Dlg().OnUpdateClicked();
    EXPECT_EQ(Runs(), 1);
    EXPECT_EQ(Status(), (Texts{"", Text(107), "Step 2 of 2"}));
    EXPECT_EQ(Dlg().m_clickOutcome.m_run, ERunOutcome::FileNotOpened);
    EXPECT_EQ(Dlg().m_clickOutcome.m_step, EUpdateStep::Final);
    EXPECT_FALSE(Dlg().m_clickOutcome.Busy());
    EXPECT_TRUE(m_rig.m_view.m_updateEnabled); // the final step can be tried again
}

TEST_F(UpdateClickTest, NotRespondingWaitBetweenStepsSendsTheIntermediateFirmwareAgain) {
    Dlg().m_twoStep = 1;
    // Ready for the first run, polling through the whole wait between, ready again after it.
    std::deque<std::int32_t> states{0};
    states.insert(states.end(), 31, 1);
    states.push_back(0);
    m_rig.m_status.m_printers["P1"].m_pollingStates = states;
    Reply(SuccessFrame());
    Reply(SuccessFrame());

    Dlg().OnUpdateClicked();

    EXPECT_EQ(OpenedFiles(), (Texts{kStepOnePath, kStepOnePath}));
    EXPECT_EQ(Writes(), (std::vector<std::uint32_t>{24, 1999, 24, 1999}));
    EXPECT_EQ(Dlg().m_twoStep, 1);
    EXPECT_EQ(Waits(), 1); // a reply was handled, so no final wait
    EXPECT_NE(
        std::find(m_rig.m_view.m_history[0].begin(), m_rig.m_view.m_history[0].end(), Text(105)),
        m_rig.m_view.m_history[0].end());
    // No restart wait follows the second reply, so nothing may still say work is going on.
    EXPECT_EQ(Status(), (Texts{"", "", "Step 1 of 2"}));
}

TEST_F(UpdateClickTest, IntermediateVersionNeverReportedEndsTheClickOnTheBoundedWait) {
    // After the first step the printer stays at 3.1: it never reports the intermediate 3.2.
    for (const bool answered : {true, false}) {
        const char* what = answered ? "first step answered" : "no reply at all";
        CTestRig rig;
        PrepareForRun(rig);
        CfuuDlg& dlg = rig.Dlg();
        rig.m_status.m_printers["P1"].m_minor = 1;
        dlg.m_fileName.Assign("final.bin");
        dlg.m_intermediateFileName.Assign("step1.bin");
        dlg.m_intermediateVersion.Assign("3.2");
        dlg.m_twoStep = 1;
        rig.m_files.m_files[kFinalPath].m_bytes.assign(4500, 0x5A);
        rig.m_files.m_files[kStepOnePath].m_bytes.assign(1999, 0xA5);
        Driver().m_clock = &rig.m_clock;
        if (answered) {
            Reply(SuccessFrame());
            Reply(SuccessFrame());
        } else {
            NoReplyEver();
        }
        const std::uint32_t start = rig.m_clock.m_now;

        dlg.OnUpdateClicked();

        // The wait's verdict is what the click ends on: nothing is sent again, nothing more
        // is awaited, and "Update" is left for another attempt at the first step.
        CFakeView& view = rig.m_view;
        EXPECT_EQ(DriverRecorder().Count("start:"), 1) << what;
        EXPECT_EQ(rig.m_status.Count("size:P1:2"), 1) << what;
        EXPECT_EQ(view.Status(1), Text(105)) << what;
        EXPECT_EQ(view.Status(2), Text(117)) << what;
        EXPECT_EQ(view.Status(3), answered ? "Step 1 of 2" : "") << what;
        EXPECT_EQ(view.m_cancelCaption, "Close") << what;
        EXPECT_TRUE(view.m_cancelEnabled) << what;
        EXPECT_TRUE(view.m_updateEnabled) << what;
        EXPECT_EQ(view.m_waitCursorDepth, 0) << what;
        EXPECT_EQ(dlg.m_twoStep, 1) << what;
        // At most one run (31 s of polling, 190 s for the reply), one bounded stage and one
        // polling wait.
        EXPECT_LE(rig.m_clock.m_now - start, 31000u + 190000u + 300000u + 31000u) << what;
    }
}

} // namespace
} // namespace sarnok::test
