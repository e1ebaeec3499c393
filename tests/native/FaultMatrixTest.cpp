// Every way an update run can end, crossed with the kind of run it is: a single-step update,
// the first step of a two-step update and its second step. Each case checks the three status
// lines, the buttons, that nothing obtained is left open and whether "thandler.dat" went.
#include "fakes/FakeDriverLibrary.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace sarnok::test {
namespace {

using Texts = std::vector<std::string>;

constexpr const char* kFolder = "C:\\Tools\\Sarnok\\";

enum class EStep { OneStep, FirstStep, SecondStep };

// Line texts in the table: a literal, a string-table number, or what was there before.
constexpr const char* kPrior = "<prior>";     // as the line stood when the run began
constexpr const char* kUpdating = "<112>";    // line 1 as the run set it before the file
constexpr const char* kRunLine3 = "<line 3>"; // "Step 1 of 2" in a first step, else prior

struct CFault {
    const char* m_name;
    std::function<void(CTestRig&)> m_arrange;
    Texts m_lines;       // one-step and second step
    Texts m_firstStep;   // first step; empty: as m_lines
    bool m_deleted;      // "thandler.dat" deleted
    bool m_jobStarted;   // an end-document call is owed
    bool m_replyHandled; // the exit is [reply handled]
    bool m_endFails = false;
};

std::string Name(int id) {
    return "<" + std::to_string(id) + ">";
}

void WriteOutcome(CTestRig& rig, std::size_t write, int result) {
    rig.m_spooler.m_writeOutcomes[write] = {result, 0u, 31};
}

const std::vector<CFault>& Faults() {
    static const std::vector<CFault> faults = {
        {"NoDriverLibrary",
         [](CTestRig& rig) { rig.Dlg().m_hLibrary = nullptr; },
         {"DLL did not load", Name(118), kPrior},
         {},
         false,
         false,
         false},
        {"DriverEntryPointMissing",
         [](CTestRig& rig) {
             AddDriverLibrary(rig.m_loader, EDriverExports::WithoutRead, "PARTIAL.DLL");
             rig.Dlg().m_hLibrary = rig.m_loader.Load("PARTIAL.DLL");
         },
         {"A DODAVED function pointer failed to load", Name(118), kPrior},
         {},
         false,
         false,
         false},
        {"PrinterKeepsPolling",
         [](CTestRig& rig) { rig.m_status.m_printers["P1"].m_pollingStates = {1}; },
         {Name(105), Name(117), kPrior},
         {},
         false,
         false,
         false},
        {"FileNotOpened",
         [](CTestRig& rig) { rig.m_files.m_openFails = true; },
         {kUpdating, Name(107), kRunLine3},
         {},
         false,
         false,
         false},
        {"FileLockedElsewhere",
         [](CTestRig& rig) {
             for (auto& [path, file] : rig.m_files.m_files) {
                 file.m_locked = true;
             }
         },
         {kUpdating, Name(107), kRunLine3},
         {},
         false,
         false,
         false},
        {"EmptyFile",
         [](CTestRig& rig) {
             for (auto& [path, file] : rig.m_files.m_files) {
                 file.m_bytes.clear();
             }
         },
         {" ", Name(107), " "},
         {},
         true,
         false,
         false},
        {"NoMapping",
         [](CTestRig& rig) { rig.m_files.m_mappingFails = true; },
         {kUpdating, Name(107), kRunLine3},
         {},
         true,
         false,
         false},
        {"NoView",
         [](CTestRig& rig) { rig.m_files.m_viewFails = true; },
         {" ", "Could not map view of file.", " "},
         {},
         true,
         false,
         false},
        {"StartRaises",
         [](CTestRig&) {
             DriverRecorder().m_startResult = 0;
             DriverRecorder().m_startError = 5;
         },
         {" ", "Failed to Start Printing Job.", " "},
         {},
         true,
         false,
         false},
        {"PrinterDoesNotOpen",
         [](CTestRig& rig) { rig.m_spooler.m_jobOpenFails = true; },
         {" ", "Failed to Start Printing Job.", " "},
         {},
         true,
         false,
         false},
        {"HeaderWrittenAsZero",
         [](CTestRig& rig) { WriteOutcome(rig, 0, 1); },
         {Name(110), Name(117), kRunLine3},
         {},
         true,
         true,
         false},
        {"HeaderWriteRaises",
         [](CTestRig& rig) { WriteOutcome(rig, 0, 0); },
         {Name(110), Name(117), kRunLine3},
         {},
         true,
         true,
         false},
        {"ChunkWrittenAsZero",
         [](CTestRig& rig) { WriteOutcome(rig, 1, 1); },
         {Name(110), Name(117), kRunLine3},
         {},
         true,
         true,
         false},
        {"LastChunkRaises",
         [](CTestRig& rig) { WriteOutcome(rig, 2, 0); },
         {Name(110), Name(117), kRunLine3},
         {},
         true,
         true,
         false},
        {"FirstZeroLengthReadRaises",
         [](CTestRig& rig) {
             rig.m_spooler.m_readOutcomes[0] = {0, 0, 64};
         },
         {Name(110), Name(117), kRunLine3},
         {},
         true,
         true,
         false},
        {"SecondZeroLengthReadRaises",
         [](CTestRig& rig) {
             rig.m_spooler.m_readOutcomes[1] = {0, 0, 64};
         },
         {Name(110), Name(117), kRunLine3},
         {},
         true,
         true,
         false},
        {"NoReplyInTime",
         [](CTestRig&) { DriverRecorder().m_readCostMs = 1000; },
         {Name(111), "", ""},
         {},
         true,
         true,
         false},
        {"ReplyReadRaises",
         [](CTestRig&) {
             DriverRecorder().m_replies.push_back({0, {}, std::nullopt, 1167});
         },
         {Name(111), "", ""},
         {},
         true,
         true,
         false},
        {"SuccessReply",
         [](CTestRig&) {
             DriverRecorder().m_replies.push_back({1, SuccessFrame(), {}, 0});
         },
         {"", Name(104), ""},
         {kUpdating, Name(108), "Step 1 of 2"},
         true,
         true,
         true},
        {"ErrorReply",
         [](CTestRig&) {
             DriverRecorder().m_replies.push_back({1, ErrorFrame(), {}, 0});
         },
         {Name(107), "", ""},
         {kUpdating, "", ""},
         true,
         true,
         true},
        {"InvalidReply",
         [](CTestRig&) {
             auto frame = SuccessFrame();
             frame.back() ^= 1;
             DriverRecorder().m_replies.push_back({1, frame, {}, 0});
         },
         {"", Name(108), ""},
         {kUpdating, Name(108), "Step 1 of 2"},
         true,
         true,
         true},
        {"EndDocumentRaisesAfterTheReply",
         [](CTestRig&) {
             DriverRecorder().m_replies.push_back({1, SuccessFrame(), {}, 0});
             DriverRecorder().m_endResults = {0, 0};
             DriverRecorder().m_endError = 6;
         },
         {"", Name(104), ""},
         {kUpdating, Name(108), "Step 1 of 2"},
         true,
         true,
         true,
         true},
        {"EndDocumentRaisesAfterAFailedSend",
         [](CTestRig& rig) {
             WriteOutcome(rig, 1, 0);
             DriverRecorder().m_endResults = {0, 0};
         },
         {Name(110), Name(117), kRunLine3},
         {},
         true,
         true,
         false,
         true},
    };
    return faults;
}

using CParam = std::tuple<std::size_t, EStep>;

class FaultMatrixTest : public ::testing::TestWithParam<CParam> {
protected:
    void SetUp() override {
        ResetDriverRecorder();
        AddDriverLibrary(m_rig.m_loader);
        CfuuDlg& dlg = m_rig.Dlg();
        dlg.m_hLibrary = m_rig.m_loader.Load("DODAVED.DLL");
        dlg.m_printerName.Assign("P1");
        m_rig.m_status.m_printers["P1"];
        dlg.m_fileName.Assign("final.bin");
        dlg.m_intermediateFileName.Assign("step1.bin");
        dlg.m_intermediateVersion.Assign("3.2");
        m_rig.m_files.m_files[std::string(kFolder) + "final.bin"].m_bytes.assign(4500, 0x5A);
        m_rig.m_files.m_files[std::string(kFolder) + "step1.bin"].m_bytes.assign(2500, 0xA5);
        DriverRecorder().m_clock = &m_rig.m_clock;
    }

