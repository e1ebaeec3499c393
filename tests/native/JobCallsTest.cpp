// The driver-interface binding and the flash job's spool calls.
#include "fakes/FakeDriverLibrary.h"
#include "printer/WinAPIException.h"

#include <gtest/gtest.h>

namespace sarnok::test {
namespace {

class JobCallsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDriverRecorder(); }

    // Loads the library as the selection step would and binds it.
    int LoadAndBind(EDriverExports exports) {
        AddDriverLibrary(m_rig.m_loader, exports);
        Dlg().m_hLibrary = m_rig.m_loader.Load("DODAVED.DLL");
        return Dlg().BindDriverInterface(Dlg().m_hLibrary);
    }
    // A bound library and an open printer, as the update run has them at the start of the job.
    void PrepareJob() {
        ASSERT_EQ(LoadAndBind(EDriverExports::Plain), 1);
        ASSERT_TRUE(m_rig.m_spooler.Open("P1", &Dlg().m_hPrinter, kPrinterAllAccess));
    }
    std::vector<std::string> Lookups() const {
        std::vector<std::string> lookups;
        for (const std::string& call : m_rig.m_loader.m_calls) {
            if (call.rfind("lookup:", 0) == 0) {
                lookups.push_back(call);
            }
        }
        return lookups;
    }
    CfuuDlg& Dlg() { return m_rig.Dlg(); }
    CFakeDriverRecorder& Driver() { return DriverRecorder(); }

    CTestRig m_rig;
};

// ---- Binding ----

TEST_F(JobCallsTest, PlainNamesAreLookedUpFirstAndBound) {
    EXPECT_EQ(LoadAndBind(EDriverExports::Plain), 1);
    EXPECT_EQ(Lookups(), (std::vector<std::string>{"lookup:DODAVED.DLL:ZevStartDocPrinter",
                                                   "lookup:DODAVED.DLL:ZevEndDocPrinter",
                                                   "lookup:DODAVED.DLL:ZevReadPrinter"}));
    EXPECT_NE(ZevStartDocPrinter, nullptr);
    EXPECT_NE(ZevEndDocPrinter, nullptr);
    EXPECT_NE(ZevReadPrinter, nullptr);
    EXPECT_NE(Dlg().m_hLibrary, nullptr);
    EXPECT_TRUE(m_rig.m_view.m_log.empty()); // a successful binding shows nothing
}

TEST_F(JobCallsTest, DecoratedNamesAreTriedAfterEachMissingPlainName) {
    EXPECT_EQ(LoadAndBind(EDriverExports::DecoratedOnly), 1);
    EXPECT_EQ(Lookups(), (std::vector<std::string>{"lookup:DODAVED.DLL:ZevStartDocPrinter",
                                                   "lookup:DODAVED.DLL:ZevStartDocPrinter@20",
                                                   "lookup:DODAVED.DLL:ZevEndDocPrinter",
                                                   "lookup:DODAVED.DLL:ZevEndDocPrinter@8",
                                                   "lookup:DODAVED.DLL:ZevReadPrinter",
                                                   "lookup:DODAVED.DLL:ZevReadPrinter@16"}));
    ASSERT_TRUE(m_rig.m_spooler.Open("P1", &Dlg().m_hPrinter, kPrinterAllAccess));
    Dlg().StartDocument("Flash Update", nullptr, nullptr, 1);
    EXPECT_EQ(Driver().m_calls, (std::vector<std::string>{"start:1:1"}));
}

TEST_F(JobCallsTest, LibraryWithBothFormsIsBoundByThePlainNames) {
    ASSERT_EQ(LoadAndBind(EDriverExports::Both), 1);
    EXPECT_EQ(Lookups().size(), 3u);
    ASSERT_TRUE(m_rig.m_spooler.Open("P1", &Dlg().m_hPrinter, kPrinterAllAccess));
    Dlg().StartDocument("Flash Update", nullptr, nullptr, 1);
    std::uint8_t buffer[50];
    Dlg().ReadReply(buffer, sizeof buffer);
    Dlg().EndDocument();
    EXPECT_EQ(Driver().m_calls, (std::vector<std::string>{"start:1:1", "read:50", "end:0"}));
}

