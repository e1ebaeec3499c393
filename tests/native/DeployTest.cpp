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
        // Windows PowerShell reads 0x91 and 0x92 as quotes: no byte outside printable ASCII.
        {{"detection-script", "--folder", "C:\\Apps\x92; calc; \x91"}, false},
        {{"detection-script", "--folder", "C:\\Tab\there"}, false},
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
        {"Card\x1b[2J\tA\x7f", ELogType::Information, 0, "<![LOG[Card [2J A ]LOG]!>"},
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
    // A printer's name or a journal's text, on the console and in the log: a NUL would cut the
    // record, an escape would drive the terminal. The console keeps the line ends it writes.
    const struct {
        std::string m_text;
        bool m_keepLineEnds;
        std::string m_written;
    } texts[] = {
        {std::string("Card\0A\x1b]0;owned\x07\n", 17), true, "Card A ]0;owned \n"},
        {"Card A\r\nCard B", false, "Card A  Card B"},
        {"Drucker B\xfcro \x85\x81\x9f ~", false, "Drucker B\xfcro \x85\x81\x9f ~"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(BlankControls(t.m_text, t.m_keepLineEnds), t.m_written);
    }
    const std::string withNul = CmTraceRecord(texts[0].m_text, ELogType::Warning, stamp,
                                              std::string("Sarnok\0Deploy", 13), "SIM\\deploy");
    EXPECT_EQ(withNul.find('\0'), std::string::npos);
    EXPECT_NE(withNul.find("component=\"Sarnok Deploy\""), std::string::npos) << withNul;
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
    bool Elevated() override { return m_elevated; }
    CPathFacts Inspect(const std::string& path) override {
        const auto it = m_paths.find(path);
        return it == m_paths.end() ? CPathFacts{} : it->second;
    }
    bool CreateFolder(const std::string& path, const std::string& sddl) override {
        if (m_paths.count(path) != 0) {
            return false;
        }
        m_created.push_back(path + " " + sddl);
        m_paths[path] = Folder(ETrustee::Administrators);
        return true;
    }
    bool Protect(const std::string& path, const std::string& sddl) override {
        m_protected.push_back(path + " " + sddl);
        return true;
    }
    bool SetAside(const std::string& path, const std::string& newPath) override {
        m_setAside.push_back(path + " -> " + newPath);
        // Its whole tree goes with it.
        for (auto it = m_paths.begin(); it != m_paths.end();) {
            it = it->first.rfind(path, 0) == 0 ? m_paths.erase(it) : std::next(it);
        }
        return true;
    }
    std::FILE* OpenAppend(const std::string&, CFileFacts* facts) override {
        *facts = m_file;
        m_file.m_size = 0; // the next file opened is the new one
        m_opened = std::tmpfile();
        return m_opened;
    }
    bool RenameOpen(std::FILE*, const std::string& newPath) override {
        m_renamed.push_back(newPath);
        return true;
    }

    static CPathFacts Folder(ETrustee owner, bool reparse = false) {
        CPathFacts facts;
        facts.m_exists = facts.m_directory = facts.m_daclRead = true;
        facts.m_reparsePoint = reparse;
        facts.m_owner = owner;
        facts.m_ownerName = owner == ETrustee::Other ? "WORKSTATION\\mallory" : "BUILTIN\\x";
        return facts;
    }
    static CPathFacts File(ETrustee owner) {
        CPathFacts facts = Folder(owner);
        facts.m_directory = false;
        return facts;
    }

    bool m_elevated = true;
    std::map<std::string, CPathFacts> m_paths;
    CFileFacts m_file{true, false, 1, ETrustee::System, 0};
    std::vector<std::string> m_created;
    std::vector<std::string> m_protected;
    std::vector<std::string> m_setAside;
    std::vector<std::string> m_renamed;
    std::FILE* m_opened = nullptr;
};