    CTestRig m_rig;
};

TEST_P(FaultMatrixTest, ExitShowsItsLinesAndReleasesEverything) {
    const CFault& fault = Faults()[std::get<0>(GetParam())];
    const EStep step = std::get<1>(GetParam());
    CfuuDlg& dlg = m_rig.Dlg();
    CFakeView& view = m_rig.m_view;
    // The lines as the restart wait before the run leaves them.
    const Texts prior = {"", step == EStep::OneStep ? StringTable().at(120) : "",
                         step == EStep::SecondStep ? "Step 2 of 2" : ""};
    for (int line = 1; line <= 3; ++line) {
        view.SetStatusText(line, prior[line - 1]);
    }
    dlg.m_twoStep = step == EStep::FirstStep ? 1 : 0;
    dlg.m_replyHandled = step == EStep::SecondStep ? 1 : 0;
    dlg.m_errorReply = 0;
    fault.m_arrange(m_rig);

    dlg.UpdateRun();

    const Texts& lines =
        step == EStep::FirstStep && !fault.m_firstStep.empty() ? fault.m_firstStep : fault.m_lines;
    for (int line = 1; line <= 3; ++line) {
        std::string expected = lines[line - 1];
        if (expected == kPrior) {
            expected = prior[line - 1];
        } else if (expected == kRunLine3) {
            expected = step == EStep::FirstStep ? "Step 1 of 2" : prior[2];
        } else if (expected.size() == 5 && expected.front() == '<') {
            expected = StringTable().at(std::stoi(expected.substr(1, 3)));
        }
        EXPECT_EQ(view.Status(line), expected) << "line " << line;
    }

    // Buttons: "Update" stays disabled; "Close" only once a reply was handled.
    EXPECT_FALSE(view.m_updateEnabled);
    EXPECT_TRUE(view.m_cancelEnabled);
    EXPECT_EQ(view.m_cancelCaption, fault.m_replyHandled ? "Close" : "Cancel");
    EXPECT_EQ(dlg.m_replyHandled, fault.m_replyHandled || step == EStep::SecondStep ? 1 : 0);
    EXPECT_EQ(dlg.m_twoStep, step == EStep::FirstStep ? 1 : 0);

    // Nothing obtained is left behind.
    EXPECT_EQ(m_rig.m_files.m_openFiles, 0u);
    EXPECT_EQ(m_rig.m_files.m_openMappings, 0u);
    EXPECT_EQ(m_rig.m_files.m_openViews, 0u);
    EXPECT_EQ(m_rig.m_spooler.OpenHandles(), 0u);
    EXPECT_EQ(m_rig.m_system.m_liveTaskBlocks, 0u);
    EXPECT_EQ(m_rig.m_system.m_liveErrorTexts, 0u);
    EXPECT_EQ(view.m_waitCursorDepth, 0);
    EXPECT_FALSE(m_rig.m_system.m_awake);
    const bool endFails = fault.m_endFails;
    EXPECT_EQ(DriverRecorder().Count("end:"), fault.m_jobStarted ? (endFails ? 2 : 1) : 0);
    EXPECT_EQ(DriverRecorder().m_openJobs, endFails ? 1 : 0);
    EXPECT_EQ(m_rig.m_files.m_deleted, fault.m_deleted ? Texts{"thandler.dat"} : Texts{});
    EXPECT_TRUE(view.m_messageBoxes.empty());
}

std::string CaseName(const ::testing::TestParamInfo<CParam>& param) {
    static const char* const kSteps[] = {"OneStep", "FirstStep", "SecondStep"};
    return std::string(Faults()[std::get<0>(param.param)].m_name) + "_" +
           kSteps[static_cast<int>(std::get<1>(param.param))];
}

INSTANTIATE_TEST_SUITE_P(AllExits, FaultMatrixTest,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Faults().size()),
                                            ::testing::Values(EStep::OneStep, EStep::FirstStep,
                                                              EStep::SecondStep)),
                         CaseName);

} // namespace
} // namespace sarnok::test
