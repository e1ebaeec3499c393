// The built program's version block, read through the same reader and adapter the About box
// uses.
#include "TestSupport.h"
#include "Win32SystemServices.h"
#include "Win32VersionApi.h"
#include "app/AboutDlg.h"
#include "app/VersionReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace sarnok::test {
namespace {

using win32::CWin32SystemServices;
using win32::CWin32VersionApi;

TEST(VersionBlockTest, StringsUnderTheFirstTranslation) {
    CWin32VersionApi api;
    CVersionReader reader(api);
    ASSERT_TRUE(reader.Load(ProgramPath())) << ProgramPath();
    EXPECT_EQ(reader.Translation(), "040904b0");
    EXPECT_EQ(reader.GetValue("ProductVersion"), "1.0.50.0");
    EXPECT_EQ(reader.GetValue("FileVersion"), "1.0.50.0");
    EXPECT_EQ(reader.GetValue("FileDescription"), "Brelwin");
    EXPECT_EQ(reader.GetValue("ProductName"), "Brelwin");
    EXPECT_EQ(reader.GetValue("InternalName"), "Sarnok.exe");
    EXPECT_EQ(reader.GetValue("OriginalFilename"), "Sarnok.exe");
    EXPECT_FALSE(reader.GetValue("CompanyName").empty());
    EXPECT_FALSE(reader.GetValue("LegalCopyright").empty());
    EXPECT_EQ(reader.GetValue("NoSuchKey"), "");
}

TEST(VersionBlockTest, FixedPartAndTranslationEntry) {
    CWin32VersionApi api;
    const std::string path = ProgramPath();
    const std::uint32_t size = api.GetInfoSize(path.c_str());
    ASSERT_GT(size, 0u);
    std::vector<std::uint8_t> block(size);
    ASSERT_TRUE(api.GetInfo(path.c_str(), size, block.data()));

    const void* value = nullptr;
    std::uint32_t length = 0;
    ASSERT_TRUE(api.QueryValue(block.data(), "\\", &value, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00320000u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00320000u);
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));

    ASSERT_TRUE(api.QueryValue(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    std::uint16_t pair[2];
    std::memcpy(pair, value, sizeof pair);
    EXPECT_EQ(pair[0], 0x0409);
    EXPECT_EQ(pair[1], 0x04B0);

    EXPECT_FALSE(
        api.QueryValue(block.data(), "\\StringFileInfo\\040904b0\\Nothing", &value, &length));
}

// The About box's logic against the real version API, as if it ran inside Sarnok.exe.
class CProgramPathSystem : public CWin32SystemServices {
public:
    bool GetExecutablePath(std::string* path) override {
        *path = ProgramPath();
        return true;
    }
};

class CRecordingAboutView : public IAboutView {
public:
    std::string LoadText(unsigned id) override {
        return id == 101 ? "About Sarnok" : std::string();
    }
    void SetCaption(const std::string& text) override { m_caption = text; }
    std::string m_caption;
};

TEST(VersionBlockTest, AboutBoxShowsBlankAndProductVersion) {
    CProgramPathSystem system;
    CWin32VersionApi api;
    CRecordingAboutView view;
    CAboutDlg about(view, system, api);
    EXPECT_TRUE(about.OnInitDialog());
    EXPECT_EQ(view.m_caption, "About Sarnok");
    EXPECT_EQ(about.m_versionText, " 1.0.50.0");
}

} // namespace
} // namespace sarnok::test
