// Replaces the C allocator's entry points in this executable and forwards them to the C library's
// own implementation. The C++ runtime's operator new calls malloc, so its allocations are
// counted here too.
#include "AllocationHook.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <malloc.h>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace sarnok::bench {

namespace {

std::atomic<std::int64_t> g_live{0};
std::atomic<std::int64_t> g_peak{0};
std::atomic<std::uint64_t> g_allocations{0};

void Added(void* block) {
    if (block == nullptr) {
        return;
    }
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    const auto size = static_cast<std::int64_t>(malloc_usable_size(block));
    const std::int64_t live = g_live.fetch_add(size, std::memory_order_relaxed) + size;
    std::int64_t peak = g_peak.load(std::memory_order_relaxed);
    while (live > peak && !g_peak.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
    }
}

void Removed(void* block) {
    if (block != nullptr) {
        g_live.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)),
                         std::memory_order_relaxed);
    }
}

} // namespace

CHeapCounters HeapCounters() {
    return CHeapCounters{g_live.load(), g_peak.load(), g_allocations.load()};
}

void ResetHeapPeak() {
    g_peak.store(g_live.load());
}

} // namespace sarnok::bench

using sarnok::bench::Added;
using sarnok::bench::Removed;

extern "C" {

void* malloc(std::size_t size) {
    void* block = __libc_malloc(size);
    Added(block);
    return block;
}

void* calloc(std::size_t count, std::size_t size) {
    void* block = __libc_calloc(count, size);
    Added(block);
    return block;
}

void* realloc(void* block, std::size_t size) {
    Removed(block);
    void* moved = __libc_realloc(block, size);
    // A failed realloc leaves the old block in place.
    Added(moved != nullptr || size == 0 ? moved : block);
    return moved;
}

void free(void* block) {
    Removed(block);
    __libc_free(block);
}

void* memalign(std::size_t alignment, std::size_t size) {
    void* block = __libc_memalign(alignment, size);
    Added(block);
    return block;
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    return memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    Added(block);
    *out = block;
    return 0;
}

} // extern "C"
