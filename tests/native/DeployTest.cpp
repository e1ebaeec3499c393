// The deployment console's two tables a deployment system relies on: which command lines are
// accepted, and which exit code a run's outcomes give.
#include "DeployOptions.h"
#include "LogRecord.h"
#include "TrustedFolders.h"
#include "app/ClickEvent.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>

namespace sarnok::deploy {
namespace {

struct CParseCase {
    std::vector<std::string> m_args;
    bool m_accepted = false;
    ECommand m_command = ECommand::Help;
    bool m_all = false;
    std::size_t m_printers = 0;
    bool m_reinstall = false;
    bool m_json = false;
    std::string m_log = {};
    std::string m_sha256 = {};
    std::uint32_t m_confirm = 300;
};

const std::string kDigest = "00112233445566778899AABBCCDDEEFF00112233445566778899aabbccddeeff";

TEST(DeployOptionsTest, CommandLines) {
    const std::vector<CParseCase> cases = {
        {{"status"}, true, ECommand::Status, false, 0, false, false, ""},
        {{"status", "--json"}, true, ECommand::Status, false, 0, false, true, ""},
        {{"detect"}, true, ECommand::Detect, false, 0, false, false, ""},
        {{"update", "--all"}, true, ECommand::Update, true, 0, false, false, ""},
        {{"update", "--printer", "Card A", "--printer", "Card B", "--reinstall", "--log",
          "C:\\x.log", "--json"},
         true,
         ECommand::Update,
         false,
         2,
         true,
         true,
         "C:\\x.log"},
        {{"--help"}, true, ECommand::Help, false, 0, false, false, ""},
        {{"--version"}, true, ECommand::Version},
        {{"detection-script"}, true, ECommand::DetectionScript},
        {{"detection-script", "--folder", "D:\\Apps\\Brelwin"}, true, ECommand::DetectionScript},
        // Either case on the command line; compared in lower case with the catalogue's.
        {{"detect", "--catalogue-sha256", kDigest},
         true,
         ECommand::Detect,
         false,
         0,
         false,
         false,
         "",
         "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"},
        {{"update", "--all", "--confirm-timeout", "20"},
         true,
         ECommand::Update,
         true,
         0,
         false,
         false,
         "",
         "",
         20},
        {{"update", "--all", "--confirm-timeout", "0"},
         true,
         ECommand::Update,
         true,
         0,
         false,
         false,
         "",
         "",
         0},
        // Usage errors: nothing may be touched.
        {{"update", "--all", "--confirm-timeout"}, false},
        {{"update", "--all", "--confirm-timeout", "5m"}, false},
        {{"update", "--all", "--confirm-timeout", "-1"}, false},
        {{"update", "--all", "--confirm-timeout", "86401"}, false},
        {{"update", "--all", "--confirm-timeout", "1", "--confirm-timeout", "2"}, false},
        {{"status", "--confirm-timeout", "20"}, false},
        {{}, false},
        {{"install"}, false},
        {{"update"}, false},                                 // neither --all nor --printer
        {{"update", "--all", "--printer", "Card A"}, false}, // both
        {{"update", "--printer"}, false},                    // missing value
        {{"update", "--printer", ""}, false},
        {{"update", "--all", "--log"}, false},
        {{"update", "--all", "--log", "a", "--log", "b"}, false},
        {{"update", "--all", "--force"}, false},
        {{"status", "--all"}, false}, // an update option elsewhere
        {{"status", "--reinstall"}, false},
        {{"detect", "--json"}, false}, // detection rules read the output itself
        {{"status", "extra"}, false},
        {{"--help", "status"}, false},
        {{"--version", "status"}, false},
        {{"detect", "--catalogue-sha256", kDigest.substr(1)}, false},
        {{"detect", "--catalogue-sha256", kDigest.substr(1) + "g"}, false},
        {{"detect", "--catalogue-sha256"}, false},
        {{"detect", "--catalogue-sha256", kDigest, "--catalogue-sha256", kDigest}, false},
        {{"status", "--catalogue-sha256", kDigest}, false},
        {{"detection-script", "--json"}, false},
        {{"detection-script", "--folder"}, false},
    };
    for (const CParseCase& c : cases) {
        std::string joined;
        for (const std::string& arg : c.m_args) {
            joined += " [" + arg + "]";
        }
        SCOPED_TRACE(joined);
        CDeployOptions options;
        std::string error;
        ASSERT_EQ(ParseArguments(c.m_args, &options, &error), c.m_accepted) << error;
        if (!c.m_accepted) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(options.m_command, c.m_command);
        EXPECT_EQ(options.m_all, c.m_all);
        EXPECT_EQ(options.m_printers.size(), c.m_printers);
        EXPECT_EQ(options.m_reinstall, c.m_reinstall);
        EXPECT_EQ(options.m_json, c.m_json);
        EXPECT_EQ(options.m_logFile, c.m_log);
        EXPECT_EQ(options.m_catalogueSha256, c.m_sha256);
        EXPECT_EQ(options.m_confirmTimeoutSeconds, c.m_confirm);
    }
}

CClickOutcome Click(ERunOutcome run, EUpdateStep step = EUpdateStep::Single,
                    bool sentEarlier = false, bool intermediateNotReported = false,
                    EConfirmation confirmation = EConfirmation::NotAsked) {
    CClickOutcome click;
    click.m_confirmation = confirmation;
    click.m_run = run;
    click.m_step = step;
    click.m_sentEarlier = sentEarlier;
    click.m_intermediateNotReported = intermediateNotReported;
    return click;
}

TEST(DeployOptionsTest, OutcomesAndExitCodes) {
    using E = EPrinterOutcome;
    struct CCase {
        const char* m_what;
        EDecision m_decision;
        bool m_clicked;
        CClickOutcome m_click;
        E m_outcome;
        int m_exitCode;       // of a run with this printer alone
        unsigned m_event = 0; // the Event Log's id for a click's end
    };
    const std::vector<CCase> cases = {
        {"one step taken", EDecision::Update, true, Click(ERunOutcome::ReplySuccess), E::Updated, 0,
         1000},
        {"two steps taken", EDecision::TwoStep, true,
         Click(ERunOutcome::ReplySuccess, EUpdateStep::Final, true), E::Updated, 0, 1000},
        {"reinstalled", EDecision::SameVersion, true, Click(ERunOutcome::ReplySuccess), E::Updated,
         0, 1000},
        {"one step reported by the printer", EDecision::Update, true,
         Click(ERunOutcome::ReplySuccess, EUpdateStep::Single, false, false,
               EConfirmation::Confirmed),
         E::Updated, 0, 1000},
        // The reply said success; the printer did not report the firmware in the time given.
        {"not confirmed", EDecision::Update, true,
         Click(ERunOutcome::ReplySuccess, EUpdateStep::Single, false, false,
               EConfirmation::Unconfirmed),
         E::Unconfirmed, 1, 1001},
        {"two steps not confirmed", EDecision::TwoStep, true,
         Click(ERunOutcome::ReplySuccess, EUpdateStep::Final, true, false,
               EConfirmation::Unconfirmed),
         E::Unconfirmed, 1, 1001},
        {"back on another version", EDecision::Update, true,
         Click(ERunOutcome::ReplySuccess, EUpdateStep::Single, false, false,
               EConfirmation::NotTaken),
         E::Failed, 1, 1001},
        {"latest firmware", EDecision::Current, false, {}, E::NothingToDo, 0},
        {"no entry", EDecision::NoFirmware, false, {}, E::NothingToDo, 0},
        {"same version declined", EDecision::SameVersion, false, {}, E::NothingToDo, 0},
        // Switched off at night: nothing was sent, and a later run may reach it.
        {"not identified", EDecision::Unreadable, false, {}, E::Busy, 1618},
        {"busy before sending", EDecision::Update, true, Click(ERunOutcome::PrinterNotReady),
         E::Busy, 1618, 1002},
        {"busy after the first step went out", EDecision::TwoStep, true,
         Click(ERunOutcome::PrinterNotReady, EUpdateStep::Final, true), E::Failed, 1, 1001},
        {"only the first step taken", EDecision::TwoStep, true,
         Click(ERunOutcome::ReplySuccess, EUpdateStep::Intermediate, true), E::Failed, 1, 1001},
        {"intermediate version never reported", EDecision::TwoStep, true,
         Click(ERunOutcome::ReplySuccess, EUpdateStep::Intermediate, true, true), E::Failed, 1,
         1001},
        {"error reply", EDecision::Update, true, Click(ERunOutcome::ReplyError), E::Failed, 1,
         1001},
        {"no reply", EDecision::Update, true, Click(ERunOutcome::NoStatusReply), E::Failed, 1,
         1001},
        {"file refused", EDecision::Update, true, Click(ERunOutcome::FileRefused), E::Failed, 1,
         1001},
        {"no driver library", EDecision::Update, true, Click(ERunOutcome::LibraryNotLoaded),
         E::Failed, 1, 1001},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_what);
        const E outcome = PrinterOutcome(c.m_decision, c.m_clicked, c.m_click);
        EXPECT_EQ(outcome, c.m_outcome);
        EXPECT_EQ(ExitCodeFor({outcome}), c.m_exitCode);
        if (c.m_clicked) {
            EXPECT_EQ(ClickEvent(c.m_click).m_id, c.m_event);
        }
        // Neither 3010 nor 1641: a printer's restart is not the workstation's.
        EXPECT_NE(ExitCodeFor({outcome}), 3010);
    }
    EXPECT_EQ(ExitCodeFor({}), 0);
    EXPECT_EQ(ExitCodeFor({E::Updated, E::NothingToDo}), 0);
    EXPECT_EQ(ExitCodeFor({E::Busy, E::Updated}), 1618);
    EXPECT_EQ(ExitCodeFor({E::Busy, E::Failed}), 1);
    EXPECT_EQ(ExitCodeFor({E::Busy, E::Unconfirmed}), 1);
    EXPECT_EQ(ClickEvent(Click(ERunOutcome::ReplySuccess, EUpdateStep::Single, false, false,
                               EConfirmation::Unconfirmed))
                  .m_outcome,
              "unconfirmed");
}

// CMTrace reads a record up to "]LOG]!>" and then its attributes: a text must never end the
// message early or split the line, and the bias keeps its sign on both sides of UTC.
TEST(DeployOptionsTest, LogRecordsAreOneCmTraceLineEach) {
    CLogStamp stamp{2026, 1, 5, 9, 7, 3, 42, 0, 1234};
    const struct {
        const char* m_message;
        ELogType m_type;
        int m_bias;
        const char* m_record;
    } cases[] = {
        {"Summary: exit code 0", ELogType::Information, 0,
         "<![LOG[Summary: exit code 0]LOG]!><time=\"09:07:03.042+0\" date=\"01-05-2026\" "
         "component=\"SarnokDeploy\" context=\"NT AUTHORITY\\SYSTEM\" type=\"1\" thread=\"1234\" "
         "file=\"\">"},
        {"busy", ELogType::Warning, -60, "busy]LOG]!><time=\"09:07:03.042-60\""},
        {"Result: Card A: failed", ELogType::Error, 480, "type=\"3\""},
        {"Click \"Update\" to begin.", ELogType::Information, 480,
         "<![LOG[Click \"Update\" to begin.]LOG]!><time=\"09:07:03.042+480\""},
        {"a printer named x]LOG]!>y", ELogType::Information, 0,
         "<![LOG[a printer named x] LOG]!>y]LOG]!><time="},
        {"two\r\nlines", ELogType::Information, 0, "<![LOG[two  lines]LOG]!>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_message);
        stamp.m_biasMinutes = c.m_bias;
        const std::string record =
            CmTraceRecord(c.m_message, c.m_type, stamp, "SarnokDeploy", "NT AUTHORITY\\SYSTEM");
        EXPECT_NE(record.find(c.m_record), std::string::npos) << record;
        EXPECT_EQ(record.find("]LOG]!>"), record.rfind("]LOG]!>")) << record;
        EXPECT_EQ(record.find('\n'), std::string::npos);
    }
    EXPECT_EQ(RotatedLogName("C:\\ProgramData\\Brelwin\\Logs\\SarnokDeploy.log"),
              "C:\\ProgramData\\Brelwin\\Logs\\SarnokDeploy.lo_");
    EXPECT_EQ(RotatedLogName("deploy.txt"), "deploy.tx_");
    EXPECT_FALSE(LogIsFull(1024 * 1024 - 1));
    EXPECT_TRUE(LogIsFull(1024 * 1024));

    // The event source is registered only where its key names no file, or another one.
    const std::string own = "C:\\Program Files (x86)\\Brelwin\\SarnokDeploy.exe";
    const struct {
        std::optional<std::string> m_registered;
        bool m_register;
    } keys[] = {
        {std::nullopt, true},
        {own, false},
        {"c:\\program files (x86)\\brelwin\\sarnokdeploy.exe", false},
        {"C:\\Old\\Brelwin\\SarnokDeploy.exe", true},
        {"", true},
    };
    for (const auto& k : keys) {
        EXPECT_EQ(SourceNeedsRegistration(k.m_registered, own), k.m_register)
            << k.m_registered.value_or("(no key)");
    }
}

// ProgramData as a user may have left it.
class CFakeFolders : public ISecureFolders {
public:
    CPathFacts Inspect(const std::string& path) override {
        const auto it = m_paths.find(path);
        return it == m_paths.end() ? CPathFacts{} : it->second;
    }
    bool CreateFolder(const std::string& path, const std::string& sddl) override {
        if (m_paths.count(path) != 0) {
            return false;
        }
        m_created.push_back(path + " " + sddl);
        m_paths[path] = {true, true, false, EOwner::System};
        return true;
    }
    bool ProtectFolder(const std::string& path, const std::string& sddl) override {
        m_protected.push_back(path + " " + sddl);
        return true;
    }
    std::FILE* OpenAppend(const std::string&, CFileFacts* facts) override {
        *facts = m_file;
        m_opened = std::tmpfile();
        return m_opened;
    }

    std::map<std::string, CPathFacts> m_paths;
    CFileFacts m_file{true, false, 1};
    std::vector<std::string> m_created;
    std::vector<std::string> m_protected;
    std::FILE* m_opened = nullptr;
};

// What a descriptor lets each trustee do: "P" protected, and per trustee the access of the
// ACEs that reach files ("OI" without or with "IO").
struct CGrants {
    bool m_protected = false;
    std::map<std::string, unsigned long> m_files;
    std::map<std::string, unsigned long> m_folders;
};

CGrants Grants(const std::string& sddl) {
    CGrants grants;
    grants.m_protected = sddl.rfind("D:P(", 0) == 0;
    const std::regex ace(R"(\(A;([A-Z]*);([0-9A-Za-z]+);;;([A-Z]{2})\))");
    for (auto it = std::sregex_iterator(sddl.begin(), sddl.end(), ace);
         it != std::sregex_iterator(); ++it) {
        const std::string flags = (*it)[1];
        const std::string right = (*it)[2];
        const unsigned long mask = right == "FA" ? 0x1f01ffUL : std::stoul(right, nullptr, 16);
        if (flags.find("IO") == std::string::npos) {
            grants.m_folders[(*it)[3]] |= mask;
        }
        if (flags.find("OI") != std::string::npos) {
            grants.m_files[(*it)[3]] |= mask;
        }
    }
    return grants;
}

TEST(DeployOptionsTest, FoldersSystemWritesAreTheAdministratorsAlone) {
    const std::string base = "C:\\ProgramData";
    const std::string brelwin = base + "\\Brelwin";
    const std::string logs = brelwin + "\\Logs";
    const CPathFacts admins{true, true, false, EOwner::Administrators};
    const CPathFacts system{true, true, false, EOwner::System};
    const struct {
        const char* m_what;
        std::map<std::string, CPathFacts> m_before;
        bool m_used;
        std::size_t m_created;
        std::size_t m_protected;
    } cases[] = {
        {"nothing there yet", {}, true, 2, 0},
        // Made by the previous release with ProgramData's ACL: the DACL is set again.
        {"made before by SYSTEM", {{brelwin, system}, {logs, admins}}, true, 0, 2},
        {"made first by a user", {{brelwin, {true, true, false, EOwner::Other}}}, false, 0, 0},
        {"made by the account running the console",
         {{brelwin, {true, true, false, EOwner::ThisAccount}}},
         true,
         1,
         1},
        {"Logs a junction",
         {{brelwin, system}, {logs, {true, true, true, EOwner::System}}},
         false,
         0,
         1},
        {"Logs a file",
         {{brelwin, system}, {logs, {true, false, false, EOwner::System}}},
         false,
         0,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_what);
        CFakeFolders folders;
        folders.m_paths = c.m_before;
        std::string why;
        const auto path =
            TrustedFolder(folders, base, {"Brelwin", "Logs"}, kProtectedFolderSddl, &why);
        EXPECT_EQ(path.has_value(), c.m_used) << why;
        EXPECT_EQ(path.value_or(""), c.m_used ? logs : "");
        EXPECT_EQ(why.empty(), c.m_used);
        EXPECT_EQ(folders.m_created.size(), c.m_created);
        EXPECT_EQ(folders.m_protected.size(), c.m_protected);
        for (const std::string& made : folders.m_created) {
            EXPECT_EQ(made.substr(made.find(' ') + 1), kProtectedFolderSddl);
        }
    }

    // The journal's folder: the same, and its files take appends from Authenticated Users.
    CFakeFolders folders;
    std::string why;
    ASSERT_TRUE(TrustedFolder(folders, base, {"Brelwin", "History"}, kJournalFolderSddl, &why));
    EXPECT_EQ(folders.m_created.back(), brelwin + "\\History " + kJournalFolderSddl);

    constexpr unsigned long kWrites = 0x2 | 0x10 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x40;
    constexpr unsigned long kAppend = 0x4;
    for (const char* sddl : {kProtectedFolderSddl, kJournalFolderSddl}) {
        SCOPED_TRACE(sddl);
        const CGrants grants = Grants(sddl);
        EXPECT_TRUE(grants.m_protected);
        EXPECT_EQ(grants.m_folders.at("SY"), 0x1f01ffUL);
        EXPECT_EQ(grants.m_folders.at("BA"), 0x1f01ffUL);
        for (const char* user : {"BU", "AU"}) {
            if (grants.m_files.count(user) == 0) {
                continue;
            }
            // Neither folder nor file may be changed, created in or deleted by a user.
            EXPECT_EQ(grants.m_folders.at(user) & (kWrites | kAppend), 0UL) << user;
            EXPECT_EQ(grants.m_files.at(user) & kWrites, 0UL) << user;
        }
        for (const auto& [trustee, mask] : grants.m_files) {
            EXPECT_TRUE(trustee == "SY" || trustee == "BA" || trustee == "BU" || trustee == "AU")
                << trustee;
        }
    }
    EXPECT_EQ(Grants(kProtectedFolderSddl).m_files.count("AU"), 0u);
    EXPECT_EQ(Grants(kJournalFolderSddl).m_files.at("AU") & kAppend, kAppend);

    // The log itself: a plain file with one name, or nothing is written.
    const struct {
        const char* m_what;
        CFileFacts m_facts;
        bool m_opened;
    } files[] = {
        {"a plain file", {true, false, 1}, true},
        {"a second name of another file", {true, false, 2}, false},
        {"a symbolic link", {true, true, 1}, false},
        {"a folder", {false, false, 1}, false},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.m_what);
        CFakeFolders folder;
        folder.m_file = f.m_facts;
        std::string problem;
        std::FILE* log = OpenTrustedAppend(folder, logs + "\\SarnokDeploy.log", &problem);
        EXPECT_EQ(log != nullptr, f.m_opened) << problem;
        if (log != nullptr) {
            std::fclose(log);
        }
    }
}

} // namespace
} // namespace sarnok::deploy
