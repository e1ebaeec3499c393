// Inputs a careless or hostile world could hand the program, each with a sound outcome: a
// catalogue that names files outside the program's folder, reply frames of every length class
// through a whole run, texts a status library leaves unterminated inside its record, and a
// catalogue file far larger than any real one.
#include "catalogue/IniFile.h"
#include "fakes/FakeDriverLibrary.h"
#include "printer/StatusInfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace sarnok::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

constexpr const char* kFolder = "C:\\Tools\\Sarnok\\";

class HostileRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDriverRecorder();
        AddDriverLibrary(m_rig.m_loader);
        Dlg().m_hLibrary = m_rig.m_loader.Load("DODAVED.DLL");
        Dlg().m_printerName.Assign("P1");
        m_rig.m_status.m_printers["P1"];
        DriverRecorder().m_clock = &m_rig.m_clock;
    }
    CfuuDlg& Dlg() { return m_rig.Dlg(); }
    std::string Text(unsigned id) { return StringTable().at(id); }
    Texts Status() const {
        return {m_rig.m_view.Status(1), m_rig.m_view.Status(2), m_rig.m_view.Status(3)};
    }

    CTestRig m_rig;
};

// ---- Catalogue file names ----

TEST_F(HostileRunTest, NameThatLeavesTheProgramFolderIsNeitherOpenedNorCreatedNorChanged) {
    const Texts leaving = {
        "..\\fw.bin",
        "sub\\..\\..\\fw.bin",
        "sub/../../fw.bin",
        "..",
        "... \\fw.bin",
        "C:\\fw.bin",
        "C:fw.bin",
        "c:/Windows/fw.bin",
        "\\fw.bin",
        "/fw.bin",
        "\\\\server\\share\\fw.bin",
        "//server/share/fw.bin",
        "\\\\?\\C:\\fw.bin",
    };
    for (const bool firstStep : {false, true}) {
        for (const std::string& name : leaving) {
            CTestRig rig;
            PrepareForRun(rig);
            rig.Dlg().m_twoStep = firstStep ? 1 : 0;
            (firstStep ? rig.Dlg().m_intermediateFileName : rig.Dlg().m_fileName).Assign(name);
            // Were the name followed, this file would open and be sent.
            rig.m_files.m_files[kFolder + name].m_bytes.assign(100, 1);
            rig.m_files.m_files[kFolder + name].m_readOnly = true;

            rig.Dlg().UpdateRun();

            const std::string what = name + (firstStep ? " (first step)" : "");
            EXPECT_EQ(rig.m_view.Status(1), Text(112)) << what;
            EXPECT_EQ(rig.m_view.Status(2), Text(107)) << what;
            EXPECT_EQ(rig.m_view.Status(3), firstStep ? "Step 1 of 2" : "") << what;
            EXPECT_TRUE(rig.m_files.m_calls.empty()) << what; // no attributes, no open
            EXPECT_EQ(rig.m_files.m_files.size(), 1u) << what;
            EXPECT_TRUE(rig.m_files.m_files[kFolder + name].m_readOnly) << what;
            EXPECT_TRUE(rig.m_files.m_deleted.empty()) << what;
            EXPECT_TRUE(rig.m_spooler.m_calls.empty()) << what;
            EXPECT_EQ(rig.m_view.m_waitCursorDepth, 0) << what;
        }
    }
}

TEST_F(HostileRunTest, NamesInsideTheProgramFolderAreStillSent) {
    for (const std::string name :
         {"fw.bin", "sub\\fw.bin", "sub/fw.bin", ".\\fw.bin", "fw..bin", "..fw.bin", "sub..\\a"}) {
        CTestRig rig;
        PrepareForRun(rig);
        rig.Dlg().m_fileName.Assign(name);
        rig.m_files.m_files[kFolder + name].m_bytes.assign(100, 1);
        DriverRecorder().m_replies.push_back({1, SuccessFrame(), {}, 0});

        rig.Dlg().UpdateRun();

        EXPECT_EQ(rig.m_spooler.m_writeLengths, (std::vector<std::uint32_t>{24, 100})) << name;
        EXPECT_EQ(rig.m_view.Status(2), Text(104)) << name;
    }
}

// ---- Reply frames of every length class, through a whole run ----

Bytes FrameWithLength(std::uint32_t length, std::size_t payload) {
    Bytes frame{0x01, 0x01, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        frame.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    }
    frame.insert(frame.end(), payload, 0x33);
    std::uint8_t sum = 0xFF;
    for (const std::uint8_t byte : frame) {
        sum ^= byte;
    }
    frame.push_back(sum);
    return frame;
}

