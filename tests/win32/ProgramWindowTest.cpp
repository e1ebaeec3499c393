// The built program started for real: its window, the texts discovery leaves on it, the About
// box opened through the system command, and every way of ending it. Needs a display (Xvfb).
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace sarnok::test {
namespace {

constexpr const char* kMainCaption = "Card Printer Firmware Update";
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kEndTimeoutMs = 10000;

struct CFindWindow {
    DWORD m_processId;
    const char* m_caption;
    HWND m_found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* find = reinterpret_cast<CFindWindow*>(parameter);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    char caption[256] = {};
    ::GetWindowTextA(window, caption, sizeof caption);
    if (processId == find->m_processId && find->m_caption == std::string(caption) &&
        ::IsWindowVisible(window)) {
        find->m_found = window;
        return FALSE;
    }
    return TRUE;
}

// Text of a control of another process: statics and buttons keep their text in the window.
std::string ItemText(HWND dialog, int id) {
    char text[512] = {};
    ::GetWindowTextA(::GetDlgItem(dialog, id), text, sizeof text);
    return text;
}

class ProgramWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        char display[256];
        if (::GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) {
            GTEST_SKIP() << "no display: run under xvfb-run";
        }
        const std::string path = ProgramPath();
        const std::string folder = path.substr(0, path.find_last_of('\\'));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + path + "\"";
        ASSERT_TRUE(::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, folder.c_str(), &startup, &m_process))
            << path << " error " << ::GetLastError();
        m_started = true;
        m_main = WaitForWindow(kMainCaption, kStartTimeoutMs);
        ASSERT_NE(m_main, nullptr) << "the main dialog did not appear";
    }

    void TearDown() override {
        if (!m_started) {
            return;
        }
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_process.hProcess, 1);
            ::WaitForSingleObject(m_process.hProcess, kEndTimeoutMs);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }

    HWND WaitForWindow(const char* caption, DWORD timeoutMs) {
        const DWORD start = ::GetTickCount();
        for (;;) {
            CFindWindow find{m_process.dwProcessId, caption};
            ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&find));
            if (find.m_found != nullptr || ::GetTickCount() - start >= timeoutMs) {
                return find.m_found;
            }
            if (::WaitForSingleObject(m_process.hProcess, 100) == WAIT_OBJECT_0) {
                return nullptr; // the program ended
            }
        }
    }

    bool Ends() {
        return ::WaitForSingleObject(m_process.hProcess, kEndTimeoutMs) == WAIT_OBJECT_0;
    }

    // Waits until the program has handled everything posted to it so far.
    void Settle() {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(m_main, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);
    }

    PROCESS_INFORMATION m_process{};
    bool m_started = false;
    HWND m_main = nullptr;
};

TEST_F(ProgramWindowTest, OpensWithTheDiscoveryOutcomeAndNothingToUpdate) {
    // Wine's spooler has none of the maker's printers.
    EXPECT_EQ(ItemText(m_main, 1004), "");
    EXPECT_EQ(ItemText(m_main, 1005), "Printer list is empty. Verify printer driver is installed.");
    EXPECT_EQ(ItemText(m_main, 1006), "");
    EXPECT_EQ(ItemText(m_main, IDOK), "Update");
    EXPECT_EQ(ItemText(m_main, IDCANCEL), "Cancel");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(m_main, IDOK)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(m_main, 1002)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(m_main, IDCANCEL)));
    DWORD_PTR count = 99;
    ASSERT_TRUE(::SendMessageTimeoutA(::GetDlgItem(m_main, 1000), CB_GETCOUNT, 0, 0, SMTO_BLOCK,
                                      5000, &count));
    EXPECT_EQ(count, 0u);
    // Its own taskbar button and no minimise or maximise box.
    const LONG_PTR style = ::GetWindowLongPtrA(m_main, GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_NE(::GetWindowLongPtrA(m_main, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
}

TEST_F(ProgramWindowTest, DisabledUpdateIgnoresEnter) {
    ::PostMessageA(m_main, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ::PostMessageA(m_main, WM_KEYDOWN, VK_RETURN, 0);
    Settle();
    EXPECT_EQ(::WaitForSingleObject(m_process.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ItemText(m_main, 1005), "Printer list is empty. Verify printer driver is installed.");
    EXPECT_EQ(ItemText(m_main, 1004), "");
}

TEST_F(ProgramWindowTest, AboutCommandOpensTheAboutBoxWithTheProductVersion) {
    // Only the exact command id opens the box.
    ::PostMessageA(m_main, WM_SYSCOMMAND, 101, 0);
    Settle();
    EXPECT_EQ(WaitForWindow("About Sarnok", 1000), nullptr);

    ::PostMessageA(m_main, WM_SYSCOMMAND, 100, 0);
    HWND about = WaitForWindow("About Sarnok", kStartTimeoutMs);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(::GetWindow(about, GW_OWNER), m_main);
    EXPECT_EQ(ItemText(about, 122), " 1.0.50.0");
    EXPECT_EQ(ItemText(about, IDOK), "OK");
    EXPECT_FALSE(::IsWindowEnabled(m_main)); // modal over the main dialog
    // A close request that reaches the main dialog meanwhile does not end it under the box.
    ::PostMessageA(m_main, WM_CLOSE, 0, 0);
    Settle();
    EXPECT_TRUE(::IsWindowVisible(m_main));
    EXPECT_TRUE(::IsWindow(about));

    ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const DWORD start = ::GetTickCount();
    while (::IsWindow(about) && ::GetTickCount() - start < kEndTimeoutMs) {
        ::Sleep(50);
    }
    EXPECT_FALSE(::IsWindow(about));
    Settle();
    // The main dialog is as it was, and still running.
    EXPECT_TRUE(::IsWindowEnabled(m_main));
    EXPECT_EQ(ItemText(m_main, 1005), "Printer list is empty. Verify printer driver is installed.");
    EXPECT_EQ(::WaitForSingleObject(m_process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(ProgramWindowTest, CancelEndsTheProgram) {
    ::PostMessageA(m_main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(m_main, IDCANCEL)));
    EXPECT_TRUE(Ends());
}

TEST_F(ProgramWindowTest, EscapeEndsTheProgram) {
    HWND focus = ::GetDlgItem(m_main, IDCANCEL);
    ::PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(Ends());
}

TEST_F(ProgramWindowTest, CloseCommandEndsTheProgram) {
    ::PostMessageA(m_main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Ends());
}

} // namespace
} // namespace sarnok::test
