// Building the printer list when the dialog opens.
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace sarnok::test {
namespace {

class DiscoveryTest : public ::testing::Test {
protected:
    CTestRig m_rig;
    CFakeView& View() { return m_rig.m_view; }
    CFakeSpooler& Spooler() { return m_rig.m_spooler; }
};

TEST_F(DiscoveryTest, KeepsMakerPrintersInSpoolerOrderWithPortsAfterSixBlanks) {
    Spooler().AddPrinter("P2", "USB002");
    Spooler().AddPrinter("Office laser", "LPT1:", "WinPrint");
    Spooler().AddPrinter("P1", "USB001", "VELMORA PRINT PROCESSOR");

    EXPECT_TRUE(m_rig.Dlg().OnInitDialog());

    EXPECT_EQ(View().m_entries, (std::vector<std::string>{"P2      USB002", "P1      USB001"}));
    EXPECT_EQ(m_rig.Dlg().m_printerNames, (std::vector<std::string>{"P2", "P1"}));
    EXPECT_EQ(m_rig.Dlg().m_portNames, (std::vector<std::string>{"USB002", "USB001"}));
    EXPECT_EQ(View().Status(1), "");
    EXPECT_EQ(View().Status(2), "Select the printer to update or click \"Cancel\" to exit.");
    EXPECT_FALSE(View().m_updateEnabled);
    EXPECT_FALSE(View().m_firmwareFieldEnabled);
    EXPECT_TRUE(View().m_messageBoxes.empty());
    EXPECT_EQ(Spooler().OpenHandles(), 0u);
}

TEST_F(DiscoveryTest, PrintProcessorComparisonIgnoresCaseButNotBlanks) {
    Spooler().AddPrinter("lower", "USB001", "mox print processor");
    Spooler().AddPrinter("capitals", "USB002", "Velmora Print Processor");
    Spooler().AddPrinter("trailing blank", "USB003", "Mox Print Processor ");
    Spooler().AddPrinter("two blanks", "USB004", "Mox  Print Processor");
    Spooler().AddPrinter("no processor", "USB005", "");
    Spooler().AddPrinter("high bytes \xC4\xE9", "USB\xA0", "MOX PRINT PROCESSOR");

    EXPECT_TRUE(m_rig.Dlg().OnInitDialog());

    EXPECT_EQ(m_rig.Dlg().m_printerNames,
              (std::vector<std::string>{"lower", "capitals", "high bytes \xC4\xE9"}));
    EXPECT_EQ(View().m_entries.back(), "high bytes \xC4\xE9      USB\xA0");
}

TEST_F(DiscoveryTest, EnumerationTooLargeIsReportedWithoutRetry) {
    Spooler().m_enumerationFailure = EEnumeration::InsufficientBuffer;
    Spooler().m_enumerationError = 122;

    EXPECT_FALSE(m_rig.Dlg().OnInitDialog());

    EXPECT_EQ(View().Status(1), "Too many Card Printers installed.");
    EXPECT_EQ(View().Status(2), "Try removing some Card Printers and try again.");
    EXPECT_FALSE(View().m_updateEnabled);
    EXPECT_TRUE(View().m_entries.empty());
    EXPECT_EQ(std::count(Spooler().m_calls.begin(), Spooler().m_calls.end(), "enum"), 1);
}

TEST_F(DiscoveryTest, OtherEnumerationFailureLeavesLineOneEmpty) {
    Spooler().m_enumerationFailure = EEnumeration::Failed;
    Spooler().m_enumerationError = 1722;

    EXPECT_FALSE(m_rig.Dlg().OnInitDialog());

    EXPECT_EQ(View().Status(1), "");
    EXPECT_EQ(View().Status(2), "Could not find any card printer drivers. ");
    EXPECT_TRUE(View().m_history[0].empty());
    EXPECT_FALSE(View().m_updateEnabled);
}

TEST_F(DiscoveryTest, NoPrintersOrNoneKeptAsksToVerifyTheDriver) {
    EXPECT_FALSE(m_rig.Dlg().OnInitDialog());
    EXPECT_EQ(View().Status(2), "Printer list is empty. Verify printer driver is installed.");

    CTestRig other;
    other.m_spooler.AddPrinter("Office", "LPT1:", "WinPrint");
    EXPECT_FALSE(other.Dlg().OnInitDialog());
    EXPECT_EQ(other.m_view.Status(2), "Printer list is empty. Verify printer driver is installed.");
    EXPECT_FALSE(other.m_view.m_updateEnabled);
    EXPECT_TRUE(other.m_view.m_messageBoxes.empty());
}

TEST_F(DiscoveryTest, UnopenablePrinterIsSkippedSilentlyAndFailedQueryAsksOncePerPrinter) {
    Spooler().AddPrinter("Gone", "USB001");
    Spooler().m_printers.back().m_openFails = true;
    Spooler().AddPrinter("Broken A", "USB002");
    Spooler().m_printers.back().m_queryFails = true;
    Spooler().AddPrinter("Broken B", "USB003");
    Spooler().m_printers.back().m_queryFails = true;
    Spooler().AddPrinter("Good", "USB004");

    EXPECT_TRUE(m_rig.Dlg().OnInitDialog());

    EXPECT_EQ(m_rig.Dlg().m_printerNames, (std::vector<std::string>{"Good"}));
    ASSERT_EQ(View().m_messageBoxes.size(), 2u);
    for (const auto& box : View().m_messageBoxes) {
        EXPECT_EQ(box.m_text, "GetPrinter call failed.");
        EXPECT_EQ(box.m_caption, "Error");
        EXPECT_EQ(box.m_buttons, EMessageButtons::Ok);
    }
    EXPECT_EQ(Spooler().OpenHandles(), 0u);
    EXPECT_EQ(m_rig.Dlg().m_hPrinter, nullptr);
    // Opened with the default access, not the job's.
    for (std::uint32_t access : Spooler().m_openAccess) {
        EXPECT_EQ(access, 0u);
    }
}

TEST_F(DiscoveryTest, HugePrinterAndPortNamesAreListedIntact) {
    const std::string name(5000, 'N');
    const std::string port(3000, '\xE4');
    Spooler().AddPrinter(name, port);

    EXPECT_TRUE(m_rig.Dlg().OnInitDialog());

    ASSERT_EQ(View().m_entries.size(), 1u);
    EXPECT_EQ(View().m_entries[0], name + "      " + port);
}

TEST_F(DiscoveryTest, AboutItemFollowsSeparatorOnlyWhenItHasText) {
    EXPECT_FALSE(m_rig.Dlg().OnInitDialog());
    EXPECT_EQ(View().m_systemMenu, (std::vector<std::string>{"-", "100:About Sarnok"}));
    EXPECT_EQ(View().m_iconsSet, 1);

    CTestRig empty;
    empty.m_view.m_textOverrides[101] = "";
    empty.Dlg().OnInitDialog();
    EXPECT_TRUE(empty.m_view.m_systemMenu.empty());

    CTestRig noMenu;
    noMenu.m_view.m_hasSystemMenu = false;
    noMenu.Dlg().OnInitDialog();
    EXPECT_TRUE(noMenu.m_view.m_systemMenu.empty());
}

TEST_F(DiscoveryTest, ResetsTwoStepAndReplyFlagsAndReleasesAHeldLibrary) {
    m_rig.m_loader.AddModule("DODAVED.DLL");
    m_rig.Dlg().m_hLibrary = m_rig.m_loader.Load("DODAVED.DLL");
    m_rig.Dlg().m_twoStep = 1;
    m_rig.Dlg().m_replyHandled = 1;
    Spooler().AddPrinter("P1", "USB001");

    EXPECT_TRUE(m_rig.Dlg().OnInitDialog());

    EXPECT_EQ(m_rig.Dlg().m_twoStep, 0);
    EXPECT_EQ(m_rig.Dlg().m_replyHandled, 0);
    EXPECT_EQ(m_rig.Dlg().m_hLibrary, nullptr);
    EXPECT_EQ(m_rig.m_loader.LoadedCount(), 0u);
}

} // namespace
} // namespace sarnok::test
