// Waiting for a printer to come back: the intermediate version, then settled polling.
#include "fakes/ExpectedTexts.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sarnok::test {
namespace {

class RestartWaitTest : public ::testing::Test {
protected:
    RestartWaitTest() {
        Printer().m_major = 18;
        Printer().m_minor = 2;
        Dlg().m_printerName.Assign("P1");
        Dlg().m_intermediateVersion.Assign("19.5");
    }
    CfuuDlg& Dlg() { return m_rig.Dlg(); }
    CFakeView& View() { return m_rig.m_view; }
    CFakeStatusLibrary& Status() { return m_rig.m_status; }
    CFakeStatusLibrary::CPrinter& Printer() { return m_rig.m_status.m_printers["P1"]; }
    // The printer reports 19.5 from fetch number `pass` on (1-based).
    void ReachIntermediateAtFetch(int pass) {
        Status().m_beforeFirmwareFetch = [this, pass](CFakeStatusLibrary::CPrinter& printer) {
            if (++m_fetches >= pass) {
                printer.m_major = 19;
                printer.m_minor = 5;
            }
        };
    }
    void ExpectNotResponding() {
        EXPECT_EQ(View().Status(1), kNotResponding);
        EXPECT_EQ(View().Status(2), kCheckPrinter);
        EXPECT_EQ(View().m_cancelCaption, "Close");
        EXPECT_TRUE(View().m_cancelEnabled);
        EXPECT_TRUE(View().m_updateEnabled);
        EXPECT_EQ(View().m_waitCursorDepth, 0);
    }

    CTestRig m_rig;
    int m_fetches = 0;
};

// ---- Stage 1 ----

TEST_F(RestartWaitTest, OneStepMakesOnePassWithoutResumeOrSleep) {
    View().m_cancelEnabled = false;

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("size:P1:2"), 1);
    EXPECT_EQ(Status().Count("fetch:P1:2"), 1);
    EXPECT_EQ(Status().Count("resume:P1:1"), 1); // the polling wait's only
    EXPECT_EQ(m_rig.m_clock.m_sleeps, (std::vector<std::uint32_t>{1000}));
    EXPECT_EQ(View().Status(1), "");
    EXPECT_EQ(View().Status(2), kClickUpdate);
    EXPECT_EQ(View().m_history[1], (std::vector<std::string>{kConnecting, kClickUpdate}));
    EXPECT_TRUE(View().m_updateEnabled);
    EXPECT_FALSE(View().m_cancelEnabled); // only a printer that fails to answer changes Cancel
    EXPECT_EQ(View().m_cancelCaption, "Cancel");
    EXPECT_EQ(View().m_maxWaitCursorDepth, 1);
    EXPECT_EQ(View().m_waitCursorDepth, 0);
    // The wait keeps its numbers to itself.
    EXPECT_EQ(Dlg().m_fwMajor, 0);
    EXPECT_TRUE(Dlg().m_fwVersion.empty());
}

TEST_F(RestartWaitTest, TwoStepPassesUntilTheIntermediateVersionThenShowsStepTwo) {
    Dlg().m_twoStep = 1;
    ReachIntermediateAtFetch(4);

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("size:P1:2"), 1);
    EXPECT_EQ(Status().Count("fetch:P1:2"), 4);
    EXPECT_EQ(Status().Count("resume:P1:1"), 4 + 1);
    EXPECT_EQ(m_rig.m_clock.m_slept, 4000u + 1000u);
    EXPECT_EQ(View().Status(1), "");
    EXPECT_EQ(View().Status(2), "");
    EXPECT_EQ(View().Status(3), "Step 2 of 2");
    EXPECT_FALSE(View().m_updateEnabled);
    EXPECT_EQ(Dlg().m_twoStep, 0);
    EXPECT_EQ(View().m_waitCursorDepth, 0);
}

