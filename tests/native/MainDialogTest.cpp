// Dialog events that end the program or open the About box, and the dialog's lifetime.
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace sarnok::test {
namespace {

TEST(MainDialogTest, OnlyCommandHundredExactlyOpensTheAboutBox) {
    CTestRig rig;
    rig.Dlg().OnSysCommand(100, 0);
    rig.Dlg().OnSysCommand(101, 0);
    rig.Dlg().OnSysCommand(96, 0);
    rig.Dlg().OnSysCommand(0xF060, 0); // SC_CLOSE

    EXPECT_EQ(rig.m_view.m_aboutRuns, 1);
    EXPECT_EQ(rig.m_view.m_defaultSysCommands, (std::vector<unsigned>{101, 96, 0xF060}));
}

TEST(MainDialogTest, CancelEndsTheDialogAtOnceWithoutAQuestion) {
    CTestRig rig;
    rig.Dlg().OnCancelClicked();
    EXPECT_EQ(rig.m_view.m_endDialogCalls, 1);
    EXPECT_TRUE(rig.m_view.m_messageBoxes.empty());
}

TEST(MainDialogTest, DestructionReleasesTheLibraryOnlyWhenOneIsHeld) {
    CTestRig rig;
    rig.m_dlg.reset();
    EXPECT_TRUE(rig.m_loader.m_calls.empty());

    CTestRig held;
    held.m_loader.AddModule("DODAVED.DLL");
    held.Dlg().m_hLibrary = held.m_loader.Load("DODAVED.DLL");
    held.m_dlg.reset();
    EXPECT_EQ(held.m_loader.LoadedCount(), 0u);
    EXPECT_EQ(held.m_loader.m_calls.back(), "release:DODAVED.DLL");
}

} // namespace
} // namespace sarnok::test
