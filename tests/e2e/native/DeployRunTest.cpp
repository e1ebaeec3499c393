// The deployment console's runs over the virtual card printers, from the command line to the
// exit code, what it prints and what it asks of the printers: what a deployment system reads
// whatever ended the run.
#include "SimDeployPlatform.h"
#include "catalogue/Checksum.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <functional>

namespace sarnok::e2e {
namespace {

const std::string kCardA = "[printer]\nname = Card A\nport = USB001\nmodel = Tavik Series\n"
                           "firmware = 27.10\nrestart-ms = 20000\n";
const std::string kCardB = "[printer]\nname = Card B\nport = USB002\nmodel = Tavik Series\n"
                           "firmware = 27.10\nrestart-ms = 20000\n";
const std::string kOffice = "[printer]\nname = Office\nport = LPT1:\nprocessor = winprint\n";
const std::string kCatalogueBytes = "[27.10]\r\nFilename=tavik_32_29.bin\r\nVersion=32.29\r\n";
// The SHA-256 of kOtherCatalogue (sha256sum), in upper case as an administrator may paste it.
const std::string kOtherCatalogue = "[99.99]\r\n";
constexpr const char* kOtherSha256 =
    "03638F0E1E3EB8B9726B6960E40045883FCB6C54F6FB9C8B23DED8D2C3F7129E";

// A printer that takes two steps from 25.80: 28.26, then 33.36.
const std::string kCardC = "[printer]\nname = Card C\nport = USB003\nmodel = Lisander Series\n"
                           "firmware = 25.80\nrestart-ms = 20000\n";

void OfferLisander(CSimDeployPlatform&, CSimRig& rig) {
    rig.AddFirmware("lisander_28_26.bin", "Lisander Series", "28.26", 6000);
    rig.AddFirmware("lisander_33_36.bin", "Lisander Series", "33.36", 8100);
    rig.Catalogue("25.80", "IntermediateFileName", "lisander_28_26.bin");
    rig.Catalogue("25.80", "IntermediateVersion", "28.26");
    rig.Catalogue("25.80", "Filename", "lisander_33_36.bin");
    rig.Catalogue("25.80", "Version", "33.36");
}

// The catalogue offers Card A's 27.10 the firmware 32.29, a 4500-byte image.
void OfferTavik(CSimRig& rig) {
    rig.AddFirmware("tavik_32_29.bin", "Tavik Series", "32.29", 4500);
    rig.Catalogue("27.10", "Filename", "tavik_32_29.bin");
    rig.Catalogue("27.10", "Version", "32.29");
}

std::string ReadBack(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        text.append(chunk, n);
    }
    return text;
}

struct CRun {
    int m_exitCode = -1;
    std::string m_out;
    std::string m_err;
};

CRun RunConsole(CSimDeployPlatform& platform, const std::vector<std::string>& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    platform.m_out = out;
    platform.m_err = err;
    CRun run;
    run.m_exitCode = deploy::RunDeploy(args, platform);
    run.m_out = ReadBack(out);
    run.m_err = ReadBack(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

struct CRunCase {
    const char* m_what;
    std::string m_scenario;
    std::vector<std::string> m_args;
    int m_exitCode;
    // For --json runs: the document's "error" (empty: null) and how many printers it lists.
    std::string m_error;
    std::size_t m_printers;
    // Something stdout must hold ("" for nothing at all, when not a JSON run).
    std::string m_out;
    // The status library may be asked about the printers; the printer may be sent a job.
    bool m_queried;
    bool m_sent;
    std::function<void(CSimDeployPlatform&, CSimRig&)> m_set;
    // More that stdout must hold, and something it must not.
    std::vector<std::string> m_alsoOut = {};
    std::string m_notOut = {};
};

TEST(DeployRunTest, EveryExitSaysWhatHappened) {
    using deploy::ELockAnswer;
    const std::vector<std::string> update = {"update", "--all", "--json"};
    const std::vector<std::string> status = {"status", "--json"};
    const auto lockTaken = [](CSimDeployPlatform& p, CSimRig&) { p.m_lock = ELockAnswer::Taken; };
    const auto noCatalogue = [](CSimDeployPlatform& p, CSimRig&) { p.m_catalogue.reset(); };
    const auto noLibrary = [](CSimDeployPlatform& p, CSimRig&) { p.m_statusLibrary = false; };
    const std::vector<CRunCase> cases = {
        // Updated once the printer reports the firmware, polled every 2 s through its 20 s
        // restart.
        {"updated",
         kCardA,
         update,
         0,
         "",
         1,
         "\"updated\"",
         true,
         true,
         {},
         {"\"confirmed\": true", "\"confirmSeconds\": 20"}},
        {"updated, as text",
         kCardA,
         {"update", "--all"},
         0,
         "",
         0,
         "waiting up to 300 s for Card A to report 32.29",
         true,
         true,
         {},
         {"Card A reports 32.29 after 20 s", "Result: Card A: updated"}},
        {"a restart longer than the confirmation",
         kCardA,
         {"update", "--all", "--confirm-timeout", "10", "--json"},
         1,
         "",
         1,
         "\"outcome\": \"unconfirmed\"",
         true,
         true,
         {},
         {"\"confirmed\": false", "\"confirmSeconds\": 10"}},
        {"back on its old firmware",
         kCardA + "takes-firmware = no\n",
         {"update", "--all", "--confirm-timeout", "60"},
         1,
         "",
         0,
         "Card A reports 27.10 after 60 s, not 32.29: the update is not confirmed",
         true,
         true,
         {},
         {"Result: Card A: unconfirmed", "0 failed, 1 unconfirmed, 0 busy; exit code 1"}},
        // The catalogue names a version that its file is not: the printer takes the file's.
        {"back on another firmware",
         kCardA,
         update,
         1,
         "",
         1,
         "\"outcome\": \"failed\"",
         true,
         true,
         [](CSimDeployPlatform&, CSimRig& rig) { rig.Catalogue("27.10", "Version", "32.30"); },
         {"\"confirmed\": false", "\"confirmSeconds\": 20"}},
        {"no confirmation asked",
         kCardA,
         {"update", "--all", "--confirm-timeout", "0"},
         0,
         "",
         0,
         "Result: Card A: updated",
         true,
         true,
         {},
         {},
         "waiting up to"},
        // The first step's wait is for the intermediate version; the confirmation for the last.
        {"two steps confirm the final version",
         kCardC,
         {"update", "--all"},
         0,
         "",
         0,
         "waiting up to 300 s for Card C to report 33.36",
         true,
         true,
         OfferLisander,
         {"Card C reports 33.36 after 20 s", "Result: Card C: updated (two-step"},
         "to report 28.26"},
        {"a lock that cannot be made does not stop an update", kCardA, update, 0, "", 1,
         "\"updated\"", true, true,
         [](CSimDeployPlatform& p, CSimRig&) { p.m_lock = ELockAnswer::Unavailable; }},
        {"update with the lock taken", kCardA, update, 1618, "busy", 0, "", false, false,
         lockTaken},
        {"status with the lock taken", kCardA, status, 1618, "busy", 0, "", false, false,
         lockTaken},
        {"status with the lock taken, as text",
         kCardA,
         {"status"},
         1618,
         "",
         0,
         "Another program holds the update lock",
         false,
         false,
         lockTaken},
        // Not installed: the install then meets the lock and answers 1618, which is retried.
        {"detect with the lock taken",
         kCardB,
         {"detect"},
         0,
         "",
         0,
         "",
         false,
         false,
         [](CSimDeployPlatform& p, CSimRig&) {
             p.m_lock = ELockAnswer::Taken;
             p.m_catalogue = kOtherCatalogue;
         }},
        // A name is the spooler's bytes: an escape in it must not clear the operator's screen.
        {"a printer named with an escape",
         "[printer]\nname = Card\x1b[2JA" + kCardA.substr(kCardA.find("\nport")),
         {"update", "--all"},
         0,
         "",
         0,
         "Result: Card [2JA: updated",
         true,
         true,
         {}},
        {"update without a catalogue", kCardA, update, 2, "no-catalogue", 0, "", false, false,
         noCatalogue},
        {"status without a catalogue", kCardA, status, 2, "no-catalogue", 0, "", false, false,
         noCatalogue},
        {"update when the list cannot be read",
         "[sim]\nenum-error = 1722\n" + kCardA,
         update,
         2,
         "no-printer-list",
         0,
         "",
         false,
         false,
         {}},
        {"update without the status library", kCardA, update, 2, "no-status-library", 0, "", false,
         false, noLibrary},
        {"status without the status library", kCardA, status, 2, "no-status-library", 0, "", false,
         false, noLibrary},
        {"status without the status library or a card printer", kOffice, status, 0, "", 0, "",
         false, false, noLibrary},
        {"detect without the status library",
         kCardA,
         {"detect"},
         0,
         "",
         0,
         "No card printer software on this workstation.",
         false,
         false,
         noLibrary},
        {"a named printer missing",
         kCardA,
         {"update", "--printer", "Card Z", "--printer", "card a", "--json"},
         3,
         "printer-not-found",
         0,
         "\"missing\": [\n    \"Card Z\"\n  ]",
         false,
         false,
         {}},
        // Switched off at night: nothing was sent, so it is retried rather than failed.
        {"a printer that cannot be identified",
         kCardA + "info-size-zero = 2\n",
         update,
         1618,
         "",
         1,
         "\"busy\"",
         true,
         false,
         {}},
        {"detect with a printer that cannot be identified",
         kCardA + "info-size-zero = 2\n",
         {"detect"},
         0,
         "",
         0,
         "",
         true,
         false,
         {}},
        // The package's catalogue decides only when it is the one installed: Card A would get
        // firmware from the catalogue installed, and the package checked is another.
        {"detect with another package's catalogue",
         kCardA,
         {"detect", "--catalogue-sha256", kOtherSha256},
         0,
         "",
         0,
         "",
         false,
         false,
         {}},
        {"detect with this package's catalogue",
         kCardA,
         {"detect", "--catalogue-sha256", kOtherSha256},
         0,
         "",
         0,
         "No card printer would receive firmware",
         true,
         false,
         [](CSimDeployPlatform& p, CSimRig& rig) {
             p.m_catalogue = kOtherCatalogue;
             rig.m_profile.m_sections.clear();
         }},
        // Whatever escapes still ends in one document, an exit code and a record.
        {"update out of memory", kCardA, update, 1, "internal", 0, "", false, false,
         [](CSimDeployPlatform& p, CSimRig&) { p.m_outOfMemory = true; }},
        {"status out of memory", kCardA, status, 1, "internal", 0, "", false, false,
         [](CSimDeployPlatform& p, CSimRig&) { p.m_outOfMemory = true; }},
        // A log where a user could plant a link is a usage error: nothing is touched.
        {"a log in a folder users may change",
         kCardA,
         {"update", "--all", "--log", "C:\\Windows\\Temp\\x.log"},
         2,
         "",
         0,
         "",
         false,
         false,
         [](CSimDeployPlatform& p, CSimRig&) { p.m_logFolderProblem = "Users may create files"; }},
        {"history unelevated",
         kCardA,
         {"history"},
         2,
         "",
         0,
         "",
         false,
         false,
         [](CSimDeployPlatform& p, CSimRig&) { p.m_elevated = false; }},
        {"detect with a malformed digest",
         kCardA,
         {"detect", "--catalogue-sha256", "00"},
         2,
         "",
         0,
         "",
         false,
         false,
         {}},
    };
    for (const CRunCase& c : cases) {
        SCOPED_TRACE(c.m_what);
        CSimRig rig(c.m_scenario);
        OfferTavik(rig);
        CSimDeployPlatform platform(rig, rig.m_profile);
        platform.m_catalogue = kCatalogueBytes;
        if (c.m_set) {
            c.m_set(platform, rig);
        }
        const CRun run = RunConsole(platform, c.m_args);
        EXPECT_EQ(run.m_exitCode, c.m_exitCode) << run.m_out << run.m_err;
        const bool json = c.m_args.back() == "--json";
        if (json) {
            const auto document = nlohmann::json::parse(run.m_out);
            EXPECT_EQ(document["version"], "0.0.0");
            EXPECT_EQ(document["exitCode"], c.m_exitCode);
            if (c.m_error.empty()) {
                EXPECT_TRUE(document["error"].is_null()) << document["error"];
            } else {
                EXPECT_EQ(document["error"], c.m_error);
            }
            EXPECT_EQ(document["printers"].size(), c.m_printers);
        }
        if (c.m_out.empty() && !json) {
            EXPECT_EQ(run.m_out, "");
        } else {
            EXPECT_NE(run.m_out.find(c.m_out), std::string::npos) << run.m_out;
        }
        for (const std::string& more : c.m_alsoOut) {
            EXPECT_NE(run.m_out.find(more), std::string::npos) << more << "\n" << run.m_out;
        }
        if (!c.m_notOut.empty()) {
            EXPECT_EQ(run.m_out.find(c.m_notOut), std::string::npos) << run.m_out;
        }
        EXPECT_EQ(rig.Logged("ORN_API"), c.m_queried);
        EXPECT_EQ(rig.Logged("ZevStartDocPrinter"), c.m_sent);
    }
}

TEST(DeployRunTest, CtrlCWaitsForTheClickUnderWayAndStartsNoOther) {
    CSimRig rig(kCardA + kCardB);
    OfferTavik(rig);
    CSimDeployPlatform platform(rig, rig.m_profile);
    platform.m_catalogue = kCatalogueBytes;
    const std::string logPath = ::testing::TempDir() + "ctrl-c.log";
    std::remove(logPath.c_str());
    // Ctrl+C comes while Card A's job is being sent, and the console is closed too.
    platform.m_interrupt = [&] {
        if (platform.m_closeNote) {
            platform.m_closeNote("the console is being closed");
        }
        return rig.Logged("ZevStartDocPrinter");
    };
    const CRun run = RunConsole(platform, {"update", "--all", "--json", "--log", logPath});

    EXPECT_EQ(run.m_exitCode, 1618);
    const auto document = nlohmann::json::parse(run.m_out);
    EXPECT_EQ(document["error"], "interrupted");
    ASSERT_EQ(document["printers"].size(), 1u);
    EXPECT_EQ(document["printers"][0]["outcome"], "updated");
    EXPECT_EQ(rig.Count("ZevStartDocPrinter"), 1u);
    EXPECT_FALSE(rig.Logged("ResumePrinterPollingA(\"Card B\""));
    std::FILE* log = std::fopen(logPath.c_str(), "rb");
    ASSERT_NE(log, nullptr);
    const std::string text = ReadBack(log);
    std::fclose(log);
    EXPECT_NE(text.find("Ctrl+C or Ctrl+Break came: stopping before Card B"), std::string::npos);
    EXPECT_NE(text.find("the console is being closed: Windows ends this program now"),
              std::string::npos);
    EXPECT_NE(text.find("exit code 1618 (interrupted)"), std::string::npos);
}

TEST(DeployRunTest, DetectionScriptRunsDetectWithThisCatalogue) {
    CSimRig rig(kCardA);
    CSimDeployPlatform platform(rig, rig.m_profile);
    platform.m_catalogue = kCatalogueBytes;
    const std::string digest = FormatSha256(*platform.CatalogueSha256());
    const CRun script = RunConsole(platform, {"detection-script"});
    EXPECT_EQ(script.m_exitCode, 0);
    EXPECT_NE(script.m_out.find("$sha256 = '" + digest + "'"), std::string::npos);
    EXPECT_NE(script.m_out.find("detect --catalogue-sha256 $sha256"), std::string::npos);
    EXPECT_NE(script.m_out.find("${env:ProgramFiles(x86)}"), std::string::npos);
    // A folder with a quote in it stays one PowerShell literal.
    const CRun mine =
        RunConsole(platform, {"detection-script", "--folder", "D:\\Bob's Apps\\Brelwin"});
    EXPECT_NE(mine.m_out.find("$folder = 'D:\\Bob''s Apps\\Brelwin'"), std::string::npos);
    platform.m_catalogue.reset();
    EXPECT_EQ(RunConsole(platform, {"detection-script"}).m_exitCode, 2);
}

// A run another program started and never ended: the printer still reports the old version.
const std::string kCutRun =
    R"({"record": "started", "id": "9-1-1", "time": "2026-12-10T07:00:00Z", "program": "Sarnok",)"
    R"( "user": "WS\\tech", "pid": 9, "processStarted": "1", "printer": "Card A",)"
    R"( "port": "USB001", "model": "Tavik Series", "from": "27.10", "step": "single",)"
    R"( "firmware": "32.29", "file": "tavik_32_29.bin", "sha256": ""})"
    "\n";

TEST(DeployRunTest, TheJournalTellsStatusUpdateAndHistoryOfAnInterruptedUpdate) {
    CSimRig rig(kCardA);
    OfferTavik(rig);
    CSimDeployPlatform platform(rig, rig.m_profile);
    platform.m_catalogue = kCatalogueBytes;
    platform.m_journalStore.m_current = kCutRun;

    const CRun text = RunConsole(platform, {"status"});
    EXPECT_NE(text.m_out.find("library 7.5.120  interrupted 2026-12-10 07:00  -> update to 32.29"),
              std::string::npos)
        << text.m_out;
    const auto status = nlohmann::json::parse(RunConsole(platform, {"status", "--json"}).m_out);
    EXPECT_EQ(status["printers"][0]["lastUpdate"]["outcome"], "interrupted");
    EXPECT_EQ(status["printers"][0]["lastUpdate"]["program"], "Sarnok");

    const CRun update = RunConsole(platform, {"update", "--all"});
    EXPECT_EQ(update.m_exitCode, 0);
    EXPECT_NE(update.m_out.find("Card A  the last firmware update (started 2026-12-10 07:00 by "
                                "Sarnok, firmware 32.29, step single) did not finish"),
              std::string::npos)
        << update.m_out;
    EXPECT_NE(update.m_out.find("Result: Card A: updated"), std::string::npos);

    const auto history = nlohmann::json::parse(RunConsole(platform, {"history", "--json"}).m_out);
    ASSERT_EQ(history["runs"].size(), 2u);
    // The printer reported the firmware before the update was called done.
    EXPECT_EQ(history["runs"][0]["outcome"], "took");
    EXPECT_EQ(history["runs"][0]["program"], "SarnokDeploy");
    EXPECT_EQ(history["runs"][1]["outcome"], "interrupted");
    EXPECT_EQ(history["runs"][1]["user"], "WS\\tech");
    // The update that succeeded cleared the interruption.
    const auto after = nlohmann::json::parse(RunConsole(platform, {"status", "--json"}).m_out);
    EXPECT_EQ(after["printers"][0]["lastUpdate"]["outcome"], "took");
    EXPECT_EQ(RunConsole(platform, {"history", "--printer", "Card Z"}).m_out,
              "The journal records no update of Card Z.\n");

    // A journal that cannot be written changes nothing of the update but a warning. Card A
    // has its new firmware now, so another printer is updated.
    CSimRig other(kCardA);
    OfferTavik(other);
    CSimDeployPlatform unwritable(other, other.m_profile);
    unwritable.m_catalogue = kCatalogueBytes;
    unwritable.m_journalStore.m_writable = false;
    const CRun unwritten = RunConsole(unwritable, {"update", "--all"});
    EXPECT_EQ(unwritten.m_exitCode, 0);
    EXPECT_NE(unwritten.m_out.find("Result: Card A: updated"), std::string::npos)
        << unwritten.m_out;
    EXPECT_NE(unwritten.m_err.find("warning: update journal: the started record could not be "
                                   "written"),
              std::string::npos)
        << unwritten.m_err;

    CSimDeployPlatform fresh(rig, rig.m_profile);
    EXPECT_EQ(RunConsole(fresh, {"history"}).m_exitCode, 2);

    // A printer that said success and comes back on its old firmware: left alone while it is
    // still restarting, settled not-taken once it is back, as status and history tell.
    CSimRig stubborn(kCardA + "takes-firmware = no\n");
    OfferTavik(stubborn);
    CSimDeployPlatform refusing(stubborn, stubborn.m_profile);
    refusing.m_catalogue = kCatalogueBytes;
    refusing.m_journalStore.m_current = ""; // made by an earlier run
    EXPECT_EQ(RunConsole(refusing, {"update", "--all", "--confirm-timeout", "10"}).m_exitCode, 1);
    const auto restarting = nlohmann::json::parse(RunConsole(refusing, {"status", "--json"}).m_out);
    EXPECT_EQ(restarting["printers"][0]["lastUpdate"]["outcome"], "success");
    stubborn.m_clock.m_now += 20000;
    const CRun back = RunConsole(refusing, {"status"});
    EXPECT_NE(back.m_out.find("library 7.5.120  not-taken 2026-12-10 08:"), std::string::npos)
        << back.m_out;
    const auto settled = nlohmann::json::parse(RunConsole(refusing, {"status", "--json"}).m_out);
    EXPECT_EQ(settled["printers"][0]["lastUpdate"]["outcome"], "not-taken");
    const auto told = nlohmann::json::parse(RunConsole(refusing, {"history", "--json"}).m_out);
    EXPECT_EQ(told["runs"][0]["outcome"], "not-taken");
    EXPECT_NE(RunConsole(refusing, {"update", "--all", "--confirm-timeout", "0"})
                  .m_out.find("was not taken: the printer came back on its old firmware"),
              std::string::npos);

    // Past 1 MiB the journal becomes the older file before the next run's start, and both are
    // still read.
    CSimRig again(kCardA);
    OfferTavik(again);
    CSimDeployPlatform full(again, again.m_profile);
    full.m_catalogue = kCatalogueBytes;
    std::string big = kCutRun;
    while (big.size() <= 1024 * 1024) {
        big += R"({"record": "ended", "id": "1-1-1", "time": "2025-01-01T00:00:00Z"})"
               "\n";
    }
    full.m_journalStore.m_current = big;
    EXPECT_EQ(RunConsole(full, {"update", "--all"}).m_exitCode, 0);
    // The older file ends with the cut run's settling, written at the identification.
    EXPECT_EQ(full.m_journalStore.m_older.value_or("").rfind(big, 0), 0u);
    EXPECT_EQ(full.m_journalStore.m_current.value_or("").find("{\"record\":\"started\""), 0u);
    const auto runs = nlohmann::json::parse(RunConsole(full, {"history", "--json"}).m_out);
    EXPECT_EQ(runs["runs"].size(), 2u);
}

// What reaches the Event Log from an update: one event for each click's end, the lock held, an
// interrupted update found, and the run's end.
TEST(DeployRunTest, EveryUpdateEndsInTheEventLog) {
    const struct {
        const char* m_what;
        std::string m_scenario;
        std::vector<std::string> m_args;
        std::vector<unsigned> m_ids;
        std::vector<std::string> m_first; // the first event's strings
        bool m_lockTaken;
        bool m_cutRun;
        bool m_logTakes;
    } cases[] = {
        {"updated",
         kCardA,
         {"update", "--all"},
         {1000, 1004},
         {"Card A", "Tavik Series", "27.10", "32.29", "single", "SarnokDeploy",
          "NT AUTHORITY\\SYSTEM"},
         false,
         false,
         true},
        {"the lock taken",
         kCardA,
         {"update", "--all"},
         {1002, 1004},
         {"", "another program holds the update lock", "SarnokDeploy", "NT AUTHORITY\\SYSTEM"},
         true,
         false,
         true},
        {"busy before anything was sent",
         kCardA + "polling = never-settles\n",
         {"update", "--all"},
         {1002, 1004},
         {"Card A", "printer-busy", "SarnokDeploy", "NT AUTHORITY\\SYSTEM"},
         false,
         false,
         true},
        {"an interrupted update found by status",
         kCardA,
         {"status"},
         {1003},
         {"Card A", "2026-12-10T07:00:00Z", "32.29", "Sarnok"},
         false,
         true,
         true},
        // The reply said success; the printer was still restarting when the time was up.
        {"unconfirmed",
         kCardA,
         {"update", "--all", "--confirm-timeout", "10"},
         {1001, 1004},
         {"Card A", "Tavik Series", "27.10", "32.29", "unconfirmed", "",
          test::StringTable().at(104), "SarnokDeploy", "NT AUTHORITY\\SYSTEM"},
         false,
         false,
         true},
        {"the Event Log takes nothing",
         kCardA,
         {"update", "--all"},
         {1000, 1004},
         {},
         false,
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_what);
        CSimRig rig(c.m_scenario);
        OfferTavik(rig);
        CSimDeployPlatform platform(rig, rig.m_profile);
        platform.m_catalogue = kCatalogueBytes;
        if (c.m_lockTaken) {
            platform.m_lock = deploy::ELockAnswer::Taken;
        }
        if (c.m_cutRun) {
            platform.m_journalStore.m_current = kCutRun;
        }
        platform.m_events.m_takes = c.m_logTakes;
        const std::string logPath = ::testing::TempDir() + "events.log";
        std::remove(logPath.c_str());
        std::vector<std::string> args = c.m_args;
        if (args[0] == "update") {
            args.insert(args.end(), {"--log", logPath});
        }
        RunConsole(platform, args);

        std::vector<unsigned> ids;
        for (const auto& event : platform.m_events.m_events) {
            ids.push_back(event.m_id);
        }
        EXPECT_EQ(ids, c.m_ids);
        EXPECT_EQ(platform.m_registrations, 1);
        if (!c.m_first.empty() && !ids.empty()) {
            EXPECT_EQ(platform.m_events.m_events[0].m_strings, c.m_first);
        }
        if (!c.m_logTakes) {
            std::FILE* log = std::fopen(logPath.c_str(), "rb");
            ASSERT_NE(log, nullptr);
            const std::string text = ReadBack(log);
            std::fclose(log);
            EXPECT_NE(text.find("warning: the Event Log did not take event 1000"),
                      std::string::npos);
            EXPECT_NE(text.find("type=\"2\""), std::string::npos);
        }
    }
}

} // namespace
} // namespace sarnok::e2e