TEST_F(RestartWaitTest, FailedFetchKeepsEarlierNumbersAndSizeIsNotAskedAgain) {
    Dlg().m_twoStep = 1;
    Status().m_beforeFirmwareFetch = [this](CFakeStatusLibrary::CPrinter& printer) {
        ++m_fetches;
        // Second fetch fails; the third reports the intermediate version.
        printer.m_firmwareFetchFails = m_fetches == 2;
        if (m_fetches >= 3) {
            printer.m_major = 19;
            printer.m_minor = 5;
        }
    };

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("size:"), 1);
    EXPECT_EQ(Status().Count("fetch:"), 3);
    EXPECT_EQ(View().Status(3), "Step 2 of 2");
}

TEST_F(RestartWaitTest, FailedFirstFetchIsNotTheIntermediateVersion) {
    // Nothing known yet must not pass for version 0.0.
    Dlg().m_twoStep = 1;
    Dlg().m_intermediateVersion.Assign("0.0");
    Printer().m_major = 0;
    Printer().m_minor = 0;
    Status().m_beforeFirmwareFetch = [this](CFakeStatusLibrary::CPrinter& printer) {
        printer.m_firmwareFetchFails = ++m_fetches == 1;
    };

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("fetch:"), 2);
    EXPECT_EQ(View().Status(3), "Step 2 of 2");
}

TEST_F(RestartWaitTest, SizeZeroEndsStageOneAtOnceEvenInATwoStepUpdate) {
    Dlg().m_twoStep = 1;
    Printer().m_firmwareSize = 0;

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("size:"), 1);
    EXPECT_EQ(Status().Count("fetch:"), 1);
    EXPECT_EQ(Status().Count("resume:"), 1); // polling wait only
    EXPECT_EQ(View().Status(3), "Step 2 of 2");
    EXPECT_EQ(Dlg().m_twoStep, 0);
}

TEST_F(RestartWaitTest, VersionsCompareAsExactTexts) {
    for (const char* written : {"19.05", "19.5 ", " 19.5"}) {
        CTestRig rig;
        rig.m_status.m_printers["P1"].m_major = 19;
        rig.m_status.m_printers["P1"].m_minor = 5;
        rig.Dlg().m_printerName.Assign("P1");
        rig.Dlg().m_intermediateVersion.Assign(written);
        rig.Dlg().m_twoStep = 1;

        rig.Dlg().RestartWait();

        EXPECT_EQ(rig.m_status.Count("fetch:"), 300) << written;
        EXPECT_EQ(rig.m_view.Status(1), kNotResponding) << written;
    }
}

TEST_F(RestartWaitTest, NumbersOutsideTheShortFieldsCompareInFull) {
    Dlg().m_twoStep = 1;
    Dlg().m_intermediateVersion.Assign("1000.-100");
    Printer().m_major = 1000;
    Printer().m_minor = -100;

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("fetch:"), 1);
    EXPECT_EQ(View().Status(3), "Step 2 of 2");
}

// ---- The 300 s bound on stage 1 ----

TEST_F(RestartWaitTest, StageOneGivesUpAfterThreeHundredSecondsAndEndsNotResponding) {
    Dlg().m_twoStep = 1;
    View().m_status[2] = "Step 1 of 2";
    View().m_cancelEnabled = false;

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("size:"), 1);
    EXPECT_EQ(Status().Count("fetch:"), 300);
    // Stage 2 still ran: one pass, and the printer's polling had settled.
    EXPECT_EQ(Status().Count("state:"), 1);
    EXPECT_EQ(Status().Count("resume:"), 300 + 1);
    EXPECT_EQ(m_rig.m_clock.m_slept, 300000u + 1000u);
    ExpectNotResponding();
    EXPECT_EQ(View().Status(3), "Step 1 of 2");
    EXPECT_EQ(Dlg().m_twoStep, 1);
}

TEST_F(RestartWaitTest, IntermediateVersionOnTheLastPassBeforeTheBoundStillCounts) {
    Dlg().m_twoStep = 1;
    ReachIntermediateAtFetch(300);

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("fetch:"), 300);
    EXPECT_EQ(View().Status(3), "Step 2 of 2");
    EXPECT_EQ(Dlg().m_twoStep, 0);
}

TEST_F(RestartWaitTest, BoundHoldsAcrossATickCountWrap) {
    Dlg().m_twoStep = 1;
    m_rig.m_clock.m_now = 0xFFFFFFFFu - 120000u;

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("fetch:"), 300);
    ExpectNotResponding();
}