TEST(DeployOptionsTest, FoldersSystemWritesAreTheAdministratorsAlone) {
    const std::string base = "C:\\ProgramData";
    const std::string brelwin = base + "\\Brelwin";
    const std::string history = brelwin + "\\History";
    const std::string journal = history + "\\updates.jsonl";
    const std::string aside = ".untrusted-20261210-081500";
    using F = CFakeFolders;
    const struct {
        const char* m_what;
        bool m_elevated;
        std::map<std::string, CPathFacts> m_before;
        bool m_used;
        std::vector<std::string> m_setAside; // the folders renamed, with their new names
        std::size_t m_created;
        std::size_t m_protected; // folders and files given the protected DACL again
    } cases[] = {
        {"nothing there yet", true, {}, true, {}, 2, 0},
        // The previous release's folders and journal: their DACLs are set again, in place.
        {"made before by SYSTEM",
         true,
         {{brelwin, F::Folder(ETrustee::System)},
          {history, F::Folder(ETrustee::System)},
          {journal, F::File(ETrustee::System)}},
         true,
         {},
         0,
         3},
        {"made first by a user",
         true,
         {{brelwin, F::Folder(ETrustee::Other)}, {history, F::Folder(ETrustee::Other)}},
         true,
         {brelwin + " -> " + brelwin + aside},
         2,
         0},
        {"History a junction",
         true,
         {{brelwin, F::Folder(ETrustee::System)}, {history, F::Folder(ETrustee::System, true)}},
         true,
         {history + " -> " + history + aside},
         1,
         1},
        {"a journal a user made before the folder was closed",
         true,
         {{brelwin, F::Folder(ETrustee::System)},
          {history, F::Folder(ETrustee::System)},
          {journal, F::File(ETrustee::Other)}},
         true,
         {history + " -> " + history + aside},
         1,
         2},
        {"a journal that is a folder",
         true,
         {{brelwin, F::Folder(ETrustee::System)},
          {history, F::Folder(ETrustee::System)},
          {journal, F::Folder(ETrustee::System)}},
         true,
         {history + " -> " + history + aside},
         1,
         2},
        // Wine runs everything elevated as the owner of every file; so does SYSTEM on its own.
        {"made by this elevated account",
         true,
         {{brelwin, F::Folder(ETrustee::ThisAccount)}},
         true,
         {},
         1,
         1},
        // An unelevated run makes, repairs and renames nothing.
        {"unelevated, nothing there", false, {}, false, {}, 0, 0},
        {"unelevated, made by its own account",
         false,
         {{brelwin, F::Folder(ETrustee::ThisAccount)}, {history, F::Folder(ETrustee::ThisAccount)}},
         false,
         {},
         0,
         0},
        {"unelevated, SYSTEM's folders",
         false,
         {{brelwin, F::Folder(ETrustee::System)}, {history, F::Folder(ETrustee::System)}},
         true,
         {},
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_what);
        CFakeFolders folders;
        folders.m_elevated = c.m_elevated;
        folders.m_paths = c.m_before;
        const CTrustedFolder found =
            TrustedFolder(folders, base, {"Brelwin", "History"},
                          {"updates.jsonl", "updates.1.jsonl"}, "20261210-081500");
        EXPECT_EQ(found.m_path.value_or(""), c.m_used ? history : "") << found.m_why;
        // An unelevated run that finds the folders closed to it has nothing to warn of.
        EXPECT_EQ(found.m_why.empty(), c.m_used || !c.m_elevated) << found.m_why;
        EXPECT_EQ(folders.m_setAside, c.m_setAside);
        ASSERT_EQ(found.m_setAside.size(), c.m_setAside.size());
        for (const CSetAside& set : found.m_setAside) {
            EXPECT_NE(set.m_oldOwner, "");
            EXPECT_NE(set.m_why, "");
        }
        EXPECT_EQ(folders.m_created.size(), c.m_created);
        EXPECT_EQ(folders.m_protected.size(), c.m_protected);
        for (const std::string& made : folders.m_created) {
            EXPECT_EQ(made.substr(made.find(' ') + 1), kProtectedFolderSddl);
        }
    }

    // Nobody but SYSTEM and Administrators has any right: a read right is enough to lock a file.
    const std::regex ace(R"(\(A;[A-Z]*;[0-9A-Za-z]+;;;([A-Z]{2})\))");
    for (const std::string sddl : {kProtectedFolderSddl, kProtectedFileSddl}) {
        EXPECT_NE(sddl.find("D:P("), std::string::npos) << sddl;
        for (auto it = std::sregex_iterator(sddl.begin(), sddl.end(), ace);
             it != std::sregex_iterator(); ++it) {
            EXPECT_TRUE((*it)[1] == "SY" || (*it)[1] == "BA") << sddl;
        }
    }
    EXPECT_EQ(std::string(kProtectedFolderSddl).rfind("O:BA", 0), 0u);
}

