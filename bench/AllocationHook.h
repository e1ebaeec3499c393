// Counts the heap of the whole benchmark process: every malloc family call (which is also
// where operator new ends up) goes through counters, so a benchmark can ask how much the heap
// grew while the code under measurement ran.
#pragma once

#include <cstdint>

namespace sarnok::bench {

struct CHeapCounters {
    std::int64_t m_liveBytes = 0;    // usable bytes currently allocated
    std::int64_t m_peakBytes = 0;    // highest m_liveBytes since the last ResetHeapPeak
    std::uint64_t m_allocations = 0; // allocation calls so far
};

CHeapCounters HeapCounters();
// Starts a new peak from the bytes live now.
void ResetHeapPeak();

} // namespace sarnok::bench
