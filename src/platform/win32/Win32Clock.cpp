#include "Win32Clock.h"

#include <windows.h>

namespace sarnok::win32 {

CWin32Clock::CWin32Clock() : m_lastDispatch(::GetTickCount()) {}

std::uint32_t CWin32Clock::GetTickCount() {
    return ::GetTickCount();
}

void CWin32Clock::Sleep(std::uint32_t milliseconds) {
    // Paint first, so a text set just before the wait shows at once, then between slices.
    DispatchPaintMessages();
    std::uint32_t remaining = milliseconds;
    while (remaining > 0) {
        const std::uint32_t slice = remaining < kPaintInterval ? remaining : kPaintInterval;
        ::Sleep(slice);
        remaining -= slice;
        DispatchPaintMessages();
    }
    m_lastDispatch = ::GetTickCount();
}

void CWin32Clock::KeepResponsive() {
    const std::uint32_t now = ::GetTickCount();
    if (TicksSince(m_lastDispatch, now) >= kPaintInterval) {
        DispatchPaintMessages();
        m_lastDispatch = now;
    }
}

int CWin32Clock::DispatchPaintMessages() {
    int count = 0;
    MSG message;
    // The filter takes WM_PAINT alone: clicks and keys stay queued until the handler returns.
    while (count < kMaxPaintsPerDispatch &&
           ::PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
        ::DispatchMessageA(&message);
        ++count;
    }
    return count;
}

} // namespace sarnok::win32
