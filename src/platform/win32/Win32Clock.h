// IClock over GetTickCount and Sleep. Every wait runs on the window's own thread, so while it
// waits the clock lets the window repaint - paint messages only, never input - at least every
// kPaintInterval milliseconds. That keeps the status lines readable and keeps the system from
// replacing the window with an unresponsive ghost whose close button would end the program in
// the middle of a flash.
#pragma once

#include "ports/Clock.h"

namespace sarnok::win32 {

class CWin32Clock : public IClock {
public:
    static constexpr std::uint32_t kPaintInterval = 250;
    // Bounds one dispatch, in case a window keeps its update region after painting.
    static constexpr int kMaxPaintsPerDispatch = 64;

    CWin32Clock();

    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
    void KeepResponsive() override;

    // Dispatches the paint messages pending for this thread's windows. Returns how many.
    static int DispatchPaintMessages();

private:
    std::uint32_t m_lastDispatch;
};

} // namespace sarnok::win32
