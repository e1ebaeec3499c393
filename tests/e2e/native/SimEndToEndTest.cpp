// The whole dialog logic against the virtual card printer on virtual time: the long waits
// (30 s polling, 190 s reply, 300 s intermediate version) cost nothing here.
#include "SimPorts.h"

#include "catalogue/Checksum.h"
#include "core/JobLog.h"
#include "journal/UpdateJournal.h"

#include <nlohmann/json.hpp>

#include <sstream>

#include <gtest/gtest.h>

#include <algorithm>

namespace sarnok::e2e {
namespace {

const std::string kTavik = "[printer]\n"
                           "name = Card A\n"
                           "port = USB001\n"
                           "model = Tavik Series\n"
                           "firmware = 27.10\n"
                           "restart-ms = 20000\n";

std::string Text(unsigned id) {
    return test::StringTable().at(id);
}

bool Shown(const CSimRig& rig, int line, const std::string& text) {
    const auto& history = rig.m_view.m_history[line - 1];
    return std::find(history.begin(), history.end(), text) != history.end();
}

std::string Hash(const std::vector<std::uint8_t>& bytes) {
    sim::CFnv1a64 hash;
    hash.Add(bytes.data(), bytes.size());
    return "hash=fnv1a64:" + sim::CJobLog::Hex(hash.Value(), 16);
}

void TavikCatalogue(CSimRig& rig) {
    rig.Catalogue("27.10", "Filename", "tavik_32_29.bin");
    rig.Catalogue("27.10", "Version", "32.29");
    rig.AddFirmware("tavik_32_29.bin", "Tavik Series", "32.29", 4500);
}

// Everything the program opened is closed again, in the printer and in the file system.
void ExpectNothingLeftOpen(CSimRig& rig) {
    EXPECT_EQ(rig.m_sim->OpenHandles(), 0u);
    EXPECT_EQ(rig.m_files.m_openFiles, 0u);
    EXPECT_EQ(rig.m_files.m_openMappings, 0u);
    EXPECT_EQ(rig.m_files.m_openViews, 0u);
}

TEST(SimEndToEndTest, OneStepUpdateSendsTheFileUnchangedAndTheCardPrinterTakesIt) {
    CSimRig rig(kTavik + "[printer]\nname = Office\nport = LPT1:\nprocessor = winprint\n");
    TavikCatalogue(rig);
    ASSERT_TRUE(rig.m_dlg->OnInitDialog());
    ASSERT_EQ(rig.m_view.m_entries, std::vector<std::string>{"Card A      USB001"});
    rig.Select(0);
    EXPECT_EQ(rig.m_view.Status(2), Text(120));
    EXPECT_TRUE(rig.m_view.m_updateEnabled);
    rig.m_dlg->OnUpdateClicked();

    EXPECT_EQ(rig.m_view.Status(1), "");
    EXPECT_EQ(rig.m_view.Status(2), Text(104));
    EXPECT_EQ(rig.m_view.Status(3), "");
    EXPECT_FALSE(rig.m_view.m_updateEnabled);
    EXPECT_EQ(rig.m_view.m_cancelCaption, "Close");
    EXPECT_TRUE(rig.Logged("chunks=24,2000,2000,500 size-field=4500 body=4500 " +
                           Hash(rig.FileBytes("tavik_32_29.bin")) +
                           " image=\"Tavik Series 32.29\" reply=success problems=none"));
    EXPECT_TRUE(rig.Logged("DODAVED ZevEndDocPrinter(#3, job=0) -> 1"));
    EXPECT_EQ(rig.m_files.m_deleted, std::vector<std::string>{"thandler.dat"});
    ExpectNothingLeftOpen(rig);
    rig.m_clock.m_now += 20000;
    std::int32_t major = 0;
    std::int32_t minor = 0;
    rig.m_sim->ReportedFirmware("Card A", &major, &minor);
    EXPECT_EQ(major * 100 + minor, 3229);
}

TEST(SimEndToEndTest, APrinterThatNeverAnswersEndsTheReplyWaitAfter190Seconds) {
    CSimRig rig(kTavik + "reply = none\nread-delay-ms = 250\n");
    TavikCatalogue(rig);
    ASSERT_TRUE(rig.m_dlg->OnInitDialog());
    rig.Select(0);
    const std::uint64_t clicked = rig.Elapsed();
    rig.m_dlg->OnUpdateClicked();

    EXPECT_TRUE(Shown(rig, 1, Text(111)));
    const auto reads =
        rig.m_log.Matching("DODAVED ZevReadPrinter(#2, capacity=50) -> 1 read=0 calls=");
    ASSERT_EQ(reads.size(), 1u);
    // 190 s of reads at 250 ms each, the first one included.
    EXPECT_NE(reads[0].find("calls=761"), std::string::npos) << reads[0];
    EXPECT_TRUE(rig.Logged("reply=none problems=none"));
    EXPECT_TRUE(rig.Logged("DODAVED ZevEndDocPrinter(#2, job=0) -> 1"));
    // No reply was handled, so the click ends with the restart wait, which finds the printer
    // back after its 20-second restart; the missing reply stays on the screen.
    EXPECT_GE(rig.Elapsed() - clicked, 190000u + 20000u);
    EXPECT_EQ(rig.m_view.Status(1), Text(111));
    EXPECT_EQ(rig.m_view.Status(2), "");
    EXPECT_TRUE(rig.m_view.m_updateEnabled);
    EXPECT_EQ(rig.m_dlg->m_clickOutcome.m_run, ERunOutcome::NoStatusReply);
    EXPECT_EQ(rig.m_files.m_deleted, std::vector<std::string>{"thandler.dat"});
    ExpectNothingLeftOpen(rig);
}

TEST(SimEndToEndTest, APrinterThatKeepsPollingIsReportedAfterThirtySeconds) {
    CSimRig rig(kTavik + "polling = never-settles\n");
    TavikCatalogue(rig);
    ASSERT_TRUE(rig.m_dlg->OnInitDialog());
    const std::uint64_t before = rig.Elapsed();
    rig.Select(0);
    EXPECT_GE(rig.Elapsed() - before, 30000u);
    EXPECT_LE(rig.Elapsed() - before, 32000u);
    EXPECT_EQ(rig.m_view.Status(1), Text(105));
    EXPECT_EQ(rig.m_view.Status(2), Text(117));
    EXPECT_EQ(rig.m_view.m_cancelCaption, "Close");
    EXPECT_TRUE(rig.m_view.m_updateEnabled);

    // The click's own polling wait gives up the same way, before anything is opened.
    rig.m_dlg->OnUpdateClicked();
    EXPECT_EQ(rig.m_view.Status(1), Text(105));
    EXPECT_FALSE(rig.Logged("ZevStartDocPrinter"));
    EXPECT_FALSE(rig.Logged("access=0xf000c"));
    EXPECT_TRUE(rig.m_files.m_deleted.empty());
    ExpectNothingLeftOpen(rig);
}

const std::string kLisander = "[printer]\n"
                              "name = Card B\n"
                              "port = USB002\n"
                              "model = Lisander Series\n"
                              "firmware = 25.80\n";

void LisanderCatalogue(CSimRig& rig) {
    rig.Catalogue("25.80", "IntermediateFileName", "lisander_28_26.bin");
    rig.Catalogue("25.80", "IntermediateVersion", "28.26");
    rig.Catalogue("25.80", "Filename", "lisander_33_36.bin");
    rig.Catalogue("25.80", "Version", "33.36");
    rig.AddFirmware("lisander_28_26.bin", "Lisander Series", "28.26", 6000);
    rig.AddFirmware("lisander_33_36.bin", "Lisander Series", "33.36", 8100);
}

TEST(SimEndToEndTest, TwoStepUpdateWaitsOutA190SecondRestartBetweenTheSteps) {
    CSimRig rig(kLisander + "restart-ms = 190000\n");
    LisanderCatalogue(rig);
    ASSERT_TRUE(rig.m_dlg->OnInitDialog());
    rig.Select(0);
    EXPECT_EQ(rig.m_view.Status(1), "Step 1 of 2 for this flash update");
    const std::uint64_t clicked = rig.Elapsed();
    rig.m_dlg->OnUpdateClicked();

    EXPECT_TRUE(Shown(rig, 3, "Step 1 of 2"));
    EXPECT_TRUE(Shown(rig, 3, "Step 2 of 2"));
    EXPECT_EQ(rig.m_view.Status(2), Text(104));
    EXPECT_GE(rig.Elapsed() - clicked, 190000u);
    EXPECT_TRUE(rig.Logged("job 41 ended printer=\"Card B\" doc=\"Flash Update\" "
                           "chunks=24,2000,2000,2000 size-field=6000 body=6000 " +
                           Hash(rig.FileBytes("lisander_28_26.bin"))));
    EXPECT_TRUE(rig.Logged("DODAVED ZevEndDocPrinter(#2, job=41) -> 1"));
    EXPECT_TRUE(rig.Logged("printer \"Card B\" restarted firmware=28.26"));
    EXPECT_TRUE(rig.Logged("job 42 ended printer=\"Card B\" doc=\"Flash Update\" "
                           "chunks=24,2000,2000,2000,2000,100 size-field=8100 body=8100 " +
                           Hash(rig.FileBytes("lisander_33_36.bin"))));
    EXPECT_TRUE(rig.Logged("DODAVED ZevEndDocPrinter(#3, job=0) -> 1"));
    ExpectNothingLeftOpen(rig);
}

TEST(SimEndToEndTest, APrinterThatNeverReportsTheIntermediateVersionIsGivenUpOnAfterFiveMinutes) {
    CSimRig rig(kLisander + "takes-firmware = no\n");
    LisanderCatalogue(rig);
    ASSERT_TRUE(rig.m_dlg->OnInitDialog());
    rig.Select(0);
    const std::uint64_t clicked = rig.Elapsed();
    rig.m_dlg->OnUpdateClicked();

    EXPECT_GE(rig.Elapsed() - clicked, 300000u);
    EXPECT_LT(rig.Elapsed() - clicked, 400000u);
    EXPECT_TRUE(Shown(rig, 1, Text(105)));
    // The first step did not take, so the click ends there: no image goes out again.
    EXPECT_EQ(rig.Count("image=\"Lisander Series 28.26\" reply=success"), 1u);
    EXPECT_FALSE(rig.Logged("image=\"Lisander Series 33.36\""));
    ExpectNothingLeftOpen(rig);
}

TEST(SimEndToEndTest, TheLegacyLibraryVersionTakesTheModelFromTheBackupAndJobsThroughVizuvuv) {
    CSimRig rig("[printer]\nname = Card A\nport = USB001\nmodel = Generic\n"
                "legacy-model = Tavik Series\nlibrary-version = \" 7.4.533\"\nfirmware = 27.10\n");
    TavikCatalogue(rig);
    ASSERT_TRUE(rig.m_dlg->OnInitDialog());
    rig.Select(0);
    rig.m_dlg->OnUpdateClicked();
    EXPECT_EQ(rig.m_view.Status(2), Text(104));
    EXPECT_TRUE(rig.Logged("ORN_API.bak GetCardPrinterInfoA(\"Card A\", type=1, buffer=yes"));
    EXPECT_TRUE(rig.Logged("VIZUVUV ZevStartDocPrinter(#2"));
    EXPECT_FALSE(rig.Logged("DODAVED"));
    EXPECT_TRUE(rig.Logged("image=\"Tavik Series 32.29\" reply=success problems=none"));
    ExpectNothingLeftOpen(rig);
}

TEST(SimEndToEndTest, FaultsInTheJobEndTheRunAndReleaseEverything) {
    const struct {
        const char* fault;
        unsigned line1;
        const char* logged;
    } cases[] = {
        {"write-error = 2", 110, "write=2 -> 0 error=1167 (scenario)"},
        {"write-zero = 1", 110, "write=1 -> 1 written=0 (scenario)"},
        {"startdoc-error = 5", 0, "ZevStartDocPrinter(#2, level=1, doc=\"Flash Update\""},
        {"reply = garbage", 0, "read=12 bytes=02 7f"},
        {"reply = split:5", 0, "read=5 bytes=01 01 00 00 00"},
    };
    for (const auto& c : cases) {
        CSimRig rig(kTavik + c.fault + "\n");
        TavikCatalogue(rig);
        ASSERT_TRUE(rig.m_dlg->OnInitDialog());
        rig.Select(0);
        rig.m_dlg->OnUpdateClicked();
        if (c.line1 != 0) {
            EXPECT_TRUE(Shown(rig, 1, Text(c.line1))) << c.fault;
        }
        EXPECT_FALSE(Shown(rig, 2, Text(104))) << c.fault;
        EXPECT_TRUE(rig.Logged(c.logged)) << c.fault;
        EXPECT_EQ(rig.m_files.m_deleted, std::vector<std::string>{"thandler.dat"}) << c.fault;
        ExpectNothingLeftOpen(rig);
    }
}

// The SHA-256 of the 4500-byte demo image "Tavik Series 32.29", as sha256sum gives it.
constexpr const char* kTavikSha256 =
    "05502406F65354BD59F1A18D08FE5A460354AD271E8D6A9E639C0F6B39232E03";

TEST(SimEndToEndTest, AFileWithTheCataloguesChecksumIsSentAsWithoutOne) {
    CSimRig rig(kTavik);
    TavikCatalogue(rig);
    rig.Catalogue("27.10", "Sha256", kTavikSha256);
    ASSERT_TRUE(rig.m_dlg->OnInitDialog());
    rig.Select(0);
    rig.m_dlg->OnUpdateClicked();

    EXPECT_EQ(rig.m_view.Status(2), Text(104));
    EXPECT_TRUE(rig.Logged("chunks=24,2000,2000,500 size-field=4500 body=4500 " +
                           Hash(rig.FileBytes("tavik_32_29.bin")) +
                           " image=\"Tavik Series 32.29\" reply=success problems=none"));
    ExpectNothingLeftOpen(rig);
}

// A file cut short, a checksum that is no SHA-256, a first step whose intermediate file is not
// the one the catalogue names, and a catalogue taken away between the selection and the click:
// nothing reaches the printer, and the click ends saying so.
TEST(SimEndToEndTest, AFileThatIsNotTheExpectedOneNeverReachesThePrinter) {
    const struct {
        const char* m_what;
        bool m_twoStep;
        const char* m_key;
        std::string m_sum;
        std::size_t m_cut;
        bool m_catalogueGone;
    } cases[] = {
        {"cut short", false, "Sha256", kTavikSha256, 1000, false},
        {"malformed checksum", false, "Sha256", std::string(kTavikSha256).substr(0, 63), 0, false},
        {"intermediate file", true, "IntermediateSha256", kTavikSha256, 0, false},
        {"catalogue gone after selection", false, "Sha256", kTavikSha256, 1000, true},
    };
    for (const auto& c : cases) {
        CSimRig rig(c.m_twoStep ? kLisander : kTavik);
        if (c.m_twoStep) {
            LisanderCatalogue(rig);
            rig.Catalogue("25.80", "Sha256", kTavikSha256); // the final step is never reached
            rig.Catalogue("25.80", c.m_key, c.m_sum);
        } else {
            TavikCatalogue(rig);
            rig.Catalogue("27.10", c.m_key, c.m_sum);
            auto& bytes = rig.m_files.m_files["C:\\Tools\\Sarnok\\tavik_32_29.bin"].m_bytes;
            bytes.resize(bytes.size() - c.m_cut);
        }
        ASSERT_TRUE(rig.m_dlg->OnInitDialog()) << c.m_what;
        rig.Select(0);
        if (c.m_catalogueGone) {
            rig.m_profile.m_fileExists = false;
        }
        const std::uint64_t clicked = rig.Elapsed();
        rig.m_dlg->OnUpdateClicked();

        EXPECT_TRUE(Shown(rig, 1, "The firmware file is damaged or is not the expected file."))
            << c.m_what;
        EXPECT_TRUE(Shown(rig, 2, Text(115))) << c.m_what;
        EXPECT_FALSE(rig.Logged("access=0xf000c")) << c.m_what; // opened for the job
        EXPECT_FALSE(rig.Logged("ZevStartDocPrinter")) << c.m_what;
        EXPECT_FALSE(rig.Logged("WritePrinter")) << c.m_what;
        EXPECT_EQ(rig.m_files.m_deleted, std::vector<std::string>(1, "thandler.dat")) << c.m_what;
        ExpectNothingLeftOpen(rig);
        // The refusal is what the click ends on, "Update" ready for another try. A refused
        // first step waits for no restart: the printer got nothing to restart on.
        EXPECT_EQ(rig.m_dlg->m_clickOutcome.m_run, ERunOutcome::FileRefused) << c.m_what;
        EXPECT_EQ(rig.m_view.Status(1), Text(126)) << c.m_what;
        EXPECT_EQ(rig.m_view.Status(2), Text(115)) << c.m_what;
        EXPECT_EQ(rig.m_view.Status(3), c.m_twoStep ? "Step 1 of 2" : "") << c.m_what;
        EXPECT_TRUE(rig.m_view.m_updateEnabled) << c.m_what;
        EXPECT_EQ(rig.m_dlg->m_twoStep, c.m_twoStep ? 1 : 0) << c.m_what;
        if (c.m_twoStep) {
            EXPECT_LT(rig.Elapsed() - clicked, 32000u) << c.m_what;
        }
    }
}

// The process ends in the middle of a run: power lost, or the program killed.
struct CProcessEnded {};

class CCuttingSpooler : public ISpooler {
public:
    explicit CCuttingSpooler(ISpooler& spooler) : m_spooler(spooler) {}
    CEnumerationResult EnumerateLocalPrinters() override {
        return m_spooler.EnumerateLocalPrinters();
    }
    bool Open(const char* name, PrinterHandle* printer, std::uint32_t access) override {
        return m_spooler.Open(name, printer, access);
    }
    bool QueryPrintProcessor(PrinterHandle printer, std::string* processor) override {
        return m_spooler.QueryPrintProcessor(printer, processor);
    }
    bool Close(PrinterHandle printer) override {
        // The printer was sent the whole job and replied; the program ends before it can say so.
        if (m_cutAfterJob && m_writes >= 4) {
            throw CProcessEnded{};
        }
        return m_spooler.Close(printer);
    }
    int Write(PrinterHandle printer, const void* buffer, std::uint32_t length,
              std::uint32_t* written) override {
        if (++m_writes == m_cutAtWrite) {
            throw CProcessEnded{};
        }
        return m_spooler.Write(printer, buffer, length, written);
    }
    int Read(PrinterHandle printer, void* buffer, std::uint32_t length,
             std::uint32_t* read) override {
        return m_spooler.Read(printer, buffer, length, read);
    }