TEST_F(JobCallsTest, MissingEntryPointReleasesTheLibraryAndClearsTheHandle) {
    EXPECT_EQ(LoadAndBind(EDriverExports::WithoutRead), 0);
    EXPECT_EQ(Dlg().m_hLibrary, nullptr);
    EXPECT_EQ(m_rig.m_loader.LoadedCount(), 0u);
    EXPECT_EQ(m_rig.m_loader.m_calls.back(), "release:DODAVED.DLL");
    EXPECT_EQ(m_rig.m_view.Status(1), "A DODAVED function pointer failed to load");
    // The end entry point was still found under its decorated name before the miss counted.
    EXPECT_EQ(Lookups().size(), 5u);
}

TEST_F(JobCallsTest, EmptyHandleMakesNoLookup) {
    AddDriverLibrary(m_rig.m_loader);
    EXPECT_EQ(Dlg().BindDriverInterface(Dlg().m_hLibrary), 0);
    EXPECT_EQ(m_rig.m_view.Status(1), "DLL did not load");
    EXPECT_TRUE(m_rig.m_loader.m_calls.empty());
}

// ---- Start, write, reads ----

TEST_F(JobCallsTest, StartDocumentPassesLevelOneRecordModeAndJobIdentifier) {
    PrepareJob();
    Driver().m_startResult = 7;
    Driver().m_jobIdAssigned = 31;
    EXPECT_EQ(Dlg().StartDocument("Flash Update", nullptr, nullptr, 1), 7);
    EXPECT_EQ(Driver().m_docName, "Flash Update");
    EXPECT_TRUE(Driver().m_outputFileNull);
    EXPECT_TRUE(Driver().m_dataTypeNull);
    EXPECT_EQ(Driver().m_printers.front(), Dlg().m_hPrinter);
    EXPECT_EQ(Dlg().m_jobId, 31u);
}

TEST_F(JobCallsTest, FailedCallsRaiseWithCodeLanguageAndSystemText) {
    PrepareJob();
    m_rig.m_system.m_language = 0x0407;
    Driver().m_startResult = 0;
    Driver().m_startError = 1804; // ERROR_INVALID_DATATYPE
    try {
        Dlg().StartDocument("Flash Update", nullptr, nullptr, 1);
        FAIL() << "no exception";
    } catch (const CWinAPIException& error) {
        EXPECT_EQ(error.GetErrorCode(), 1804u);
        EXPECT_EQ(error.GetLanguage(), 0x0407);
        EXPECT_STREQ(error.GetMessageText(), "System error 1804.\r\n");
    }
    EXPECT_EQ(m_rig.m_system.m_liveErrorTexts, 0u);

    m_rig.m_spooler.m_writeOutcomes[0] = {0, std::nullopt, 1722};
    try {
        Dlg().WriteJob("x", 1);
        FAIL() << "no exception";
    } catch (const CWinAPIException& error) {
        EXPECT_EQ(error.GetErrorCode(), 1722u);
    }

    Driver().m_replies.push_back({0, {}, std::nullopt, 1167});
    std::uint8_t buffer[50];
    try {
        Dlg().ReadReply(buffer, sizeof buffer);
        FAIL() << "no exception";
    } catch (const CWinAPIException& error) {
        EXPECT_EQ(error.GetErrorCode(), 1167u);
    }
    EXPECT_EQ(m_rig.m_system.m_liveErrorTexts, 0u);
}

TEST_F(JobCallsTest, WriteReturnsTheSpoolersCountEvenZeroWithoutRaising) {
    PrepareJob();
    m_rig.m_spooler.m_writeOutcomes[0] = {1, 0u, 0};
    m_rig.m_spooler.m_writeOutcomes[1] = {1, 17u, 0};
    const char data[40] = {};
    EXPECT_EQ(Dlg().WriteJob(data, 40), 0u);
    EXPECT_EQ(Dlg().WriteJob(data, 40), 17u);
    EXPECT_EQ(m_rig.m_spooler.m_writeSources[1], data);
}

TEST_F(JobCallsTest, ZeroLengthReadSucceedsOnResultOrCount) {
    PrepareJob();
    m_rig.m_spooler.m_readOutcomes[0] = {1, 0, 0};
    m_rig.m_spooler.m_readOutcomes[1] = {0, 3, 5};
    m_rig.m_spooler.m_readOutcomes[2] = {0, 0, 5};
    EXPECT_NO_THROW(Dlg().ReadZeroLength());
    EXPECT_NO_THROW(Dlg().ReadZeroLength());
    EXPECT_THROW(Dlg().ReadZeroLength(), CWinAPIException);
    EXPECT_EQ(m_rig.m_spooler.m_calls.back(), "read:0");
}

