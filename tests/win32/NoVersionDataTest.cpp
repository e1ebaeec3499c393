// The version reader on files that carry no version data.
#include "Win32SystemServices.h"
#include "Win32VersionApi.h"
#include "app/VersionReader.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace sarnok::test {
namespace {

using win32::CWin32SystemServices;
using win32::CWin32VersionApi;

class CTemporaryFile {
public:
    explicit CTemporaryFile(const std::string& content) {
        char folder[MAX_PATH];
        char name[MAX_PATH];
        ::GetTempPathA(MAX_PATH, folder);
        ::GetTempFileNameA(folder, "sar", 0, name);
        m_path = name;
        HANDLE file = ::CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    ~CTemporaryFile() { ::DeleteFileA(m_path.c_str()); }
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

TEST(NoVersionDataTest, PlainFileLoadsNothing) {
    CTemporaryFile file("firmware bytes, not a program\n");
    CWin32VersionApi api;
    CVersionReader reader(api);
    EXPECT_FALSE(reader.Load(file.Path()));
    EXPECT_EQ(reader.GetValue("ProductVersion"), "");
    EXPECT_EQ(reader.Translation(), "");
}

TEST(NoVersionDataTest, ProgramWithoutVersionBlockLoadsNothing) {
    // This test program is linked without any version resource.
    CWin32SystemServices system;
    std::string self;
    ASSERT_TRUE(system.GetExecutablePath(&self));
    CWin32VersionApi api;
    CVersionReader reader(api);
    EXPECT_FALSE(reader.Load(self));
    EXPECT_EQ(reader.GetValue("ProductVersion"), "");
}

TEST(NoVersionDataTest, MissingFileLoadsNothing) {
    CWin32VersionApi api;
    CVersionReader reader(api);
    EXPECT_FALSE(reader.Load("C:\\no such folder\\no such file.exe"));
    EXPECT_EQ(reader.GetValue("ProductVersion"), "");
}

} // namespace
} // namespace sarnok::test
