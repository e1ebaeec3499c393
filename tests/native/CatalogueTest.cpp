// The catalogue lookup beside the executable, through the initialisation-file reader.
#include "fakes/ExpectedTexts.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace sarnok::test {
namespace {

const char* const kSameVersion =
    "The firmware versions are the same.\nTo keep the same firmware in the printer,  click "
    "NO.\nTo send a new copy of the same firmware, click YES.";

class CatalogueTest : public ::testing::Test {
protected:
    CatalogueTest() {
        // The worked example catalogue.
        Profile().Set("18.2", "IntermediateFileName", "fw_19_5.bin");
        Profile().Set("18.2", "IntermediateVersion", "19.5");
        Profile().Set("18.2", "Filename", "fw_21_6.bin");
        Profile().Set("18.2", "Version", "21.6");
        for (const char* section : {"19.5", "21.4", "21.6"}) {
            Profile().Set(section, "Filename", "fw_21_6.bin");
            Profile().Set(section, "Version", "21.6");
        }
    }
    std::int32_t Lookup(const char* section) {
        CfuuDlg& dlg = m_rig.Dlg();
        return dlg.GetFirmwareInfo(section, dlg.m_fileName.data(), dlg.m_targetVersion.data(),
                                   dlg.m_intermediateFileName.data(),
                                   dlg.m_intermediateVersion.data(), 260);
    }
    CfuuDlg& Dlg() { return m_rig.Dlg(); }
    CFakeView& View() { return m_rig.m_view; }
    CFakeProfile& Profile() { return m_rig.m_profile; }
    void ExpectMembers(const char* file, const char* version, const char* intermediateFile,
                       const char* intermediateVersion) {
        EXPECT_EQ(Dlg().m_fileName, file);
        EXPECT_EQ(Dlg().m_targetVersion, version);
        EXPECT_EQ(Dlg().m_intermediateFileName, intermediateFile);
        EXPECT_EQ(Dlg().m_intermediateVersion, intermediateVersion);
    }

