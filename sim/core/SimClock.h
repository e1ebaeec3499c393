// Time as the virtual printer sees it. The DLLs run on the real tick count; native tests drive a
// manual clock, so a 190-second restart costs nothing.
#pragma once

#include <cstdint>

namespace sarnok::sim {

class ISimClock {
public:
    virtual ~ISimClock() = default;

    // Milliseconds since an arbitrary start; never wraps.
    virtual std::uint64_t NowMs() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Milliseconds since 1970 (UTC): the one time two processes agree on, so a restart that a
    // program run started can end in the next one. A clock whose printers live and die inside
    // one process may count it as NowMs().
    virtual std::uint64_t WallMs() { return NowMs(); }
};

class CManualClock : public ISimClock {
public:
    std::uint64_t NowMs() override { return m_now; }
    void Sleep(std::uint32_t milliseconds) override {
        m_now += milliseconds;
        m_slept += milliseconds;
    }

    std::uint64_t m_now = 0;
    std::uint64_t m_slept = 0;
};

} // namespace sarnok::sim
