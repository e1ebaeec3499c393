// Minimised painting, the busy cursor and path texts.
#include "app/DialogHelpers.h"
#include "app/PathText.h"

#include <gtest/gtest.h>

namespace sarnok::test {
namespace {

TEST(MinimisedIconTest, CentresWithTruncatingDivision) {
    const CIconOrigin inside = MinimisedIconOrigin(37, 37, 32, 32);
    EXPECT_EQ(inside.m_x, 3);
    EXPECT_EQ(inside.m_y, 3);
    const CIconOrigin odd = MinimisedIconOrigin(36, 40, 32, 32);
    EXPECT_EQ(odd.m_x, 2);
    EXPECT_EQ(odd.m_y, 4);
    // Smaller than the icon: (20 - 32 + 1) / 2 truncates toward zero to -5, not -6.
    const CIconOrigin smaller = MinimisedIconOrigin(20, 0, 32, 32);
    EXPECT_EQ(smaller.m_x, -5);
    EXPECT_EQ(smaller.m_y, -15);
}

TEST(WaitCursorTest, ExtraEndsAreHarmlessAndOnlyTheLastEndRestores) {
    CWaitCursorCount count;
    count.Begin();
    count.Begin();
    EXPECT_FALSE(count.End());
    EXPECT_TRUE(count.End());
    EXPECT_TRUE(count.End());
    EXPECT_EQ(count.Count(), 0);
    count.Begin();
    EXPECT_EQ(count.Count(), 1);
    EXPECT_TRUE(count.End());
}

TEST(PathTextTest, RemovesTheLastComponentKeepingRoots) {
    EXPECT_EQ(RemoveFileSpec("C:\\Tools\\Sarnok\\Sarnok.exe"), "C:\\Tools\\Sarnok");
    EXPECT_EQ(RemoveFileSpec("C:\\Sarnok.exe"), "C:\\");
    EXPECT_EQ(RemoveFileSpec("\\Sarnok.exe"), "\\");
    EXPECT_EQ(RemoveFileSpec("\\\\server\\share\\Sarnok.exe"), "\\\\server\\share");
    EXPECT_EQ(RemoveFileSpec("Sarnok.exe"), "");
    EXPECT_EQ(RemoveFileSpec("C:Sarnok.exe"), "C:");
    EXPECT_EQ(RemoveFileSpec(""), "");
}

// A library by name: the name alone once the default folders are set, otherwise the program's
// folder then the system folder by full path, so that PATH is never searched.
TEST(PathTextTest, LibrariesComeFromTheProgramsFolderAndTheSystemFolderOnly) {
    using Paths = std::vector<std::string>;
    const char* exe = "C:\\Tools\\Sarnok\\Sarnok.exe";
    const char* system = "C:\\Windows\\system32";
    EXPECT_EQ(LibraryPaths("DODAVED.DLL", true, exe, system), Paths{"DODAVED.DLL"});
    EXPECT_EQ(LibraryPaths("DODAVED.DLL", false, exe, system),
              (Paths{"C:\\Tools\\Sarnok\\DODAVED.DLL", "C:\\Windows\\system32\\DODAVED.DLL"}));
    EXPECT_EQ(LibraryPaths("ORN_API.dll", false, "C:\\Sarnok.exe", "C:\\Windows\\system32\\"),
              (Paths{"C:\\ORN_API.dll", "C:\\Windows\\system32\\ORN_API.dll"}));
    // An unknown folder is left out, never replaced by a search.
    EXPECT_EQ(LibraryPaths("ORN_API.bak", false, "", system),
              Paths{"C:\\Windows\\system32\\ORN_API.bak"});
    EXPECT_EQ(LibraryPaths("VIZUVUV.DLL", false, "C:Sarnok.exe", ""), Paths{});
}

} // namespace
} // namespace sarnok::test
