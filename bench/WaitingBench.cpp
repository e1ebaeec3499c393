// A whole single-step click on real time against a virtual printer that answers at once: the
// click can never be quicker than the sleeps its waits mandate, so what it takes beyond them is
// the program's own cost.
#include "BenchPorts.h"
#include "DeployTool.h"
#include "SimPorts.h"

#include "app/CfuuDlg.h"
#include "fakes/FakePlatform.h"
#include "journal/UpdateJournal.h"
#include "res/resource.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace sarnok::bench {
namespace {

const std::string kScenario = "[printer]\n"
                              "name = Card A\n"
                              "port = USB001\n"
                              "model = Tavik Series\n"
                              "firmware = 27.10\n"
                              "restart-ms = 20000\n";

// Real time for the program; the printer's time follows it, so the printer lives through the
// click as it would beside a real program.
class CPrinterFollowingClock : public CRealClock {
public:
    explicit CPrinterFollowingClock(test::CVirtualClock& printerTime)
        : m_printerTime(printerTime), m_base(printerTime.m_now) {}
    std::uint32_t GetTickCount() override {
        const std::uint32_t now = CRealClock::GetTickCount();
        m_printerTime.m_now = m_base + now;
        return now;
    }
    void Sleep(std::uint32_t milliseconds) override {
        CRealClock::Sleep(milliseconds);
        GetTickCount();
    }

private:
    test::CVirtualClock& m_printerTime;
    std::uint32_t m_base;
};

// A catalogue that offers the printer one-step firmware of the given size.
void OfferTavikFirmware(e2e::CSimRig& rig, std::size_t fileSize) {
    rig.Catalogue("27.10", "Filename", "tavik_32_29.bin");
    rig.Catalogue("27.10", "Version", "32.29");
    rig.AddFirmware("tavik_32_29.bin", "Tavik Series", "32.29", fileSize);
}

// Wall time against the sleeps the waits mandate, summed over a benchmark's iterations.
class CSleepRatio {
public:
    void Add(benchmark::State& state, double wall, double slept) {
        state.SetIterationTime(wall);
        m_wall += wall;
        m_slept += slept;
        m_worst = std::max(m_worst, wall / slept);
    }
    void Report(benchmark::State& state) const {
        if (m_slept <= 0) {
            return;
        }
        const auto iterations = static_cast<double>(state.iterations());
        state.counters["mandated_ms"] = 1e3 * m_slept / iterations;
        state.counters["overhead_ms"] = 1e3 * (m_wall - m_slept) / iterations;
        state.counters["ratio"] = m_wall / m_slept;
        state.counters["worst_ratio"] = m_worst;
    }

private:
    double m_wall = 0;
    double m_slept = 0;
    double m_worst = 0;
};

// The update journal in a file on the disk, each start flushed to it before the job goes out, as
// the Windows program's journal is.
class CFileJournalStore : public test::CFakeJournalStore {
public:
    explicit CFileJournalStore(std::string path) : m_path(std::move(path)) {
        std::remove(m_path.c_str());
    }
    ~CFileJournalStore() override { std::remove(m_path.c_str()); }
    CFileJournalStore(const CFileJournalStore&) = delete;
    CFileJournalStore& operator=(const CFileJournalStore&) = delete;
    CJournalFile ReadFile(bool older) override {
        CJournalFile file;
        std::ifstream in(m_path, std::ios::binary);
        if (older || !in) {
            return file;
        }
        std::stringstream text;
        text << in.rdbuf();
        file.m_state = EJournalFileState::Read;
        file.m_text = text.str();
        return file;
    }
    bool Append(const std::string& line, bool flush) override {
        std::FILE* file = std::fopen(m_path.c_str(), "ab");
        if (file == nullptr) {
            return false;
        }
        bool ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
        if (flush) {
            ok = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0 && ok;
        }
        return std::fclose(file) == 0 && ok;
    }

private:
    std::string m_path;
};

// range(1): the click writes the update journal, its start flushed to the disk.
void BM_SingleStepClick(benchmark::State& state) {
    const auto fileSize = static_cast<std::size_t>(state.range(0));
    const bool journalled = state.range(1) != 0;
    CSleepRatio ratio;
    for (auto _ : state) {
        e2e::CSimRig rig(kScenario);
        OfferTavikFirmware(rig, fileSize);
        CPrinterFollowingClock clock(rig.m_clock);
        CFileJournalStore store("sarnok-bench-updates.jsonl");
        CUpdateJournal journal(store, "Sarnok", false);
        CfuuDlg dlg(CPorts{.m_view = rig.m_view,
                           .m_spooler = *rig.m_spooler,
                           .m_statusLibrary = *rig.m_status,
                           .m_loader = rig.m_loader,
                           .m_files = rig.m_files,
                           .m_clock = clock,
                           .m_system = rig.m_system,
                           .m_profile = rig.m_profile,
                           .m_digest = &rig.m_digest,
                           .m_journal = journalled ? &journal : nullptr});
        if (!dlg.OnInitDialog()) {
            state.SkipWithError("the virtual printer was not listed");
            break;
        }
        rig.m_view.m_selected = 0;
        dlg.OnPrinterSelected();

        const std::uint64_t sleptBefore = clock.m_sleptMs;
        const auto start = CSteadyClock::now();
        dlg.OnUpdateClicked();
        const auto end = CSteadyClock::now();
        const double wall = std::chrono::duration<double>(end - start).count();
        const double slept = static_cast<double>(clock.m_sleptMs - sleptBefore) / 1e3;

        if (rig.m_view.Status(2) != rig.m_view.LoadText(IDS_UPDATE_SUCCESSFUL) || slept <= 0) {
            state.SkipWithError("the click did not end in a successful update");
            break;
        }
        if (journalled &&
            store.ReadFile(false).m_text.find("\"outcome\":\"success\"") == std::string::npos) {
            state.SkipWithError("the click's run is not in the journal");
            break;
        }
        ratio.Add(state, wall, slept);
    }
    ratio.Report(state);
}
// A firmware file of 64 KiB: the printer model checks every byte it receives, and with a large
// file that check, not the program, would dominate the time beyond the sleeps (the send itself
// is measured by BM_SendPath).
// Without the journal, then with it: the file's digest for the journal, the start flushed to the
// disk and the end written.
BENCHMARK(BM_SingleStepClick)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Args({64 * 1024, 0})
    ->Args({64 * 1024, 1})
    ->Iterations(3);

// The deployment console's `update` of one printer on real time: its discovery, the selection
// with its readiness wait and the click, with every status line formatted and written to a log
// (here /dev/null), divided by the sleeps the selection's and the click's waits mandate.
// range(1): the default confirmation follows, polling every 2 s until the printer is back from
// its 20 s restart on the new firmware; its sleeps are mandated too.
void BM_DeployUpdateOne(benchmark::State& state) {
    const auto fileSize = static_cast<std::size_t>(state.range(0));
    const bool confirmed = state.range(1) != 0;
    CSleepRatio ratio;
    std::FILE* log = std::fopen("/dev/null", "ab");
    for (auto _ : state) {
        e2e::CSimRig rig(kScenario);
        OfferTavikFirmware(rig, fileSize);
        CPrinterFollowingClock clock(rig.m_clock);
        deploy::CDeployOutput output(nullptr, log);
        deploy::CDeployEnvironment environment{
            [&](IMainView& view) {
                return CPorts{view,        *rig.m_spooler, *rig.m_status, rig.m_loader,
                              rig.m_files, clock,          rig.m_system,  rig.m_profile};
            },
            [](unsigned id) { return test::StringTable().at(id); }, clock,
            [](const std::string& text) { return text; }, "bench"};

        const std::uint64_t sleptBefore = clock.m_sleptMs;
        const auto start = CSteadyClock::now();
        deploy::CDeployTool tool(environment, output, false);
        tool.SetConfirmTimeout(confirmed ? 300 : 0);
        const bool listed = tool.ListPrinters() == deploy::EListing::Ok;
        const deploy::CPrinterReport report = listed ? tool.Update(0) : deploy::CPrinterReport{};
        const auto end = CSteadyClock::now();
        const double wall = std::chrono::duration<double>(end - start).count();
        const double slept = static_cast<double>(clock.m_sleptMs - sleptBefore) / 1e3;

        if (report.m_outcome != deploy::EPrinterOutcome::Updated || slept <= 0 ||
            report.m_confirmed != std::optional<bool>(confirmed)) {
            state.SkipWithError("the printer was not updated");
            break;
        }
        ratio.Add(state, wall, slept);
    }
    std::fclose(log);
    ratio.Report(state);
}
BENCHMARK(BM_DeployUpdateOne)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Args({64 * 1024, 0})
    ->Args({64 * 1024, 1})
    ->Iterations(3);

} // namespace
} // namespace sarnok::bench
