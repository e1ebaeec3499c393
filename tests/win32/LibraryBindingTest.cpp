// Loading libraries and binding the driver-interface entry points against real DLLs: plain
// exports, decorated-only exports and an incomplete set.
#include "PlatformRig.h"
#include "printer/DriverInterface.h"
#include "printer/WinAPIException.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

namespace sarnok::test {
namespace {

bool IsLoaded(const char* module) {
    return ::GetModuleHandleA(module) != nullptr;
}

TEST(LibraryLoaderTest, LoadsLooksUpAndReleasesByName) {
    win32::CWin32LibraryLoader loader;
    ASSERT_FALSE(IsLoaded("ZevPlain.dll"));
    const ModuleHandle module = loader.Load("ZevPlain.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(IsLoaded("ZevPlain.dll"));
    EXPECT_NE(loader.Lookup(module, "ZevStartDocPrinter"), nullptr);
    EXPECT_NE(loader.Lookup(module, "ZevStartDocPrinter@20"), nullptr);
    EXPECT_NE(loader.Lookup(module, "ZevStartDocPrinter"),
              loader.Lookup(module, "ZevStartDocPrinter@20"));
    // Names are exact: no case folding, no decoration added or removed by the lookup.
    EXPECT_EQ(loader.Lookup(module, "zevstartdocprinter"), nullptr);
    EXPECT_EQ(loader.Lookup(module, "ZevReadPrinter@16"), nullptr);
    EXPECT_EQ(loader.Lookup(module, nullptr), nullptr);
    loader.Release(module);
    EXPECT_FALSE(IsLoaded("ZevPlain.dll"));
}

TEST(LibraryLoaderTest, MissingLibraryAndEmptyHandleFailQuietly) {
    win32::CWin32LibraryLoader loader;
    EXPECT_EQ(loader.Load("NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(loader.Load(nullptr), nullptr);
    EXPECT_EQ(loader.Lookup(nullptr, "ZevStartDocPrinter"), nullptr);
    loader.Release(nullptr);
}

class DriverBindingTest : public ::testing::Test {
protected:
    CPlatformRig m_rig;
    CfuuDlg& Dlg() { return m_rig.m_dlg; }
};

TEST_F(DriverBindingTest, PlainNamesAreTakenWhenBothSpellingsExist) {
    Dlg().m_hLibrary = m_rig.m_loader.Load("ZevPlain.dll");
    ASSERT_NE(Dlg().m_hLibrary, nullptr);

    EXPECT_EQ(Dlg().BindDriverInterface(Dlg().m_hLibrary), 1);

    EXPECT_NE(Dlg().m_hLibrary, nullptr);
    EXPECT_EQ(m_rig.m_view.Status(1), "");
    EXPECT_EQ(Dlg().StartDocument("Flash Update", nullptr, nullptr, 1), 101);
    EXPECT_EQ(Dlg().m_jobId, 101u);
}

TEST_F(DriverBindingTest, DecoratedOnlyLibraryBindsAndItsEntryPointsWork) {
    Dlg().m_hLibrary = m_rig.m_loader.Load("ZevDecorated.dll");
    ASSERT_NE(Dlg().m_hLibrary, nullptr);

    ASSERT_EQ(Dlg().BindDriverInterface(Dlg().m_hLibrary), 1);

    EXPECT_EQ(Dlg().StartDocument("Flash Update", nullptr, nullptr, 1), 202);
    EXPECT_EQ(Dlg().m_jobId, 202u);
    std::uint8_t reply[50] = {};
    EXPECT_EQ(Dlg().ReadReply(reply, sizeof reply), 2u);
    EXPECT_EQ(reply[0], 0xA5);
    EXPECT_EQ(reply[1], 0x5A);
    // The first step of a two-step update ends the job with the identifier it was given.
    Dlg().m_twoStep = 1;
    Dlg().m_jobId = 7;
    Dlg().EndDocument();
    EXPECT_EQ(Dlg().m_jobId, 1u);
}

TEST_F(DriverBindingTest, FailingEndDocumentRaisesWithTheLibrarysReason) {
    Dlg().m_hLibrary = m_rig.m_loader.Load("ZevPlain.dll");
    ASSERT_EQ(Dlg().BindDriverInterface(Dlg().m_hLibrary), 1);
    Dlg().m_twoStep = 0; // the identifier becomes 0, which this library refuses
    Dlg().m_jobId = 7;
    try {
        Dlg().EndDocument();
        FAIL() << "an end-document call that fails twice must raise";
    } catch (const CWinAPIException& error) {
        EXPECT_EQ(error.GetErrorCode(), static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(error.GetLanguage(), ::GetUserDefaultLangID());
    }
    EXPECT_EQ(Dlg().m_jobId, 0u);
}

TEST_F(DriverBindingTest, IncompleteLibraryIsReleasedAndItsHandleCleared) {
    Dlg().m_hLibrary = m_rig.m_loader.Load("ZevIncomplete.dll");
    ASSERT_NE(Dlg().m_hLibrary, nullptr);

    EXPECT_EQ(Dlg().BindDriverInterface(Dlg().m_hLibrary), 0);

    EXPECT_EQ(Dlg().m_hLibrary, nullptr);
    EXPECT_FALSE(IsLoaded("ZevIncomplete.dll"));
    EXPECT_EQ(m_rig.m_view.Status(1), "A DODAVED function pointer failed to load");
}

TEST_F(DriverBindingTest, EmptyHandleMakesNoLookup) {
    Dlg().m_hLibrary = nullptr;
    EXPECT_EQ(Dlg().BindDriverInterface(Dlg().m_hLibrary), 0);
    EXPECT_EQ(m_rig.m_view.Status(1), "DLL did not load");
}

// The program imports the status library when it loads; this test program does too, so it
// starts only when ORN_API.dll is found and its entry points resolve by their plain names.
TEST(StatusLibraryTest, StubLibraryKnowsNoPrinterAndIsNeverPolling) {
    ASSERT_TRUE(IsLoaded("ORN_API.dll"));
    win32::CWin32StatusLibrary library;
    std::uint32_t required = 12345;
    EXPECT_EQ(library.GetCardPrinterInfo("Card printer", 2, nullptr, 0, &required), 0);
    EXPECT_EQ(required, 0u);
    std::int32_t state = 7;
    library.GetCardPrinterPollingState("Card printer", &state);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(library.ResumePrinterPolling("Card printer", 1), 1);
}

} // namespace
} // namespace sarnok::test