TEST(DeployOptionsTest, LogFoldersNoUserCanChange) {
    const auto folder = [](ETrustee owner, std::vector<CAccessEntry> dacl) {
        CPathFacts facts = CFakeFolders::Folder(owner);
        facts.m_dacl = std::move(dacl);
        return facts;
    };
    const CAccessEntry system{true, ETrustee::System, 0x1f01ff};
    const CAccessEntry usersRead{true, ETrustee::Users, 0x1200a9};
    CPathFacts nullDacl = folder(ETrustee::Administrators, {});
    nullDacl.m_nullDacl = true;
    CPathFacts junction = folder(ETrustee::System, {system});
    junction.m_reparsePoint = true;
    const struct {
        const char* m_what;
        CPathFacts m_facts;
        bool m_elevated;
        bool m_refused;
    } cases[] = {
        {"Program Files", folder(ETrustee::TrustedInstaller, {system, usersRead}), true, false},
        {"an administrators' folder", folder(ETrustee::Administrators, {system}), true, false},
        // C:\Windows\Temp: Users may create files (0x6) in it.
        {"Windows\\Temp", folder(ETrustee::System, {system, {true, ETrustee::Users, 0x6}}), true,
         true},
        {"Everyone full control", folder(ETrustee::System, {{true, ETrustee::Everyone, 0x1f01ff}}),
         true, true},
        {"Authenticated Users modify",
         folder(ETrustee::Administrators, {{true, ETrustee::AuthenticatedUsers, 0x1301bf}}), true,
         true},
        {"Interactive generic write",
         folder(ETrustee::Administrators, {{true, ETrustee::Interactive, 0x40000000}}), true, true},
        {"a denial is no grant",
         folder(ETrustee::Administrators, {{false, ETrustee::Users, 0x1f01ff}}), true, false},
        {"a user's folder", folder(ETrustee::Other, {system}), true, true},
        {"its own, elevated", folder(ETrustee::ThisAccount, {system}), true, false},
        {"its own, unelevated", folder(ETrustee::ThisAccount, {system}), false, true},
        {"no DACL at all", nullDacl, true, true},
        {"a junction", junction, true, true},
        {"missing", CPathFacts{}, true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UserWritableFolder(c.m_facts, c.m_elevated).has_value(), c.m_refused) << c.m_what;
    }

    // The log itself: a plain file with one name of a trusted owner, or nothing is written; a
    // full one is renamed through the handle it was checked by.
    const struct {
        const char* m_what;
        CFileFacts m_facts;
        bool m_opened;
        bool m_renamed;
    } files[] = {
        {"a plain file", {true, false, 1, ETrustee::System, 10}, true, false},
        {"a full log", {true, false, 1, ETrustee::System, kLogRotateSize}, true, true},
        {"a second name of another file", {true, false, 2, ETrustee::System, 0}, false, false},
        {"a symbolic link", {true, true, 1, ETrustee::System, 0}, false, false},
        {"a folder", {false, false, 1, ETrustee::System, 0}, false, false},
        {"a user's file", {true, false, 1, ETrustee::Other, kLogRotateSize}, false, false},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.m_what);
        CFakeFolders folders;
        folders.m_file = f.m_facts;
        std::string problem;
        std::FILE* log = OpenTrustedAppend(folders, "C:\\L\\x.log", "C:\\L\\x.lo_", &problem);
        EXPECT_EQ(log != nullptr, f.m_opened) << problem;
        EXPECT_EQ(folders.m_renamed, f.m_renamed ? std::vector<std::string>{"C:\\L\\x.lo_"}
                                                 : std::vector<std::string>{});
        if (log != nullptr) {
            std::fclose(log);
        }
    }
}

} // namespace
} // namespace sarnok::deploy