    CTestRig m_rig;
};

// ---- The worked example ----

TEST_F(CatalogueTest, TwoStepEntryFillsAllFourMembersFromTheFileBesideTheExecutable) {
    EXPECT_EQ(Lookup("18.2"), 4);

    ExpectMembers("fw_21_6.bin", "21.6", "fw_19_5.bin", "19.5");
    EXPECT_EQ(
        Profile().m_lookups,
        (std::vector<std::string>{"18.2/Filename:260", "18.2/Version:260",
                                  "18.2/IntermediateFileName:260", "18.2/IntermediateVersion:260",
                                  "18.2/Sha256:260", "18.2/IntermediateSha256:260"}));
    for (const std::string& path : Profile().m_paths) {
        EXPECT_EQ(path, "C:\\Tools\\Sarnok\\firmwareInfo.ini");
    }
    EXPECT_TRUE(View().m_messageBoxes.empty());
    EXPECT_TRUE(View().m_log.empty()); // a usable entry leaves the dialog to the caller
}

TEST_F(CatalogueTest, OneStepEntriesLeaveTheIntermediateMembersEmpty) {
    Dlg().m_intermediateFileName.Assign("stale.bin");
    for (const char* section : {"19.5", "21.4"}) {
        EXPECT_EQ(Lookup(section), 4) << section;
        ExpectMembers("fw_21_6.bin", "21.6", "", "");
    }
}

TEST_F(CatalogueTest, SameVersionAsksAndOnlyYesSendsItAgain) {
    View().m_answers = {EMessageAnswer::No, EMessageAnswer::Yes};

    EXPECT_EQ(Lookup("21.6"), 0);
    EXPECT_EQ(Lookup("21.6"), 4);

    ASSERT_EQ(View().m_messageBoxes.size(), 2u);
    EXPECT_EQ(View().m_messageBoxes[0].m_text, kSameVersion);
    EXPECT_EQ(View().m_messageBoxes[0].m_caption, "Warning");
    EXPECT_EQ(View().m_messageBoxes[0].m_buttons, EMessageButtons::YesNoDefaultNo);
    ExpectMembers("fw_21_6.bin", "21.6", "", "");
}

TEST_F(CatalogueTest, OtherVersionsHaveNoEntry) {
    for (const char* section : {"21.5", "18.20", "", "21.6 "}) {
        CTestRig rig;
        rig.m_profile.m_sections = Profile().m_sections;
        CfuuDlg& dlg = rig.Dlg();
        EXPECT_EQ(dlg.GetFirmwareInfo(section, dlg.m_fileName.data(), dlg.m_targetVersion.data(),
                                      dlg.m_intermediateFileName.data(),
                                      dlg.m_intermediateVersion.data(), 260),
                  -1)
            << section;
        EXPECT_EQ(rig.m_view.Status(1), kNoMatch);
        EXPECT_EQ(rig.m_view.Status(2), kContact);
        EXPECT_FALSE(rig.m_view.m_updateEnabled);
    }
}

// ---- Results ----

TEST_F(CatalogueTest, MissingFileIsNoEntry) {
    Profile().m_fileExists = false;
    EXPECT_EQ(Lookup("18.2"), -1);
    EXPECT_EQ(View().Status(1), kNoMatch);
    EXPECT_EQ(View().Status(2), kContact);
    EXPECT_FALSE(View().m_updateEnabled);
}

TEST_F(CatalogueTest, EntryWithOnlyAFileNameIsNoEntry) {
    Profile().Set("3.1", "Filename", "fw.bin");
    EXPECT_EQ(Lookup("3.1"), -1);
    EXPECT_EQ(Dlg().m_fileName, "fw.bin");
}

TEST_F(CatalogueTest, EntryWithOnlyAnIntermediateVersionIsUnusableWithoutAPrompt) {
    Profile().Set("3.1", "IntermediateVersion", "3.1");
    EXPECT_EQ(Lookup("3.1"), 0);
    EXPECT_TRUE(View().m_messageBoxes.empty());
    EXPECT_EQ(View().Status(1), "");
}

TEST_F(CatalogueTest, VersionsThatDifferInAnyCharacterGiveTheirLengthWithoutAPrompt) {
    Profile().Set("21.6", "Version", "21.60");
    EXPECT_EQ(Lookup("21.6"), 5);
    Profile().Set("21.6", "Version", "21.");
    EXPECT_EQ(Lookup("21.6"), 3);
    Profile().Set("21.6", "Version", "21.6x");
    EXPECT_EQ(Lookup("21.6"), 5);
    EXPECT_TRUE(View().m_messageBoxes.empty());
}

TEST_F(CatalogueTest, SectionAndKeyNamesMatchWithoutRegardToCase) {
    Profile().m_sections.clear();
    Profile().Set("V1.2", "FILENAME", "a.bin");
    Profile().Set("V1.2", "version", "2.0");
    EXPECT_EQ(Lookup("v1.2"), 3);
    EXPECT_EQ(Dlg().m_fileName, "a.bin");
}

TEST_F(CatalogueTest, ValueOfThreeHundredCharactersIsCutTo259) {
    Profile().Set("5.5", "Version", std::string(300, 'v'));
    Profile().Set("5.5", "Filename", std::string(300, 'f'));
    Profile().Set("5.5", "IntermediateVersion", std::string(1000, 'i'));

    EXPECT_EQ(Lookup("5.5"), 259);

    EXPECT_EQ(Dlg().m_targetVersion.str(), std::string(259, 'v'));
    EXPECT_EQ(Dlg().m_fileName.str(), std::string(259, 'f'));
    EXPECT_EQ(Dlg().m_intermediateVersion.str(), std::string(259, 'i'));
}

TEST_F(CatalogueTest, LookupWithoutEntryEmptiesTheMembersOfAnEarlierOne) {
    ASSERT_EQ(Lookup("18.2"), 4);
    EXPECT_EQ(Lookup("1.1"), -1);
    ExpectMembers("", "", "", "");
}

// ---- The path beside the executable ----

TEST_F(CatalogueTest, PathThatCannotBeFormedTouchesNoMemberAndReadsNothing) {
    struct CCase {
        const char* m_what;
        std::optional<std::string> m_executable;
    };
    const std::string longFolder = "C:\\" + std::string(2030, 'd');
    for (const CCase& c :
         {CCase{"no module name", std::nullopt}, CCase{"bare name", std::string("Sarnok.exe")},
          CCase{"name over 2047", "C:\\" + std::string(2045, 'x') + "\\a.exe"},
          CCase{"catalogue name does not fit", longFolder + "\\a.exe"}}) {
        CTestRig rig;
        rig.m_system.m_executablePath = c.m_executable;
        CfuuDlg& dlg = rig.Dlg();
        dlg.m_fileName.Assign("kept");
        rig.m_view.m_updateEnabled = true;

        EXPECT_EQ(dlg.GetFirmwareInfo("18.2", dlg.m_fileName.data(), dlg.m_targetVersion.data(),
                                      dlg.m_intermediateFileName.data(),
                                      dlg.m_intermediateVersion.data(), 260),
                  0)
            << c.m_what;

        EXPECT_EQ(rig.m_view.Status(1), kIncorrectData) << c.m_what;
        EXPECT_EQ(rig.m_view.Status(2), kContact) << c.m_what;
        EXPECT_FALSE(rig.m_view.m_updateEnabled) << c.m_what;
        EXPECT_EQ(dlg.m_fileName, "kept") << c.m_what;
        EXPECT_TRUE(rig.m_profile.m_paths.empty()) << c.m_what;
    }
}

TEST_F(CatalogueTest, LongestPathThatFitsIsUsedAsIs) {
    // Folder + "\firmwareInfo.ini" is exactly 2047 characters.
    const std::string folder = "C:\\" + std::string(2047 - 17 - 3, 'd');
    m_rig.m_system.m_executablePath = folder + "\\S.exe";

    EXPECT_EQ(Lookup("19.5"), 4);

    ASSERT_FALSE(Profile().m_paths.empty());
    EXPECT_EQ(Profile().m_paths[0], folder + "\\firmwareInfo.ini");
    EXPECT_EQ(Profile().m_paths[0].size(), 2047u);
}

TEST_F(CatalogueTest, ExecutableInADriveRootOrShareKeepsTheRootSeparator) {
    m_rig.m_system.m_executablePath = "C:\\Sarnok.exe";
    EXPECT_EQ(Lookup("19.5"), 4);
    EXPECT_EQ(Profile().m_paths.back(), "C:\\\\firmwareInfo.ini");

    m_rig.m_system.m_executablePath = "\\\\server\\share\\Sarnok.exe";
    EXPECT_EQ(Lookup("19.5"), 4);
    EXPECT_EQ(Profile().m_paths.back(), "\\\\server\\share\\firmwareInfo.ini");
}

} // namespace
} // namespace sarnok::test
