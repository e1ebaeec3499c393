// Choosing a printer from the list: identification, libraries, rules, catalogue, readiness.
#include "fakes/ExpectedTexts.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace sarnok::test {
namespace {

// The legacy copy's entry point: always knows the model by its longer name.
int g_legacyCalls = 0;
std::uint32_t g_legacySize = 2 * sizeof(const char*);
int SARNOK_STDCALL LegacyInfo(const char* /*printerName*/, int infoType, void* buffer,
                              std::uint32_t bufferSize, std::uint32_t* requiredSize) {
    ++g_legacyCalls;
    *requiredSize = infoType == 1 ? g_legacySize : 0;
    if (buffer == nullptr || infoType != 1 || bufferSize < 2 * sizeof(const char*)) {
        return 0;
    }
    static const char* const record[2] = {"Lisander Series", "9.9.9"};
    std::memcpy(buffer, record, sizeof record);
    return 1;
}

class SelectionTest : public ::testing::Test {
protected:
    SelectionTest() {
        g_legacyCalls = 0;
        g_legacySize = 2 * sizeof(const char*);
        m_rig.m_spooler.AddPrinter("P1", "USB001");
        m_rig.m_spooler.AddPrinter("P2", "USB002");
        SetPrinter("P1", 19, 5, "Lisander", "5.2.0");
        SetPrinter("P2", 21, 4, "Dorrin", "5.2.0");
        // The worked example catalogue.
        Profile().Set("18.2", "IntermediateFileName", "fw_19_5.bin");
        Profile().Set("18.2", "IntermediateVersion", "19.5");
        Profile().Set("18.2", "Filename", "fw_21_6.bin");
        Profile().Set("18.2", "Version", "21.6");
        for (const char* section : {"19.5", "21.4", "21.6"}) {
            Profile().Set(section, "Filename", "fw_21_6.bin");
            Profile().Set(section, "Version", "21.6");
        }
        m_rig.m_loader.AddModule("DODAVED.DLL");
        m_rig.m_loader.AddModule("VIZUVUV.DLL");
        m_rig.m_loader.AddModule(
            "ORN_API.bak", {{"_GetCardPrinterInfoA@20", reinterpret_cast<FarProc>(&LegacyInfo)}});
        EXPECT_TRUE(Dlg().OnInitDialog());
    }
    void SetPrinter(const std::string& name, int major, int minor, const std::string& model,
                    const std::string& libVersion) {
        auto& printer = m_rig.m_status.m_printers[name];
        printer.m_major = major;
        printer.m_minor = minor;
        printer.m_model = model;
        printer.m_libVersion = libVersion;
    }
    void Select(int index) {
        View().m_selected = index;
        Dlg().OnPrinterSelected();
    }
    CfuuDlg& Dlg() { return m_rig.Dlg(); }
    CFakeView& View() { return m_rig.m_view; }
    CFakeProfile& Profile() { return m_rig.m_profile; }
    CFakeLoader& Loader() { return m_rig.m_loader; }
    CFakeStatusLibrary& Status() { return m_rig.m_status; }
    CFakeStatusLibrary::CPrinter& Printer(const std::string& name) {
        return m_rig.m_status.m_printers[name];
    }
    std::string Held() { return Loader().NameOf(Dlg().m_hLibrary); }
    void ExpectLines(const std::string& one, const std::string& two, const std::string& three) {
        EXPECT_EQ(View().Status(1), one);
        EXPECT_EQ(View().Status(2), two);
        EXPECT_EQ(View().Status(3), three);
    }
    bool CatalogueRead() const { return !m_rig.m_profile.m_paths.empty(); }