TEST_F(RestartWaitTest, SlowStatusCallsShortenTheBoundInPassesNotInTime) {
    Dlg().m_twoStep = 1;
    m_rig.m_clock.m_tickCost = 1000; // every tick read costs a second

    Dlg().RestartWait();

    // Each pass costs its sleep plus one tick read: 2 s, so 150 passes reach 300 s.
    EXPECT_EQ(Status().Count("fetch:"), 150);
    ExpectNotResponding();
}

// ---- Stage 2, the polling wait ----

TEST_F(RestartWaitTest, PrinterStillPollingAfterThirtySecondsIsNotResponding) {
    Printer().m_pollingStates = {1};

    Dlg().RestartWait();

    // Passes start at 0, 1, ..., 30 s: the one that starts at 30 s still sleeps and reads.
    EXPECT_EQ(Status().Count("state:"), 31);
    EXPECT_EQ(Status().Count("resume:"), 31);
    EXPECT_EQ(m_rig.m_clock.m_slept, 31000u);
    ExpectNotResponding();
    EXPECT_EQ(View().m_history[1].front(), kConnecting);
}

TEST_F(RestartWaitTest, NotRespondingKeepsTwoStepAndStatusLineThree) {
    Dlg().m_twoStep = 1;
    ReachIntermediateAtFetch(1);
    Printer().m_pollingStates = {1};
    View().m_status[2] = "kept";

    Dlg().RestartWait();

    ExpectNotResponding();
    EXPECT_EQ(View().Status(3), "kept");
    EXPECT_EQ(Dlg().m_twoStep, 1);
}

TEST_F(RestartWaitTest, PollingThatSettlesLateEndsReady) {
    Printer().m_pollingStates = {1, 1, 1, 0};

    Dlg().RestartWait();

    EXPECT_EQ(Status().Count("state:"), 4);
    EXPECT_EQ(View().Status(2), kClickUpdate);
}

TEST_F(RestartWaitTest, PollingWaitCountsPassesAcrossATickCountWrap) {
    Printer().m_pollingStates = {1};
    for (std::uint32_t start : {0xFFFFFFFFu, 0xFFFFFFFFu - 15500u, 0xFFFFFFFFu - 30000u}) {
        m_rig.m_clock.m_now = start;
        Status().m_calls.clear();

        EXPECT_EQ(Dlg().PollingWait(start), 1);

        EXPECT_EQ(Status().Count("state:"), 31) << start;
    }
}

TEST_F(RestartWaitTest, PollingWaitStartedLongAgoStillMakesOnePass) {
    m_rig.m_clock.m_now = 100000;
    Printer().m_pollingStates = {1};

    EXPECT_EQ(Dlg().PollingWait(40000), 1);

    EXPECT_EQ(Status().Count("state:"), 1);
    EXPECT_EQ(Status().Count("resume:P1:1"), 1);
}

// ---- Ready ----

TEST_F(RestartWaitTest, ReadyAfterAnInterpretedReplyShowsStepTwoAndDisablesUpdate) {
    Dlg().m_replyHandled = 1;

    Dlg().RestartWait();

    EXPECT_EQ(View().Status(2), "");
    EXPECT_EQ(View().Status(3), "Step 2 of 2");
    EXPECT_FALSE(View().m_updateEnabled);
}

TEST_F(RestartWaitTest, ReadyClearsWhatEarlierRunsLeftOnLinesOneAndTwo) {
    View().m_status[0] = kNotResponding;
    View().m_status[1] = kCheckPrinter;

    Dlg().RestartWait();

    EXPECT_EQ(View().Status(1), "");
    EXPECT_EQ(View().Status(2), kClickUpdate);
    // Update is enabled before stage 2 starts, then again after it.
    const auto& log = View().m_log;
    const auto connecting =
        std::find(log.begin(), log.end(), std::string("status2=") + kConnecting);
    ASSERT_NE(connecting, log.end());
    EXPECT_NE(std::find(log.begin(), connecting, "update=1"), connecting);
    EXPECT_EQ(std::count(connecting, log.end(), "update=1"), 1);
}

} // namespace
} // namespace sarnok::test