TEST_F(HostileRunTest, ReplyLengthFieldDecidesTheOutcomeOfTheRun) {
    enum class EOutcome { Nothing, Success, Error };
    struct CCase {
        std::uint32_t m_length;
        std::size_t m_payload;
        EOutcome m_outcome;
    };
    const std::vector<CCase> cases = {
        {0, 0, EOutcome::Nothing},
        {1, 0, EOutcome::Nothing},
        {2, 1, EOutcome::Success},
        {3, 2, EOutcome::Error},
        {40, 39, EOutcome::Error},
        // 51 bytes: the read takes 50, the checksum never arrives.
        {41, 40, EOutcome::Nothing},
        // A length field that claims far more than was received.
        {0xFFFFFFFFu, 1, EOutcome::Nothing},
    };
    for (const CCase& c : cases) {
        CTestRig rig;
        PrepareForRun(rig);
        rig.Dlg().m_fileName.Assign("fw.bin");
        rig.m_files.m_files[std::string(kFolder) + "fw.bin"].m_bytes.assign(10, 1);
        DriverRecorder().m_replies.push_back({1, FrameWithLength(c.m_length, c.m_payload), {}, 0});

        rig.Dlg().UpdateRun();

        const Texts expected = c.m_outcome == EOutcome::Success ? Texts{"", Text(104), ""}
                               : c.m_outcome == EOutcome::Error ? Texts{Text(107), "", ""}
                                                                : Texts{"", Text(108), ""};
        EXPECT_EQ((Texts{rig.m_view.Status(1), rig.m_view.Status(2), rig.m_view.Status(3)}),
                  expected)
            << "L = " << c.m_length;
        EXPECT_EQ(rig.Dlg().m_replyHandled, 1) << c.m_length;
        EXPECT_EQ(rig.Dlg().m_errorReply, c.m_outcome == EOutcome::Error ? 1 : 0) << c.m_length;
        EXPECT_EQ(rig.m_view.m_cancelCaption, "Close") << c.m_length;
        EXPECT_EQ(rig.m_files.m_deleted, Texts{"thandler.dat"}) << c.m_length;
        EXPECT_EQ(rig.m_spooler.OpenHandles() + rig.m_files.m_openFiles, 0u) << c.m_length;
    }
}

// ---- A tick count that wraps during a run ----

TEST_F(HostileRunTest, WaitsOfARunThatSpansTheTickWrapKeepTheirLimits) {
    Dlg().m_fileName.Assign("fw.bin");
    m_rig.m_files.m_files[std::string(kFolder) + "fw.bin"].m_bytes.assign(10, 1);
    // The polling wait: passes at 0, 1, ..., 30 s after the start, the wrap after 15 s.
    m_rig.m_clock.m_now = 0xFFFFFFFFu - 15000;
    m_rig.m_status.m_printers["P1"].m_pollingStates = {1};
    Dlg().UpdateRun();
    EXPECT_EQ(m_rig.m_status.Count("state:"), 31);
    EXPECT_EQ(Status()[0], Text(105));

    // The reply wait: reads every 10 s from 0 to 190 s, the wrap in between.
    m_rig.m_clock.m_now = 0xFFFFFFFFu - 95000;
    m_rig.m_status.m_printers["P1"].m_pollingStates = {0};
    DriverRecorder().m_readCostMs = 10000;
    Dlg().UpdateRun();
    EXPECT_EQ(DriverRecorder().m_reads, 20u);
    EXPECT_EQ(Status()[0], Text(111));
}

// ---- Status library texts without a terminator inside the record ----

std::uint32_t g_textOffsetFromEnd = 0;

// Fills everything behind the two pointers with 'M', no terminator anywhere, and points the
// model at the first of those bytes and the version at the last few.
int SARNOK_STDCALL UnterminatedTexts(const char*, int, void* buffer, std::uint32_t size,
                                     std::uint32_t* required) {
    *required = size;
    if (buffer == nullptr) {
        return 0;
    }
    auto* bytes = static_cast<char*>(buffer);
    const std::size_t pointers = 2 * sizeof(const char*);
    std::memset(bytes + pointers, 'M', size - pointers);
    const char* record[2] = {bytes + pointers, bytes + size - g_textOffsetFromEnd};
    std::memcpy(bytes, record, sizeof record);
    return 1;
}

TEST(HostileStatusRecordTest, UnterminatedTextsEndAtTheRecordsEnd) {
    const std::uint32_t pointers = 2 * sizeof(const char*);
    // Text bytes behind the pointers, and what the 80-character members keep of them.
    for (const std::uint32_t textBytes : {1u, 79u, 80u, 10000u}) {
        g_textOffsetFromEnd = textBytes < 3 ? textBytes : 3;
        // Exactly the record on the heap, so a read past it shows under the sanitizers.
        CCardPrinterInfo info(&UnterminatedTexts);
        CFixedText<80> model;
        CFixedText<80> version;
        ASSERT_TRUE(info.FetchModelAndVersion("P1", pointers + textBytes, &model, &version))
            << textBytes;
        EXPECT_EQ(model.str(), std::string(textBytes < 79 ? textBytes : 79, 'M')) << textBytes;
        EXPECT_EQ(version.str(), std::string(g_textOffsetFromEnd, 'M')) << textBytes;
    }
}

// ---- A catalogue of 10 MB ----

TEST(HostileCatalogueTest, TenMegabyteFileIsReadWholeAndItsLastEntryFound) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("sarnok-big-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".ini");
    {
        std::ofstream out(path, std::ios::binary);
        const std::string filler =
            "[0." + std::string(60, '9') + "]\r\nFilename=" + std::string(200, 'f') + "\r\n";
        for (std::size_t written = 0; written < 10u * 1024 * 1024; written += filler.size()) {
            out << filler;
        }
        out << "[21.4]\r\nFilename=fw_21_6.bin\r\nVersion=21.6\r\n";
    }
    CIniFile reader;
    char buffer[260];
    EXPECT_EQ(reader.GetString("21.4", "Version", buffer, sizeof buffer, path.string().c_str()),
              4u);
    EXPECT_STREQ(buffer, "21.6");
    std::filesystem::remove(path);
}

} // namespace
} // namespace sarnok::test