    CTestRig m_rig;
};

// ---- The three outcomes of the catalogue lookup ----

TEST_F(SelectionTest, OneStepEntryShowsTargetChecksThePrinterAndEnablesUpdate) {
    Select(0);

    EXPECT_EQ(Dlg().m_printerName, "P1");
    EXPECT_EQ(Dlg().m_fwMajor, 19);
    EXPECT_EQ(Dlg().m_fwMinor, 5);
    EXPECT_EQ(Dlg().m_fwVersion, "19.5");
    EXPECT_EQ(Dlg().m_model, "Lisander");
    EXPECT_EQ(Dlg().m_catalogueResult, 4);
    EXPECT_EQ(Dlg().m_fileName, "fw_21_6.bin");
    EXPECT_EQ(View().m_firmwareText, "21.6");
    ExpectLines("", kClickUpdate, "");
    EXPECT_TRUE(View().m_updateEnabled);
    EXPECT_EQ(Dlg().m_twoStep, 0);
    EXPECT_EQ(Dlg().m_noUpdatePossible, 0);
    EXPECT_EQ(Held(), "DODAVED.DLL");
    EXPECT_EQ(View().m_waitCursorDepth, 0);
    // Selection's own size query and fetch, then the wait's.
    EXPECT_EQ(Status().Count("size:P1:2"), 2);
    EXPECT_EQ(Status().Count("fetch:P1:2"), 2);
    EXPECT_EQ(Status().Count("size:P1:1"), 1);
    EXPECT_EQ(Status().Count("fetch:P1:1"), 1);
    EXPECT_EQ(Status().Count("resume:P1:1"), 1);
    EXPECT_TRUE(View().m_messageBoxes.empty());
}

TEST_F(SelectionTest, TwoStepEntryAnnouncesStepOneAfterTheWait) {
    SetPrinter("P1", 18, 2, "Lisander", "5.2.0");

    Select(0);

    EXPECT_EQ(Dlg().m_twoStep, 1);
    EXPECT_EQ(Dlg().m_intermediateFileName, "fw_19_5.bin");
    EXPECT_EQ(Dlg().m_intermediateVersion, "19.5");
    EXPECT_EQ(View().m_firmwareText, "21.6");
    ExpectLines(kStepOne, kClickUpdate, "");
    EXPECT_TRUE(View().m_updateEnabled);
    // The wait ran before m_twoStep was set: one pass, no stage-1 resume.
    EXPECT_EQ(Status().Count("fetch:P1:2"), 2);
    EXPECT_EQ(Status().Count("resume:"), 1);
}

TEST_F(SelectionTest, PrinterThatDoesNotAnswerIsReportedButUpdateIsEnabled) {
    SetPrinter("P1", 18, 2, "Lisander", "5.2.0");
    Printer("P1").m_pollingStates = {1};

    Select(0);

    ExpectLines(kStepOne, kCheckPrinter, "");
    EXPECT_EQ(View().m_cancelCaption, "Close");
    EXPECT_TRUE(View().m_cancelEnabled);
    EXPECT_TRUE(View().m_updateEnabled);
    EXPECT_EQ(Dlg().m_twoStep, 1);
    EXPECT_EQ(m_rig.m_clock.m_slept, 31000u);
    EXPECT_EQ(View().m_history[0], (std::vector<std::string>{kNotResponding, kStepOne}));
}

TEST_F(SelectionTest, AnsweringNoToTheSameVersionEmptiesTheFirmwareField) {
    Select(0);
    ASSERT_EQ(View().m_firmwareText, "21.6");
    SetPrinter("P2", 21, 6, "Dorrin", "5.2.0");

    Select(1);

    ASSERT_EQ(View().m_messageBoxes.size(), 1u);
    EXPECT_EQ(View().m_messageBoxes[0].m_caption, "Warning");
    EXPECT_EQ(Dlg().m_catalogueResult, 0);
    EXPECT_EQ(View().m_firmwareText, "");
    ExpectLines("", kSelectPrinter, "");
    EXPECT_FALSE(View().m_updateEnabled);
}

TEST_F(SelectionTest, AnsweringYesSendsTheSameVersionAgain) {
    SetPrinter("P1", 21, 6, "Dorrin", "5.2.0");
    View().m_answers = {EMessageAnswer::Yes};

    Select(0);

    EXPECT_EQ(Dlg().m_catalogueResult, 4);
    ExpectLines("", kClickUpdate, "");
    EXPECT_TRUE(View().m_updateEnabled);
}

TEST_F(SelectionTest, VersionWithoutEntryKeepsLookupTextsAndTheFirmwareField) {
    Select(0);
    SetPrinter("P2", 3, 1, "Dorrin", "5.2.0");

    Select(1);

    EXPECT_EQ(Dlg().m_catalogueResult, -1);
    ExpectLines(kNoMatch, kContact, "");
    EXPECT_EQ(View().m_firmwareText, "21.6");
    EXPECT_FALSE(View().m_updateEnabled);
    EXPECT_EQ(Dlg().m_fileName, "");
}

TEST_F(SelectionTest, CataloguePathThatCannotBeFormedEndsAsADeclinedLookup) {
    m_rig.m_system.m_executablePath = "Sarnok.exe";

    Select(0);

    EXPECT_EQ(Dlg().m_catalogueResult, 0);
    ExpectLines(kIncorrectData, kSelectPrinter, "");
    EXPECT_EQ(View().m_firmwareText, "");
    EXPECT_FALSE(View().m_updateEnabled);
}

// ---- Failures before the catalogue ----

TEST_F(SelectionTest, NoFirmwareRecordReportsNotRespondingAndStopsThere) {
    Select(0);
    Loader().m_calls.clear();
    Printer("P2").m_firmwareSize = 0;
    View().m_status[2] = "line three";

    Select(1);

    ExpectLines(kNotResponding, kCheckPrinter, "line three");
    EXPECT_FALSE(View().m_updateEnabled);
    EXPECT_EQ(View().m_firmwareText, "21.6"); // still the previous printer's target
    EXPECT_EQ(Status().Count("size:P2:1"), 0);
    EXPECT_EQ(Status().Count("fetch:P2:2"), 0);
    EXPECT_TRUE(Loader().m_calls.empty());
    EXPECT_EQ(Dlg().m_fwVersion, "19.5");
    EXPECT_EQ(View().m_cancelCaption, "Cancel");
}

TEST_F(SelectionTest, FailedFetchesKeepTheEarlierPrintersValuesAndGoOn) {
    Select(0);
    Printer("P2").m_firmwareFetchFails = true;
    Printer("P2").m_infoFetchFails = true;

    Select(1);

    // P2 is looked up under P1's numbers and model: nothing was reported.
    EXPECT_EQ(Dlg().m_printerName, "P2");
    EXPECT_EQ(Dlg().m_fwVersion, "19.5");
    EXPECT_EQ(Dlg().m_model, "Lisander");
    EXPECT_EQ(Dlg().m_catalogueResult, 4);
    ExpectLines("", kClickUpdate, "");
}

TEST_F(SelectionTest, NoModelRecordKeepsTheModelAndGoesOn) {
    Select(0);
    Printer("P2").m_infoMissing = true;
    Status().m_calls.clear();

    Select(1);

    EXPECT_EQ(Status().Count("size:P2:1"), 1);
    EXPECT_EQ(Status().Count("fetch:P2:1"), 0);
    EXPECT_EQ(Dlg().m_model, "Lisander");
    EXPECT_EQ(Dlg().m_fwVersion, "21.4");
    ExpectLines("", kClickUpdate, "");
}

TEST_F(SelectionTest, LatestFirmwareIsRefusedWithoutAskingTheCatalogue) {
    Select(0);
    SetPrinter("P2", 35, 31, "Dorrin", "5.2.0");
    View().m_status[0] = "line one";

    Select(1);

    EXPECT_EQ(Dlg().m_noUpdatePossible, 1);
    ExpectLines("line one", kLatest, "");
    EXPECT_EQ(View().m_firmwareText, "21.6");
    EXPECT_FALSE(View().m_updateEnabled);
    EXPECT_EQ(Profile().m_paths.size(), 6u); // only the first selection's lookup
    EXPECT_EQ(Held(), "DODAVED.DLL");        // the library is chosen before the rules
}

TEST_F(SelectionTest, Wow64LimitRefusesMajorsAboveFortyAndLeavesTheFlagClear) {
    m_rig.m_system.m_wow64 = true;
    SetPrinter("P1", 41, 0, "Gremmet Series", "5.2.0");
    Select(0);
    EXPECT_EQ(View().Status(2), kLatest);
    EXPECT_EQ(Dlg().m_noUpdatePossible, 0);
    EXPECT_FALSE(CatalogueRead());

    SetPrinter("P1", 40, 0, "Gremmet Series", "5.2.0");
    Select(0);
    EXPECT_TRUE(CatalogueRead());
    EXPECT_EQ(View().Status(1), kNoMatch);

    m_rig.m_system.m_wow64 = false;
    Profile().m_paths.clear();
    SetPrinter("P1", 45, 0, "Gremmet Series", "5.2.0");
    Select(0);
    EXPECT_TRUE(CatalogueRead());
}

TEST_F(SelectionTest, ExemptModelsPassTheTableAndOnlyBareHesketIsRefused) {
    for (const char* model : {"Hesket Series", "Palvo Series"}) {
        SetPrinter("P1", 34, 64, model, "5.2.0");
        Profile().m_paths.clear();
        Select(0);
        EXPECT_TRUE(CatalogueRead()) << model;
    }
    SetPrinter("P1", 34, 64, "Hesket", "5.2.0");
    Select(0);
    EXPECT_EQ(View().Status(2), kLatest);
}

TEST_F(SelectionTest, VersionTextNamesTheCatalogueSection) {
    Profile().Set("9.5", "Version", "9.7");
    SetPrinter("P1", 9, 5, "Dorrin", "5.2.0");
    Select(0);
    EXPECT_EQ(Dlg().m_fwVersion, "9.5");
    EXPECT_EQ(View().m_firmwareText, "9.7");

    Profile().Set("1234.-5", "Version", "1235.0");
    SetPrinter("P1", 1234, -5, "Dorrin", "5.2.0");
    Select(0);
    EXPECT_EQ(Dlg().m_fwVersion, "1234.-5");
    EXPECT_EQ(View().m_firmwareText, "1235.0");
    EXPECT_EQ(Profile().m_lookups.back(), "1234.-5/IntermediateSha256:260");
}

// ---- Which printer ----

TEST_F(SelectionTest, NoSelectionOrAPositionWithoutANameKeepsThePreviousPrinter) {
    Select(-1);
    // Before any selection the name is empty, and no library knows that printer.
    EXPECT_EQ(Dlg().m_printerName, "");
    ExpectLines(kNotResponding, kCheckPrinter, "");
    EXPECT_EQ(Status().Count("size::2"), 1);

    Select(1);
    EXPECT_EQ(Dlg().m_printerName, "P2");
    for (int index : {-1, 2, 99, -7}) {
        Select(index);
        EXPECT_EQ(Dlg().m_printerName, "P2") << index;
    }
    EXPECT_EQ(Status().Count("size:P2:2"), 2 * 5);
}

TEST_F(SelectionTest, OverlongNamesAndTextsAreCutToTheirMembers) {
    CTestRig rig;
    const std::string name(300, 'N');
    rig.m_spooler.AddPrinter(name, "USB001");
    auto& printer = rig.m_status.m_printers[name.substr(0, 259)];
    printer.m_major = 19;
    printer.m_minor = 5;
    printer.m_model = std::string(5000, 'M');
    printer.m_libVersion = "7.4.533" + std::string(200, ' ');
    rig.m_loader.AddModule("VIZUVUV.DLL");
    ASSERT_TRUE(rig.Dlg().OnInitDialog());
    rig.m_view.m_selected = 0;

    rig.Dlg().OnPrinterSelected();

    EXPECT_EQ(rig.Dlg().m_printerName.str(), name.substr(0, 259));
    EXPECT_EQ(rig.Dlg().m_model.str(), std::string(79, 'M'));
    // Cut first, then stripped: still the legacy version.
    EXPECT_EQ(rig.Dlg().m_libVersion, "7.4.533");
    EXPECT_EQ(rig.m_loader.NameOf(rig.Dlg().m_hLibrary), "VIZUVUV.DLL");
}

// ---- The legacy status library and the driver-interface library ----

TEST_F(SelectionTest, LegacyVersionReadsTheModelFromTheLegacyCopyAndPrefersItsDriver) {
    SetPrinter("P1", 19, 5, "Lisander", " 7.4.533\n");

    Select(0);

    EXPECT_EQ(Dlg().m_libVersion, "7.4.533");
    EXPECT_EQ(Dlg().m_model, "Lisander Series");
    EXPECT_EQ(g_legacyCalls, 2); // size query, then fetch
    EXPECT_EQ(
        Loader().m_calls,
        (std::vector<std::string>{"load:ORN_API.bak", "lookup:ORN_API.bak:_GetCardPrinterInfoA@20",
                                  "release:ORN_API.bak", "load:VIZUVUV.DLL"}));
    EXPECT_EQ(Held(), "VIZUVUV.DLL");
    EXPECT_EQ(Loader().LoadedCount(), 1u);
}

TEST_F(SelectionTest, LegacyModelNameDecidesTheRules) {
    // "Vantrel" at 33.36 would pass; the legacy copy's "Lisander Series" has the latest.
    SetPrinter("P1", 33, 36, "Vantrel", "7.4.533");
    Select(0);
    EXPECT_EQ(Dlg().m_model, "Lisander Series");
    EXPECT_EQ(View().Status(2), kLatest);
}

TEST_F(SelectionTest, LegacyCopyMissingOrWithoutEntryLeavesTheRegularModel) {
    CTestRig noCopy;
    noCopy.m_spooler.AddPrinter("P1", "USB001");
    auto& printer = noCopy.m_status.m_printers["P1"];
    printer.m_major = 19;
    printer.m_minor = 5;
    printer.m_model = "Dorrin";
    printer.m_libVersion = "7.4.533";
    noCopy.m_loader.AddModule("VIZUVUV.DLL");
    ASSERT_TRUE(noCopy.Dlg().OnInitDialog());
    noCopy.m_view.m_selected = 0;
    noCopy.Dlg().OnPrinterSelected();
    EXPECT_EQ(noCopy.Dlg().m_model, "Dorrin");
    EXPECT_EQ(noCopy.m_loader.m_calls,
              (std::vector<std::string>{"load:ORN_API.bak", "load:VIZUVUV.DLL"}));

    Loader().AddModule("ORN_API.bak"); // no entry point
    SetPrinter("P1", 19, 5, "Dorrin", "7.4.533");
    Select(0);
    EXPECT_EQ(Dlg().m_model, "Dorrin");
    EXPECT_EQ(g_legacyCalls, 0);
    EXPECT_EQ(
        Loader().m_calls,
        (std::vector<std::string>{"load:ORN_API.bak", "lookup:ORN_API.bak:_GetCardPrinterInfoA@20",
                                  "release:ORN_API.bak", "load:VIZUVUV.DLL"}));
}

TEST_F(SelectionTest, LegacyCopyWithoutModelRecordLeavesTheRegularModel) {
    g_legacySize = 0;
    SetPrinter("P1", 19, 5, "Dorrin", "7.4.533");
    Select(0);
    EXPECT_EQ(Dlg().m_model, "Dorrin");
    EXPECT_EQ(g_legacyCalls, 1); // the size query only
}

TEST_F(SelectionTest, LegacyVersionFallsBackToTheUsualDriverWhenItsOwnIsMissing) {
    CTestRig rig;
    rig.m_spooler.AddPrinter("P1", "USB001");
    rig.m_status.m_printers["P1"].m_libVersion = "7.4.533";
    rig.m_loader.AddModule("DODAVED.DLL");
    ASSERT_TRUE(rig.Dlg().OnInitDialog());
    rig.m_view.m_selected = 0;
    rig.Dlg().OnPrinterSelected();
    EXPECT_EQ(
        rig.m_loader.m_calls,
        (std::vector<std::string>{"load:ORN_API.bak", "load:VIZUVUV.DLL", "load:DODAVED.DLL"}));
    EXPECT_EQ(rig.m_loader.NameOf(rig.Dlg().m_hLibrary), "DODAVED.DLL");
}

TEST_F(SelectionTest, OnlyTheExactLegacyVersionCounts) {
    for (const char* version : {"7.4.5331", "7.4.53", "V7.4.533", "7.4.533\xA0"}) {
        CTestRig rig;
        rig.m_spooler.AddPrinter("P1", "USB001");
        rig.m_status.m_printers["P1"].m_libVersion = version;
        rig.m_loader.AddModule("DODAVED.DLL");
        rig.m_loader.AddModule("VIZUVUV.DLL");
        ASSERT_TRUE(rig.Dlg().OnInitDialog());
        rig.m_view.m_selected = 0;
        rig.Dlg().OnPrinterSelected();
        EXPECT_EQ(rig.m_loader.m_calls, (std::vector<std::string>{"load:DODAVED.DLL"})) << version;
    }
}

TEST_F(SelectionTest, DriverLibraryFromAnEarlierSelectionIsKept) {
    Select(0);
    ASSERT_EQ(Held(), "DODAVED.DLL");
    const ModuleHandle first = Dlg().m_hLibrary;
    Loader().m_calls.clear();

    Select(1);

    EXPECT_EQ(Dlg().m_hLibrary, first);
    EXPECT_TRUE(Loader().m_calls.empty());
}

TEST_F(SelectionTest, LegacySelectionReleasesTheLibraryItReplaces) {
    Select(0);
    ASSERT_EQ(Held(), "DODAVED.DLL");
    SetPrinter("P2", 19, 5, "Dorrin", "7.4.533");
    Loader().m_calls.clear();

    Select(1);

    EXPECT_EQ(Loader().m_calls.front(), "release:DODAVED.DLL");
    EXPECT_EQ(Held(), "VIZUVUV.DLL");
    EXPECT_EQ(Loader().LoadedCount(), 1u);
}

TEST_F(SelectionTest, NoDriverLibraryIsNotReportedHere) {
    CTestRig rig;
    rig.m_spooler.AddPrinter("P1", "USB001");
    rig.m_status.m_printers["P1"].m_major = 19;
    rig.m_status.m_printers["P1"].m_minor = 5;
    rig.m_profile.Set("19.5", "Version", "21.6");
    ASSERT_TRUE(rig.Dlg().OnInitDialog());
    rig.m_view.m_selected = 0;

    rig.Dlg().OnPrinterSelected();

    EXPECT_EQ(rig.Dlg().m_hLibrary, nullptr);
    EXPECT_EQ(rig.m_view.Status(1), "");
    EXPECT_EQ(rig.m_view.Status(2), kClickUpdate);
}

// ---- A selection while a two-step plan is pending ----

TEST_F(SelectionTest, PendingTwoStepPlanIsDroppedSoTheWaitOnlyChecksThePrinter) {
    SetPrinter("P1", 18, 2, "Lisander", "5.2.0");
    Select(0);
    ASSERT_EQ(Dlg().m_twoStep, 1);
    Status().m_calls.clear();

    // Another printer at a one-step version: its wait must not look for 19.5.
    Select(1);

    EXPECT_EQ(Dlg().m_twoStep, 0);
    EXPECT_EQ(Status().Count("fetch:P2:2"), 2);
    EXPECT_EQ(Status().Count("resume:"), 1);
    EXPECT_LT(m_rig.m_clock.m_slept, 5000u);
    ExpectLines("", kClickUpdate, "");
}

TEST_F(SelectionTest, ReselectingTheTwoStepPrinterPlansBothStepsAgain) {
    SetPrinter("P1", 18, 2, "Lisander", "5.2.0");
    Select(0);
    Status().m_calls.clear();

    Select(0);

    EXPECT_EQ(Dlg().m_twoStep, 1);
    EXPECT_EQ(Status().Count("fetch:P1:2"), 2);
    ExpectLines(kStepOne, kClickUpdate, "");
}

TEST_F(SelectionTest, PendingPlanIsDroppedEvenWhenTheSelectionStopsEarly) {
    SetPrinter("P1", 18, 2, "Lisander", "5.2.0");
    Select(0);
    Printer("P2").m_firmwareSize = 0;

    Select(1);

    EXPECT_EQ(Dlg().m_twoStep, 0);
}

} // namespace
} // namespace sarnok::test
