// The clock's waits keep the window painted and leave input queued.
#include "Win32Clock.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace sarnok::test {
namespace {

std::vector<DWORD> g_paintTicks;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        g_paintTicks.push_back(::GetTickCount());
    }
    return ::DefWindowProcA(window, message, wParam, lParam); // validates on WM_PAINT
}

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_paintTicks.clear();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecordingWindowProc;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SarnokClockTestWindow";
        ::RegisterClassA(&windowClass); // a second registration fails harmlessly
        m_window =
            ::CreateWindowExA(0, "SarnokClockTestWindow", "clock test", WS_POPUP | WS_VISIBLE, 0, 0,
                              100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(m_window, nullptr);
        // Drain whatever creation queued, so each test starts with nothing pending.
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&message);
        }
        ::ValidateRect(m_window, nullptr);
        g_paintTicks.clear();
    }
    void TearDown() override { ::DestroyWindow(m_window); }

    bool InputStillQueued() {
        MSG message;
        return ::PeekMessageA(&message, m_window, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) != 0;
    }

    HWND m_window = nullptr;
    win32::CWin32Clock m_clock;
};

TEST_F(ClockTest, SleepPaintsAtItsStartAndLeavesInputQueued) {
    ::InvalidateRect(m_window, nullptr, FALSE);
    ::PostMessageA(m_window, WM_KEYDOWN, VK_SPACE, 0);
    const DWORD start = ::GetTickCount();

    m_clock.Sleep(300);

    EXPECT_GE(::GetTickCount() - start, 290u); // tick granularity may round the last slice
    ASSERT_EQ(g_paintTicks.size(), 1u);
    EXPECT_LT(g_paintTicks[0] - start, 100u);
    EXPECT_TRUE(InputStillQueued());
}

TEST_F(ClockTest, LongSleepRepaintsWithinAQuarterSecondOfAnInvalidation) {
    const DWORD start = ::GetTickCount();
    const HWND window = m_window;
    std::thread invalidator([window] {
        ::Sleep(100);
        ::InvalidateRect(window, nullptr, FALSE);
    });

    m_clock.Sleep(1000);
    invalidator.join();

    EXPECT_GE(::GetTickCount() - start, 990u);
    ASSERT_FALSE(g_paintTicks.empty());
    // Painted between slices: well before the whole second was over.
    EXPECT_LT(g_paintTicks[0] - start, 100u + win32::CWin32Clock::kPaintInterval + 150u);
}

TEST_F(ClockTest, KeepResponsivePaintsAtMostEveryQuarterSecond) {
    m_clock.Sleep(0); // marks the time of the last dispatch
    ::InvalidateRect(m_window, nullptr, FALSE);
    ::PostMessageA(m_window, WM_KEYDOWN, VK_SPACE, 0);

    m_clock.KeepResponsive();
    EXPECT_TRUE(g_paintTicks.empty()) << "too soon after the last dispatch";

    ::Sleep(win32::CWin32Clock::kPaintInterval + 20);
    m_clock.KeepResponsive();
    EXPECT_EQ(g_paintTicks.size(), 1u);
    EXPECT_TRUE(InputStillQueued());
}

TEST(ClockTickTest, TicksFollowTheSystemCounter) {
    win32::CWin32Clock clock;
    const std::uint32_t before = ::GetTickCount();
    const std::uint32_t seen = clock.GetTickCount();
    EXPECT_LE(TicksSince(before, seen), 50u);
}

} // namespace
} // namespace sarnok::test