    unsigned m_cutAtWrite = 0; // the header is write 1, the last of a 4500-byte file write 4
    bool m_cutAfterJob = false;

private:
    ISpooler& m_spooler;
    unsigned m_writes = 0;
};

std::unique_ptr<CfuuDlg> JournalledDialog(CSimRig& rig, ISpooler& spooler,
                                          IUpdateJournal& journal) {
    return std::make_unique<CfuuDlg>(CPorts{.m_view = rig.m_view,
                                            .m_spooler = spooler,
                                            .m_statusLibrary = *rig.m_status,
                                            .m_loader = rig.m_loader,
                                            .m_files = rig.m_files,
                                            .m_clock = rig.m_clock,
                                            .m_system = rig.m_system,
                                            .m_profile = rig.m_profile,
                                            .m_digest = &rig.m_digest,
                                            .m_journal = &journal});
}

std::vector<nlohmann::json> Records(const test::CFakeJournalStore& store) {
    std::vector<nlohmann::json> records;
    std::istringstream lines(store.m_current.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        auto record = nlohmann::json::parse(line, nullptr, false);
        if (!record.is_discarded()) {
            records.push_back(std::move(record));
        }
    }
    return records;
}

std::string Sha256Of(CSimRig& rig, const std::string& file) {
    const auto& bytes = rig.FileBytes(file);
    CSha256Digest digest{};
    rig.m_digest.Sha256(bytes.data(), bytes.size(), &digest);
    return FormatSha256(digest);
}

// Every run that sends a file is written down before its job starts and again when it ends; a
// run whose program ended in the middle, or whose reply said success, is settled at the
// printer's next identification once the printer is back: what it reports then tells whether
// the firmware took.
TEST(SimEndToEndTest, TheJournalRecordsEveryRunAndFindsOneThatNeverEnded) {
    const std::string unfinished = Text(130).replace(Text(130).find("%s"), 2, "2026-12-10 08:00");
    const struct {
        const char* m_what;
        bool m_twoStep;
        unsigned m_cutAtWrite;
        bool m_cutAfterJob;
        bool m_writable;
        const char* m_before; // the journal's text before the first dialog
        std::vector<std::string> m_records;
        std::vector<std::string> m_steps;
        const char* m_result; // the "checked" result a fresh dialog writes; "" for none
        bool m_line1Unfinished;
        const char* m_found = "27.10"; // the version the "checked" record found
        const char* m_printer = "";    // more of the printer's scenario
    } cases[] = {
        {"one step",
         false,
         0,
         false,
         true,
         "",
         {"started", "ended", "checked"},
         {"single"},
         "took",
         false,
         "32.29"},
        {"two steps",
         true,
         0,
         false,
         true,
         "",
         {"started", "ended", "started", "ended", "checked"},
         {"1/2", "2/2"},
         "took",
         false,
         "33.36"},
        // The reply said success, and the printer came back on the firmware it had.
        {"not taken",
         false,
         0,
         false,
         true,
         "",
         {"started", "ended", "checked"},
         {"single"},
         "not-taken",
         true,
         "27.10",
         "takes-firmware = no\n"},
        // Still restarting when the next dialog selects it: its old version says nothing yet.
        {"not back yet",
         false,
         0,
         false,
         true,
         "",
         {"started", "ended"},
         {"single"},
         "",
         false,
         "",
         "takes-firmware = no\nrestart-ms = 600000\n"},
        {"cut in the middle of the job",
         false,
         2,
         false,
         true,
         "",
         {"started", "checked"},
         {"single"},
         "interrupted",
         true},
        {"cut after the job went out",
         false,
         0,
         true,
         true,
         "",
         {"started", "checked"},
         {"single"},
         "took",
         false,
         "32.29"},
        // A line torn by a power loss, then a record of the run that was cut.
        {"torn line",
         false,
         2,
         false,
         true,
         "{\"record\": \"started\", \"id\": \"9-",
         {"started", "checked"},
         {"single"},
         "interrupted",
         true},
        {"journal not writable", false, 0, false, false, nullptr, {}, {}, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_what);
        CSimRig rig((c.m_twoStep ? kLisander + "restart-ms = 20000\n" : kTavik) + c.m_printer);
        if (c.m_twoStep) {
            LisanderCatalogue(rig);
        } else {
            TavikCatalogue(rig);
        }
        test::CFakeJournalStore store;
        if (c.m_before != nullptr) {
            store.m_current = std::string(c.m_before) + (*c.m_before != '\0' ? "\n" : "");
        }
        store.m_writable = c.m_writable;
        CCuttingSpooler spooler(*rig.m_spooler);
        spooler.m_cutAtWrite = c.m_cutAtWrite;
        spooler.m_cutAfterJob = c.m_cutAfterJob;
        {
            CUpdateJournal journal(store, "Sarnok", false);
            auto dlg = JournalledDialog(rig, spooler, journal);
            ASSERT_TRUE(dlg->OnInitDialog());
            rig.m_view.m_selected = 0;
            dlg->OnPrinterSelected();
            const bool cut = c.m_cutAtWrite != 0 || c.m_cutAfterJob;
            try {
                dlg->OnUpdateClicked();
                EXPECT_FALSE(cut);
            } catch (const CProcessEnded&) {
                EXPECT_TRUE(cut);
            }
            if (!cut) {
                // The journal changes nothing the click shows, written or not.
                EXPECT_EQ(rig.m_view.Status(2), Text(104));
                EXPECT_TRUE(dlg->m_clickOutcome.Updated());
            }
        }
        // The next start: another process, long after the printer's restart.
        rig.m_clock.m_now += 60000;
        store.m_pid = 5151;
        store.m_processStarted = "2";
        {
            CUpdateJournal journal(store, "Sarnok", false);
            CCuttingSpooler plain(*rig.m_spooler);
            auto dlg = JournalledDialog(rig, plain, journal);
            ASSERT_TRUE(dlg->OnInitDialog());
            rig.m_view.m_selected = 0;
            dlg->OnPrinterSelected();
            EXPECT_EQ(rig.m_view.Status(1) == unfinished, c.m_line1Unfinished)
                << rig.m_view.Status(1);
            EXPECT_EQ(journal.TakeProblems().size(),
                      c.m_before != nullptr && *c.m_before ? 1u : 0u);
        }

        std::vector<std::string> kinds;
        std::vector<std::string> steps;
        const auto records = Records(store);
        for (const auto& record : records) {
            kinds.push_back(record["record"]);
            if (record["record"] == "started") {
                steps.push_back(record["step"]);
                EXPECT_EQ(record["program"], "Sarnok");
                EXPECT_EQ(record["user"], "WORKSTATION\\tech");
                EXPECT_EQ(record["pid"], 4242);
                EXPECT_EQ(record["printer"], c.m_twoStep ? "Card B" : "Card A");
                EXPECT_EQ(record["port"], c.m_twoStep ? "USB002" : "USB001");
                // The firmware the selection found, for both steps of one click.
                EXPECT_EQ(record["from"], c.m_twoStep ? "25.80" : "27.10");
                EXPECT_EQ(record["sha256"].get<std::string>().size(), 64u);
            } else if (record["record"] == "ended") {
                EXPECT_EQ(record["outcome"], "success");
            } else {
                EXPECT_EQ(record["result"], c.m_result);
                EXPECT_EQ(record["found"], c.m_found);
            }
        }
        // The torn line stays as it was; only whole records follow it.
        if (c.m_before != nullptr && *c.m_before != '\0') {
            ASSERT_FALSE(kinds.empty());
        }
        EXPECT_EQ(kinds, c.m_records);
        EXPECT_EQ(steps, c.m_steps);
        if (!records.empty()) {
            EXPECT_EQ(records[0]["sha256"], c.m_twoStep ? Sha256Of(rig, "lisander_28_26.bin")
                                                        : Sha256Of(rig, "tavik_32_29.bin"));
            // Only the start must be on the disk before the job goes out.
            EXPECT_TRUE(store.m_flushed.at(0));
        }
    }
}

// What any program on the workstation could have left in the journal, and what a power loss
// leaves: every read is bounded, every field checked, and a bad line costs only itself.
TEST(SimEndToEndTest, TheJournalIsReadWithinBoundsAndFieldByField) {
    const auto started = [](const std::string& printer, const std::string& extra = "") {
        return "{\"record\":\"started\",\"id\":\"7-1-1\",\"time\":\"2026-12-10T08:00:00Z\","
               "\"program\":\"SarnokDeploy\",\"user\":\"NT AUTHORITY\\\\SYSTEM\",\"pid\":7,"
               "\"processStarted\":\"100\",\"printer\":\"" +
               printer +
               "\",\"port\":\"USB001\",\"model\":\"Tavik Series\",\"from\":\"27.10\","
               "\"step\":\"single\",\"firmware\":\"32.29\",\"file\":\"tavik_32_29.bin\","
               "\"sha256\":\"\"" +
               extra + "}\n";
    };
    const std::string interrupted = started("Card A");
    // An ended record of a run from before: valid, and about no printer listed now.
    const std::string other =
        "{\"record\":\"ended\",\"id\":\"1\",\"time\":\"2026-12-10T07:00:00Z\",\"outcome\":"
        "\"success\"}\n";
    std::string manyRecords = interrupted;
    for (std::size_t i = 0; i < kJournalRecordLimit; ++i) {
        manyRecords += other;
    }
    const struct {
        const char* m_what;
        std::string m_text;
        std::uint64_t m_bootTime;
        test::CFakeJournalStore::CProcess m_process;
        const char* m_outcome; // the last update of Card A; nullptr: none known
        std::size_t m_skipped;
    } cases[] = {
        {"an interrupted run", interrupted, 0, {}, "interrupted", 0},
        // 3 MiB: a 2.5 MiB line of garbage that the bounded read begins inside, then the run.
        {"behind 2.5 MiB of garbage",
         std::string(2621440, 'x') + "\n" + std::string(400000, ' ') + "\n" + interrupted,
         0,
         {},
         "interrupted",
         1},
        {"after a line longer than any record",
         std::string(kJournalLineLimit + 1, '{') + "\n" + interrupted,
         0,
         {},
         "interrupted",
         1},
        {"more records than are read", manyRecords, 0, {}, nullptr, 0},
        {"a NUL in a field", started("Card A\\u0000Card B"), 0, {}, nullptr, 1},
        {"an escape sequence in a field", started("Card A\\u001b[2J"), 0, {}, nullptr, 1},
        {"a field longer than any name",
         started(std::string(kJournalFieldLimit + 1, 'A')),
         0,
         {},
         nullptr,
         1},
        {"a time that is not the journal's",
         [&] {
             std::string text = interrupted;
             return text.replace(text.find("2026-12-10T08:00:00Z"), 20, "yesterday at eight!!");
         }(),
         0,
         {},
         nullptr,
         1},
        {"a program of another name",
         [&] {
             std::string text = interrupted;
             return text.replace(text.find("SarnokDeploy"), 12, "SomethingElse");
         }(),
         0,
         {},
         nullptr,
         1},
        {"a forged end with an unknown outcome",
         interrupted + "{\"record\":\"ended\",\"id\":\"7-1-1\",\"time\":\"2026-12-10T08:01:00Z\","
                       "\"outcome\":\"fine\"}\n",
         0,
         {},
         "interrupted",
         1},
        // The process that wrote the run: still there, gone, or not to be asked.
        {"its process still runs", interrupted, 0, {true, false}, "", 0},
        {"its process cannot be asked", interrupted, 0, {false, true}, "interrupted", 0},
        // Its id and start time name a running process, but it started before the last boot.
        {"its process started before the boot", interrupted, 101, {true, false}, "interrupted", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_what);
        test::CFakeJournalStore store;
        store.m_current = c.m_text;
        store.m_bootTime = c.m_bootTime;
        if (c.m_process.m_running) {
            store.m_running.insert("7@100");
        }
        if (c.m_process.m_unknown) {
            store.m_unknown.insert("7@100");
        }
        CUpdateJournal journal(store, "Sarnok", false);
        const CLastUpdate last = journal.Identified("Card A", "27.10", {});
        EXPECT_EQ(last.m_known, c.m_outcome != nullptr);
        if (c.m_outcome != nullptr) {
            EXPECT_EQ(last.m_outcome, c.m_outcome);
        }
        const std::vector<std::string> problems = journal.TakeProblems();
        if (c.m_skipped == 0) {
            EXPECT_TRUE(problems.empty()) << problems.front();
        } else {
            ASSERT_EQ(problems.size(), 1u);
            EXPECT_EQ(problems[0].find("update journal: " + std::to_string(c.m_skipped) +
                                       " line(s) skipped"),
                      0u)
                << problems[0];
        }
    }

    // A journal that is there but cannot be read is unknown, never empty.
    test::CFakeJournalStore locked;
    locked.m_current = interrupted;
    locked.m_unreadable = true;
    CUpdateJournal journal(locked, "SarnokDeploy", true);
    EXPECT_FALSE(journal.Identified("Card A", "27.10", {}).m_known);
    EXPECT_TRUE(journal.Unreadable());
    ASSERT_EQ(journal.TakeProblems().size(), 1u);
    // A time that is no time of ours never reaches a status line, the log or an event.
    EXPECT_EQ(journal.LocalMinute("2026-12-10T08:00:00Z"), "2026-12-10 08:00");
    EXPECT_EQ(journal.LocalMinute("\x1b[2Jlater"), "?");
}

} // namespace
} // namespace sarnok::e2e
