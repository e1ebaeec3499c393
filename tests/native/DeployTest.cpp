// The deployment console's two tables a deployment system relies on: which command lines are
// accepted, and which exit code a run's outcomes give.
#include "DeployOptions.h"
#include "LogRecord.h"
#include "app/ClickEvent.h"

#include <gtest/gtest.h>

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
        // Usage errors: nothing may be touched.
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
    }
}

CClickOutcome Click(ERunOutcome run, EUpdateStep step = EUpdateStep::Single,
                    bool sentEarlier = false, bool intermediateNotReported = false) {
    CClickOutcome click;
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
}

} // namespace
} // namespace sarnok::deploy
