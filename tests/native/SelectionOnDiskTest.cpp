// Whole selections against a catalogue file on disk, read by the portable initialisation-file
// reader: every outcome with the exact texts on all three status lines.
#include "catalogue/IniFile.h"
#include "fakes/ExpectedTexts.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

namespace sarnok::test {
namespace {

// The worked example as a technician's editor saves it, plus two odd entries.
std::string CatalogueText() {
    return "[18.2]\r\nIntermediateFileName=fw_19_5.bin\r\nIntermediateVersion=19.5\r\n"
           "Filename=fw_21_6.bin\r\nVersion=21.6\r\n\r\n"
           "[19.5]\r\nFilename=fw_21_6.bin\r\nVersion=21.6\r\n\r\n"
           "[21.4]\r\nFilename=fw_21_6.bin\r\nVersion=21.6\r\n\r\n"
           "[21.6]\r\nFilename=fw_21_6.bin\r\nVersion=21.6\r\n\r\n"
           "[30.1]\r\nIntermediateVersion=30.2\r\n\r\n"
           "[5.5]\r\nFilename=long.bin\r\nVersion=" +
           std::string(300, '7') + "\r\n";
}

struct CScenario {
    const char* m_name;
    std::function<void(CTestRig&)> m_setUp;
    const char* m_line1;
    const char* m_line2;
    std::string m_firmwareField;
    bool m_updateEnabled;
};

class SelectionOnDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("sarnok-selection-" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(m_folder);
        std::ofstream(m_folder / "firmwareInfo.ini", std::ios::binary) << CatalogueText();
        m_windowsFolder = m_folder.string();
        for (char& c : m_windowsFolder) {
            c = c == '/' ? '\\' : c;
        }
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::filesystem::path m_folder;
    std::string m_windowsFolder;
};

void SetPrinter(CTestRig& rig, int major, int minor, const char* model) {
    auto& printer = rig.m_status.m_printers["P1"];
    printer.m_major = major;
    printer.m_minor = minor;
    printer.m_model = model;
    printer.m_libVersion = "5.2.0";
}

TEST_F(SelectionOnDiskTest, EveryOutcomeShowsItsExactTexts) {
    const std::vector<CScenario> scenarios = {
        {"one step", [](CTestRig& r) { SetPrinter(r, 19, 5, "Dorrin"); }, "", kClickUpdate, "21.6",
         true},
        {"two steps", [](CTestRig& r) { SetPrinter(r, 18, 2, "Dorrin"); }, kStepOne, kClickUpdate,
         "21.6", true},
        {"two steps, printer still polling",
         [](CTestRig& r) {
             SetPrinter(r, 18, 2, "Dorrin");
             r.m_status.m_printers["P1"].m_pollingStates = {1};
         },
         kStepOne, kCheckPrinter, "21.6", true},
        {"one step, printer still polling",
         [](CTestRig& r) {
             SetPrinter(r, 21, 4, "Dorrin");
             r.m_status.m_printers["P1"].m_pollingStates = {1};
         },
         kNotResponding, kCheckPrinter, "21.6", true},
        {"same version kept", [](CTestRig& r) { SetPrinter(r, 21, 6, "Dorrin"); }, "",
         kSelectPrinter, "", false},
        {"same version sent again",
         [](CTestRig& r) {
             SetPrinter(r, 21, 6, "Dorrin");
             r.m_view.m_answers = {EMessageAnswer::Yes};
         },
         "", kClickUpdate, "21.6", true},
        {"only an intermediate version", [](CTestRig& r) { SetPrinter(r, 30, 1, "Dorrin"); }, "",
         kSelectPrinter, "", false},
        {"no entry", [](CTestRig& r) { SetPrinter(r, 17, 1, "Dorrin"); }, kNoMatch, kContact,
         "(untouched)", false},
        {"version cut to 259", [](CTestRig& r) { SetPrinter(r, 5, 5, "Dorrin"); }, "", kClickUpdate,
         std::string(259, '7'), true},
        {"no firmware record",
         [](CTestRig& r) {
             SetPrinter(r, 19, 5, "Dorrin");
             r.m_status.m_printers["P1"].m_firmwareSize = 0;
         },
         kNotResponding, kCheckPrinter, "(untouched)", false},
        {"firmware fetch fails: nothing known, no entry",
         [](CTestRig& r) {
             SetPrinter(r, 19, 5, "Dorrin");
             r.m_status.m_printers["P1"].m_firmwareFetchFails = true;
         },
         kNoMatch, kContact, "(untouched)", false},
        {"model fetch fails: the rules see no model",
         [](CTestRig& r) {
             SetPrinter(r, 19, 5, "Dorrin");
             r.m_status.m_printers["P1"].m_infoFetchFails = true;
         },
         "", kClickUpdate, "21.6", true},
        {"latest firmware", [](CTestRig& r) { SetPrinter(r, 35, 31, "Dorrin"); }, "", kLatest,
         "(untouched)", false},
        {"above the WOW64 limit",
         [](CTestRig& r) {
             SetPrinter(r, 41, 0, "Gremmet Series");
             r.m_system.m_wow64 = true;
         },
         "", kLatest, "(untouched)", false},
        {"no driver library",
         [](CTestRig& r) {
             SetPrinter(r, 19, 5, "Dorrin");
             r.m_loader = CFakeLoader{};
         },
         "", kClickUpdate, "21.6", true},
        {"legacy library copy missing",
         [](CTestRig& r) {
             SetPrinter(r, 19, 5, "Dorrin");
             r.m_status.m_printers["P1"].m_libVersion = "7.4.533";
         },
         "", kClickUpdate, "21.6", true},
    };

    for (const CScenario& scenario : scenarios) {
        CTestRig rig;
        CIniFile reader;
        CPorts ports{rig.m_view,  rig.m_spooler, rig.m_status, rig.m_loader,
                     rig.m_files, rig.m_clock,   rig.m_system, reader};
        rig.m_spooler.AddPrinter("P1", "USB001");
        rig.m_loader.AddModule("DODAVED.DLL");
        rig.m_system.m_executablePath = m_windowsFolder + "\\Sarnok.exe";
        scenario.m_setUp(rig);
        CfuuDlg dlg(ports);
        ASSERT_TRUE(dlg.OnInitDialog());
        rig.m_view.m_firmwareText = "(untouched)";
        rig.m_view.m_selected = 0;

        dlg.OnPrinterSelected();

        SCOPED_TRACE(scenario.m_name);
        EXPECT_EQ(rig.m_view.Status(1), scenario.m_line1);
        EXPECT_EQ(rig.m_view.Status(2), scenario.m_line2);
        EXPECT_EQ(rig.m_view.Status(3), "");
        EXPECT_EQ(rig.m_view.m_firmwareText, scenario.m_firmwareField);
        EXPECT_EQ(rig.m_view.m_updateEnabled, scenario.m_updateEnabled);
        EXPECT_EQ(rig.m_view.m_waitCursorDepth, 0);
    }
}

TEST_F(SelectionOnDiskTest, CataloguePathThatCannotBeFormedAndAMissingFile) {
    for (bool bareName : {true, false}) {
        CTestRig rig;
        CIniFile reader;
        CPorts ports{rig.m_view,  rig.m_spooler, rig.m_status, rig.m_loader,
                     rig.m_files, rig.m_clock,   rig.m_system, reader};
        rig.m_spooler.AddPrinter("P1", "USB001");
        SetPrinter(rig, 19, 5, "Dorrin");
        rig.m_system.m_executablePath =
            bareName ? std::string("Sarnok.exe") : m_windowsFolder + "\\missing\\Sarnok.exe";
        CfuuDlg dlg(ports);
        ASSERT_TRUE(dlg.OnInitDialog());
        rig.m_view.m_selected = 0;

        dlg.OnPrinterSelected();

        if (bareName) {
            EXPECT_EQ(rig.m_view.Status(1), kIncorrectData);
            EXPECT_EQ(rig.m_view.Status(2), kSelectPrinter);
            EXPECT_EQ(rig.m_view.m_firmwareText, "");
        } else {
            EXPECT_EQ(rig.m_view.Status(1), kNoMatch);
            EXPECT_EQ(rig.m_view.Status(2), kContact);
        }
        EXPECT_EQ(rig.m_view.Status(3), "");
        EXPECT_FALSE(rig.m_view.m_updateEnabled);
    }
}

} // namespace
} // namespace sarnok::test