TEST_F(JobCallsTest, ReplyReadReturnsCountButNeverMoreThanTheCapacity) {
    PrepareJob();
    Driver().m_replies.push_back({1, {1, 2, 3}, std::nullopt, 0});
    Driver().m_replies.push_back({1, {1, 2}, 5000u, 0}); // a library that overstates
    Driver().m_replies.push_back({1, {}, std::nullopt, 0});
    std::uint8_t buffer[50];
    EXPECT_EQ(Dlg().ReadReply(buffer, sizeof buffer), 3u);
    EXPECT_EQ(Dlg().ReadReply(buffer, sizeof buffer), 50u);
    EXPECT_EQ(Dlg().ReadReply(buffer, sizeof buffer), 0u);
}

// ---- End ----

TEST_F(JobCallsTest, EndDocumentUsesIdentifierZeroUnlessInTheFirstStep) {
    PrepareJob();
    Driver().m_jobIdAssigned = 55;
    Dlg().StartDocument("Flash Update", nullptr, nullptr, 1);
    Dlg().EndDocument();
    EXPECT_EQ(Dlg().m_jobId, 1u);

    Dlg().m_twoStep = 1;
    Dlg().StartDocument("Flash Update", nullptr, nullptr, 1);
    Dlg().EndDocument();
    EXPECT_EQ(Dlg().m_jobId, 1u);
    EXPECT_EQ(Driver().m_endJobIds, (std::vector<std::uint32_t>{0, 55}));
    EXPECT_EQ(Driver().m_openJobs, 0);
}

TEST_F(JobCallsTest, FailedEndDocumentRepeatsOnceThenRaisesWithTheSecondError) {
    PrepareJob();
    Driver().m_jobIdAssigned = 9;
    Dlg().m_twoStep = 1;
    Dlg().StartDocument("Flash Update", nullptr, nullptr, 1);
    Driver().m_endResults = {0, 0, 1};
    Driver().m_endError = 87;
    try {
        Dlg().EndDocument();
        FAIL() << "no exception";
    } catch (const CWinAPIException& error) {
        EXPECT_EQ(error.GetErrorCode(), 87u);
    }
    EXPECT_EQ(Driver().m_endJobIds, (std::vector<std::uint32_t>{9, 9}));
    EXPECT_EQ(Dlg().m_jobId, 9u);

    // A failure that the repeat cures still raises: the repeat's result is not looked at.
    Driver().m_endResults = {0, 1};
    EXPECT_THROW(Dlg().EndDocument(), CWinAPIException);
    EXPECT_EQ(Driver().Count("end:"), 4);
}

TEST_F(JobCallsTest, CallsWithoutABindingRaiseInsteadOfCallingNothing) {
    std::uint8_t buffer[50];
    EXPECT_THROW(Dlg().StartDocument("Flash Update", nullptr, nullptr, 1), CWinAPIException);
    EXPECT_THROW(Dlg().ReadReply(buffer, sizeof buffer), CWinAPIException);
    EXPECT_THROW(Dlg().EndDocument(), CWinAPIException);
}

// ---- The exception itself ----

TEST(WinAPIExceptionTest, CopiesShareTheSystemTextUntilTheLastIsGone) {
    CFakeSystem system;
    {
        CWinAPIException first(5, system);
        {
            const CWinAPIException copy = first;
            EXPECT_EQ(copy.GetErrorCode(), 5u);
            EXPECT_STREQ(copy.GetMessageText(), first.GetMessageText());
            EXPECT_EQ(system.m_liveErrorTexts, 1u);
        }
        EXPECT_EQ(system.m_liveErrorTexts, 1u);
        EXPECT_STREQ(first.GetMessageText(), "System error 5.\r\n");
    }
    EXPECT_EQ(system.m_liveErrorTexts, 0u);
}

class NoTextSystem : public CFakeSystem {
public:
    CSystemText GetErrorText(std::uint32_t, std::uint16_t) override { return nullptr; }
};

TEST(WinAPIExceptionTest, MissingSystemTextReadsAsEmpty) {
    NoTextSystem system;
    const CWinAPIException error(317, system);
    EXPECT_STREQ(error.GetMessageText(), "");
    EXPECT_EQ(error.GetErrorCode(), 317u);
}

} // namespace
} // namespace sarnok::test
