// The checksum check beside the send path: the SHA-256 of a mapped firmware file of 1, 16, 64
// and 256 MiB through the native digest adapter, and its share of the 2000 ms of sleeps a
// single-step click is made to wait anyway.
#include "OpenSslDigest.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace sarnok::bench {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr double kMandatedClickMs = 2000.0;

void BM_Sha256(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::vector<std::uint8_t> file(size, 0x5A);
    posix::COpenSslDigest digest;
    CSha256Digest result{};
    for (auto _ : state) {
        if (!digest.Sha256(file.data(), file.size(), &result)) {
            state.SkipWithError("digest failed");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(size));
    // Per iteration: the digest's time in ms, and that time over the click's mandated 2000 ms.
    state.counters["digest_ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 1e-3,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["share_of_2000ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 1e-3 * kMandatedClickMs,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Sha256)
    ->Arg(1)
    ->Arg(16)
    ->Arg(64)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace sarnok::bench
