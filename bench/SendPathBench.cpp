// The update run's send phase against a sink that discards the bytes, side by side with the least
// any sender could do (a bare loop of 2000-byte writes into the same sink) and with a memcpy of
// the file; and the heap the run needs while it sends.
#include "AllocationHook.h"
#include "BenchPorts.h"

#include "app/CfuuDlg.h"
#include "fakes/FakeDriverLibrary.h"
#include "fakes/FakePlatform.h"
#include "printer/FlashJob.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace sarnok::bench {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr const char* kPrinterName = "Card A";

// The dialog as a single-step update run finds it after a selection: printer chosen, firmware
// named, driver-interface library loaded; a driver library that answers every call at once and
// a status library whose polling has settled.
struct CSendRig {
    explicit CSendRig(CMemoryFirmwareFile& file) : m_files(file) {
        test::ResetDriverRecorder();
        test::AddDriverLibrary(m_loader);
        test::DriverRecorder().m_replies.push_back({1, test::SuccessFrame(), {}, 0});
        m_status.m_printers[kPrinterName] = {};
        m_dlg = std::make_unique<CfuuDlg>(
            CPorts{m_view, m_spooler, m_status, m_loader, m_files, m_clock, m_system, m_profile});
        m_dlg->m_printerName.Assign(kPrinterName);
        m_dlg->m_fileName.Assign("firmware.bin");
        m_dlg->m_hLibrary = m_loader.Load("DODAVED.DLL");
    }

    // Everything went out, the printer's reply was taken as success and nothing stayed open.
    bool Succeeded() const {
        const std::uint64_t size = m_files.Bytes().size();
        const std::uint64_t writes = 1 + (size + kFlashChunkSize - 1) / kFlashChunkSize;
        return m_spooler.m_bytes == size + kFlashHeaderSize && m_spooler.m_writes == writes &&
               m_spooler.m_zeroReads == 2 && m_dlg->m_replyHandled == 1 &&
               m_dlg->m_errorReply == 0 && m_files.OpenCount() == 0 && m_spooler.m_openHandles == 0;
    }

    test::CFakeView m_view;
    CCountingSpooler m_spooler;
    test::CFakeStatusLibrary m_status;
    test::CFakeLoader m_loader;
    CMemoryFirmwareFile& m_files;
    test::CVirtualClock m_clock;
    test::CFakeSystem m_system;
    test::CFakeProfile m_profile;
    std::unique_ptr<CfuuDlg> m_dlg;
};

// One file and one plain buffer of the same size, kept between benchmarks of that size.
struct CBuffers {
    std::unique_ptr<CMemoryFirmwareFile> m_file;
    std::vector<std::uint8_t> m_plain;
};

CBuffers& BuffersFor(std::size_t size, bool withPlain) {
    static CBuffers buffers;
    if (!buffers.m_file || buffers.m_file->Bytes().size() != size) {
        buffers = CBuffers{};
        buffers.m_file = std::make_unique<CMemoryFirmwareFile>(size);
    }
    if (withPlain && buffers.m_plain.size() != size) {
        buffers.m_plain.assign(size, 0x5A);
    } else if (!withPlain) {
        buffers.m_plain = {};
    }
    return buffers;
}

// The same calls the send phase makes - header, zero-length read, 2000-byte writes, the rest,
// zero-length read - with nothing around them.
void BareSend(ISpooler& sink, const std::uint8_t* buffer, std::uint32_t size) {
    const CFlashHeader header = BuildFlashHeader(kFlashHeaderName, size);
    PrinterHandle printer = nullptr;
    sink.Open(kPrinterName, &printer, kPrinterAllAccess);
    std::uint32_t count = 0;
    sink.Write(printer, header.data(), kFlashHeaderSize, &count);
    sink.Read(printer, nullptr, 0, &count);
    const std::uint32_t fullChunks = size / kFlashChunkSize;
    for (std::uint32_t k = 0; k < fullChunks; ++k) {
        sink.Write(printer, buffer + static_cast<std::size_t>(k) * kFlashChunkSize, kFlashChunkSize,
                   &count);
    }
    if (size % kFlashChunkSize != 0) {
        sink.Write(printer, buffer + static_cast<std::size_t>(fullChunks) * kFlashChunkSize,
                   size % kFlashChunkSize, &count);
    }
    sink.Read(printer, nullptr, 0, &count);
    sink.Close(printer);
}

