// The About box: caption, and the version line read from the program's own version block.
#include "app/AboutDlg.h"
#include "app/VersionReader.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace sarnok::test {
namespace {

// A version API over made-up blocks: the block's first bytes name the file it came from, and
// lookups answer from tables kept per file.
class CFakeVersionApi : public IVersionApi {
public:
    struct CFileVersion {
        std::uint32_t m_blockSize = 512;
        bool m_fetchFails = false;
        std::optional<std::uint32_t> m_translation;   // low word language, high word code page
        std::map<std::string, std::string> m_strings; // by sub-block path
    };

    std::uint32_t GetInfoSize(const char* fileName) override {
        m_sizeQueries.push_back(fileName);
        const auto it = m_files.find(fileName);
        return it == m_files.end() ? 0 : it->second.m_blockSize;
    }
    bool GetInfo(const char* fileName, std::uint32_t size, void* block) override {
        const CFileVersion& file = m_files.at(fileName);
        if (file.m_fetchFails || size < sizeof(std::uint32_t)) {
            return false;
        }
        std::memset(block, 0, size);
        const auto index = static_cast<std::uint32_t>(m_blockNames.size());
        m_blockNames.push_back(fileName);
        std::memcpy(block, &index, sizeof index);
        return true;
    }
    bool QueryValue(const void* block, const char* subBlock, const void** value,
                    std::uint32_t* length) override {
        m_queries.push_back(subBlock);
        std::uint32_t index = 0;
        std::memcpy(&index, block, sizeof index);
        const CFileVersion& file = m_files.at(m_blockNames.at(index));
        if (std::string(subBlock) == "\\VarFileInfo\\Translation") {
            if (!file.m_translation) {
                return false;
            }
            m_translationValue = *file.m_translation;
            *value = &m_translationValue;
            *length = 4;
            return true;
        }
        const auto it = file.m_strings.find(subBlock);
        if (it == file.m_strings.end()) {
            return false;
        }
        *value = it->second.c_str();
        *length = static_cast<std::uint32_t>(it->second.size() + 1);
        return true;
    }

    std::map<std::string, CFileVersion> m_files;
    std::vector<std::string> m_sizeQueries;
    std::vector<std::string> m_queries;

private:
    std::vector<std::string> m_blockNames; // block number -> file it was read from
    std::uint32_t m_translationValue = 0;
};

class CFakeAboutView : public IAboutView {
public:
    std::string LoadText(unsigned id) override { return StringTable().at(id); }
    void SetCaption(const std::string& text) override { m_caption = text; }
    std::string m_caption = "About Brelwin";
};

constexpr const char* kExe = "C:\\Tools\\Sarnok\\Sarnok.exe";
constexpr const char* kProductVersion = "\\StringFileInfo\\040904b0\\ProductVersion";

class AboutBoxTest : public ::testing::Test {
protected:
    AboutBoxTest() {
        m_system.m_executablePath = kExe;
        auto& file = m_api.m_files[kExe];
        file.m_translation = 0x04B00409;
        file.m_strings[kProductVersion] = "1.0.50.0";
    }
    std::string VersionLine() {
        CAboutDlg dlg(m_view, m_system, m_api);
        EXPECT_TRUE(dlg.OnInitDialog());
        return dlg.m_versionText;
    }
    CFakeSystem m_system;
    CFakeVersionApi m_api;
    CFakeAboutView m_view;
};

TEST_F(AboutBoxTest, ShowsABlankThenTheProductVersionUnderTheMenuItemsCaption) {
    EXPECT_EQ(VersionLine(), " 1.0.50.0");
    EXPECT_EQ(m_view.m_caption, "About Sarnok");
    // The program's block names its table 040904B0; the reader asks in lower case.
    EXPECT_NE(std::find(m_api.m_queries.begin(), m_api.m_queries.end(), kProductVersion),
              m_api.m_queries.end());
}

TEST_F(AboutBoxTest, TrailingWhiteSpaceIsTrimmedLeadingCharactersStay) {
    m_api.m_files[kExe].m_strings[kProductVersion] = "  2.1 beta \t\r\n";
    EXPECT_EQ(VersionLine(), "   2.1 beta");
}

TEST_F(AboutBoxTest, VersionLineIsEmptyWhenAnythingIsMissing) {
    m_api.m_files[kExe].m_strings.clear();
    EXPECT_EQ(VersionLine(), "");

    m_api.m_files[kExe].m_strings[kProductVersion] = "";
    EXPECT_EQ(VersionLine(), "");

    m_api.m_files[kExe].m_strings[kProductVersion] = "1.0.50.0";
    m_api.m_files[kExe].m_translation.reset();
    EXPECT_EQ(VersionLine(), "");

    m_api.m_files[kExe].m_translation = 0x04B00409;
    m_api.m_files[kExe].m_fetchFails = true;
    EXPECT_EQ(VersionLine(), "");

    m_api.m_files.clear();
    EXPECT_EQ(VersionLine(), "");
    EXPECT_EQ(m_view.m_caption, "About Sarnok");
}

TEST_F(AboutBoxTest, LongProgramPathIsReadWholeOrNotAtAll) {
    const std::string longPath = "C:\\" + std::string(300, 'd') + "\\Sarnok.exe";
    m_system.m_executablePath = longPath;
    m_api.m_files[longPath] = m_api.m_files[kExe];
    EXPECT_EQ(VersionLine(), " 1.0.50.0");
    EXPECT_EQ(m_api.m_sizeQueries.back(), longPath);

    m_system.m_executablePath.reset();
    EXPECT_EQ(VersionLine(), "");
}

TEST(VersionReaderTest, TranslationIsLanguageThenCodePageInLowerCaseHex) {
    CFakeVersionApi api;
    api.m_files["a.dll"].m_translation = 0x04E4041D;
    api.m_files["a.dll"].m_strings["\\StringFileInfo\\041d04e4\\FileVersion"] = "3.4";
    CVersionReader reader(api);
    ASSERT_TRUE(reader.Load("a.dll"));
    EXPECT_EQ(reader.Translation(), "041d04e4");
    EXPECT_EQ(reader.GetValue("FileVersion"), "3.4");
    EXPECT_EQ(reader.GetValue("Missing"), "");
}

TEST(VersionReaderTest, ReloadingForgetsThePreviousFile) {
    CFakeVersionApi api;
    api.m_files["a.dll"].m_translation = 0x04B00409;
    api.m_files["a.dll"].m_strings["\\StringFileInfo\\040904b0\\ProductVersion"] = "1.0";
    api.m_files["b.dll"].m_strings["\\StringFileInfo\\040904b0\\ProductVersion"] = "9.9";
    CVersionReader reader(api);
    ASSERT_TRUE(reader.Load("a.dll"));
    // b.dll has a block but no translation: nothing of a.dll may leak into its lookups.
    EXPECT_TRUE(reader.Load("b.dll"));
    EXPECT_EQ(reader.Translation(), "");
    EXPECT_EQ(reader.GetValue("ProductVersion"), "");
    EXPECT_FALSE(reader.Load("none.dll"));
    EXPECT_EQ(reader.GetValue("ProductVersion"), "");
}

} // namespace
} // namespace sarnok::test
