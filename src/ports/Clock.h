// Time as the waits see it. Tests substitute virtual time, so a 190-second wait costs nothing.
#pragma once

#include <cstdint>

namespace sarnok {

class IClock {
public:
    virtual ~IClock() = default;

    // Millisecond tick count that wraps at 2^32; only unsigned differences are meaningful.
    virtual std::uint32_t GetTickCount() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Called on every pass of a wait that does not sleep, so the front end can keep the window
    // painted without accepting input. Must not block.
    virtual void KeepResponsive() = 0;
};

// Milliseconds elapsed since start, correct across a wrap of the tick count.
inline std::uint32_t TicksSince(std::uint32_t start, std::uint32_t now) {
    return static_cast<std::uint32_t>(now - start);
}

} // namespace sarnok