double Seconds(CSteadyClock::time_point from, CSteadyClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The program and the bare loop take turns going first, so neither always finds the caches the
// other left behind. Figures are medians over the iterations: on a shared machine a single
// preempted iteration would otherwise decide the mean.
void BM_SendPath(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0)) * kMiB;
    CBuffers& buffers = BuffersFor(size, true);
    std::vector<double> sends;
    std::vector<double> bares;
    std::vector<double> copies;
    std::vector<double> runs;
    std::vector<double> ratios;
    bool programFirst = true;
    for (auto _ : state) {
        CSendRig rig(*buffers.m_file);
        // Through a pointer the compiler cannot see through, like the program's port.
        CCountingSpooler bareSink;
        ISpooler* sink = &bareSink;
        benchmark::DoNotOptimize(sink);

        CSteadyClock::time_point runStart;
        CSteadyClock::time_point runEnd;
        const auto runProgram = [&] {
            runStart = CSteadyClock::now();
            rig.m_dlg->UpdateRun();
            runEnd = CSteadyClock::now();
        };
        const auto runBare = [&] {
            BareSend(*sink, buffers.m_plain.data(), static_cast<std::uint32_t>(size));
        };
        if (programFirst) {
            runProgram();
            runBare();
        } else {
            runBare();
            runProgram();
        }
        programFirst = !programFirst;
        if (!rig.Succeeded()) {
            state.SkipWithError("the update run did not send the whole file successfully");
            break;
        }
        if (bareSink.m_bytes != rig.m_spooler.m_bytes) {
            state.SkipWithError("the bare loop did not write what the program wrote");
            break;
        }

        const auto copyStart = CSteadyClock::now();
        std::memcpy(buffers.m_plain.data(), buffers.m_file->Bytes().data(), size);
        benchmark::ClobberMemory();
        const auto copyEnd = CSteadyClock::now();

        const double send = rig.m_spooler.SendSeconds();
        const double bare = bareSink.SendSeconds();
        state.SetIterationTime(send);
        sends.push_back(send);
        bares.push_back(bare);
        copies.push_back(Seconds(copyStart, copyEnd));
        runs.push_back(Seconds(runStart, runEnd));
        ratios.push_back(send / bare);
    }
    if (!sends.empty()) {
        state.counters["send_ms"] = 1e3 * Median(sends);
        state.counters["bare_ms"] = 1e3 * Median(bares);
        state.counters["memcpy_ms"] = 1e3 * Median(copies);
        state.counters["run_ms"] = 1e3 * Median(runs);
        // Median of the ratios of the iterations: program and bare loop measured side by side.
        state.counters["ratio"] = Median(ratios);
        state.SetBytesProcessed(static_cast<std::int64_t>(size) * state.iterations());
    }
}
BENCHMARK(BM_SendPath)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(1)->Iterations(400);
BENCHMARK(BM_SendPath)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(16)->Iterations(60);
BENCHMARK(BM_SendPath)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(64)->Iterations(20);
BENCHMARK(BM_SendPath)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(256)->Iterations(6);

// Heap growth while a whole update run sends the file: the peak above what was live before the
// run, and what is still live after it. Fakes' own bookkeeping (call logs) is included.
void BM_SendMemory(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0)) * kMiB;
    CBuffers& buffers = BuffersFor(size, false);
    std::int64_t peakGrowth = 0;
    std::int64_t netGrowth = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        CSendRig rig(*buffers.m_file);
        // The counters must see allocations at all, or a zero below would mean nothing.
        const CHeapCounters probeBefore = HeapCounters();
        benchmark::DoNotOptimize(std::make_unique<std::uint64_t[]>(64).get());
        if (HeapCounters().m_allocations == probeBefore.m_allocations) {
            state.SkipWithError("the allocation hook sees no allocations");
            break;
        }

        ResetHeapPeak();
        const CHeapCounters before = HeapCounters();
        const auto start = CSteadyClock::now();
        rig.m_dlg->UpdateRun();
        const auto end = CSteadyClock::now();
        const CHeapCounters after = HeapCounters();
        if (!rig.Succeeded()) {
            state.SkipWithError("the update run did not send the whole file successfully");
            break;
        }
        state.SetIterationTime(Seconds(start, end));
        peakGrowth = std::max(peakGrowth, after.m_peakBytes - before.m_liveBytes);
        netGrowth = std::max(netGrowth, after.m_liveBytes - before.m_liveBytes);
        allocations = std::max(allocations, after.m_allocations - before.m_allocations);
    }
    state.counters["peak_growth_B"] = static_cast<double>(peakGrowth);
    state.counters["net_growth_B"] = static_cast<double>(netGrowth);
    state.counters["allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_SendMemory)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Arg(1)
    ->Arg(16)
    ->Arg(64)
    ->Arg(256)
    ->Iterations(3);

} // namespace
} // namespace sarnok::bench
