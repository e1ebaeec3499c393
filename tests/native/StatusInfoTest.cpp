// Size query and fetch against the status library and against a bare legacy entry point.
#include "printer/StatusInfo.h"
#include "fakes/FakeStatusLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace sarnok::test {
namespace {

// What the scripted entry point answers. The record is copied into the caller's buffer, cut
// to the buffer's size; the result and the required size are given as they are.
struct CEntryScript {
    std::uint32_t m_required = 0;
    int m_fetchResult = 1;
    bool m_writeRequired = true;
    std::vector<std::uint8_t> m_record;
    // Texts to place after the two pointers inside the caller's buffer (type 1).
    bool m_textsInBuffer = false;
    std::string m_model;
    std::string m_libVersion;
    const char* m_modelPointer = nullptr; // used when the texts are not in the buffer
    const char* m_versionPointer = nullptr;

    // Observed.
    std::vector<std::string> m_calls;
    std::vector<std::uint32_t> m_requiredOnEntry;
};
CEntryScript g_script;

int SARNOK_STDCALL ScriptedEntry(const char* printerName, int infoType, void* buffer,
                                 std::uint32_t bufferSize, std::uint32_t* requiredSize) {
    g_script.m_calls.push_back(std::string(buffer == nullptr ? "size:" : "fetch:") + printerName +
                               ":" + std::to_string(infoType) + ":" + std::to_string(bufferSize));
    g_script.m_requiredOnEntry.push_back(*requiredSize);
    if (g_script.m_writeRequired) {
        *requiredSize = g_script.m_required;
    }
    if (buffer == nullptr) {
        return 0;
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    if (g_script.m_textsInBuffer) {
        const std::size_t pointers = 2 * sizeof(const char*);
        char* model = reinterpret_cast<char*>(bytes + pointers);
        std::memcpy(model, g_script.m_model.c_str(), g_script.m_model.size() + 1);
        char* version = model + g_script.m_model.size() + 1;
        std::memcpy(version, g_script.m_libVersion.c_str(), g_script.m_libVersion.size() + 1);
        const char* record[2] = {model, version};
        std::memcpy(bytes, record, sizeof record);
    } else if (infoType == kInfoModelAndLibraryVersion) {
        const char* record[2] = {g_script.m_modelPointer, g_script.m_versionPointer};
        std::memcpy(bytes, record, std::min<std::size_t>(sizeof record, bufferSize));
    } else {
        std::memcpy(bytes, g_script.m_record.data(),
                    std::min<std::size_t>(g_script.m_record.size(), bufferSize));
    }
    return g_script.m_fetchResult;
}

std::vector<std::uint8_t> FirmwareRecord(std::uint32_t major, std::uint32_t minor,
                                         std::size_t size = 24) {
    std::vector<std::uint8_t> record(size, 0xEE);
    for (int i = 0; i < 4; ++i) {
        record[16 + i] = static_cast<std::uint8_t>(major >> (8 * i));
        record[20 + i] = static_cast<std::uint8_t>(minor >> (8 * i));
    }
    return record;
}

std::uint8_t* NoMemory(std::uint32_t /*size*/) {
    return nullptr;
}

class StatusInfoTest : public ::testing::Test {
protected:
    void SetUp() override { g_script = CEntryScript{}; }
    CCardPrinterInfo m_entry{&ScriptedEntry};
};

TEST_F(StatusInfoTest, SizeQueryPassesNoBufferAndAPresetZeroAndFetchUsesThatSize) {
    g_script.m_required = 40;
    g_script.m_record = FirmwareRecord(21, 6, 40);

    const std::uint32_t size = m_entry.QuerySize("P1", kInfoFirmwareVersion);
    CFirmwareNumbers numbers;
    ASSERT_TRUE(m_entry.FetchFirmwareNumbers("P1", size, &numbers));

    EXPECT_EQ(size, 40u);
    EXPECT_EQ(g_script.m_calls, (std::vector<std::string>{"size:P1:2:0", "fetch:P1:2:40"}));
    EXPECT_EQ(g_script.m_requiredOnEntry[0], 0u);
    EXPECT_EQ(numbers.m_major, 21);
    EXPECT_EQ(numbers.m_minor, 6);
}

TEST_F(StatusInfoTest, LibraryThatWritesNoSizeCountsAsSizeZero) {
    g_script.m_writeRequired = false;
    EXPECT_EQ(m_entry.QuerySize("P1", kInfoModelAndLibraryVersion), 0u);
}

TEST_F(StatusInfoTest, FirmwareNumbersAreLittleEndianSigned) {
    g_script.m_record = FirmwareRecord(0xFFFFFFFFu, 0x01020304u);
    CFirmwareNumbers numbers;
    ASSERT_TRUE(m_entry.FetchFirmwareNumbers("P1", 24, &numbers));
    EXPECT_EQ(numbers.m_major, -1);
    EXPECT_EQ(numbers.m_minor, 0x01020304);
}

TEST_F(StatusInfoTest, FailedFetchesKeepTheNumbers) {
    const CFirmwareNumbers before{7, 8};
    struct CCase {
        const char* m_what;
        std::uint32_t m_size;
        int m_result;
    };
    for (const CCase& c : {CCase{"refused", 24, 0}, CCase{"short record", 23, 1},
                           CCase{"empty record", 0, 1}, CCase{"one byte", 1, 1}}) {
        g_script.m_record = FirmwareRecord(99, 99);
        g_script.m_fetchResult = c.m_result;
        CFirmwareNumbers numbers = before;
        EXPECT_FALSE(m_entry.FetchFirmwareNumbers("P1", c.m_size, &numbers)) << c.m_what;
        EXPECT_EQ(numbers.m_major, 7) << c.m_what;
        EXPECT_EQ(numbers.m_minor, 8) << c.m_what;
    }
}

TEST_F(StatusInfoTest, SizeTheAllocatorCannotGiveIsAFailedFetchWithoutACall) {
    CCardPrinterInfo starved(&ScriptedEntry, &NoMemory);
    CFirmwareNumbers numbers{7, 8};
    CFixedText<80> model("kept");
    CFixedText<80> version("kept too");

    EXPECT_FALSE(starved.FetchFirmwareNumbers("P1", 0xFFFFFFF0u, &numbers));
    EXPECT_FALSE(starved.FetchModelAndVersion("P1", 0xFFFFFFF0u, &model, &version));

    EXPECT_TRUE(g_script.m_calls.empty());
    EXPECT_EQ(numbers.m_major, 7);
    EXPECT_EQ(model, "kept");
    EXPECT_EQ(version, "kept too");
}

TEST_F(StatusInfoTest, TextsInsideTheBufferAreCopiedBeforeItIsFreed) {
    g_script.m_textsInBuffer = true;
    g_script.m_model = "Lisander Series";
    g_script.m_libVersion = " 7.4.533\n";
    const std::uint32_t size = 2 * sizeof(const char*) + 64;
    CFixedText<80> model;
    CFixedText<80> version;

    ASSERT_TRUE(m_entry.FetchModelAndVersion("P1", size, &model, &version));

    EXPECT_EQ(model, "Lisander Series");
    EXPECT_EQ(version, " 7.4.533\n");
}

TEST_F(StatusInfoTest, LongTextsAreCutToTheMembers) {
    g_script.m_textsInBuffer = true;
    g_script.m_model = std::string(500, 'M');
    g_script.m_libVersion = std::string(80, 'V');
    CFixedText<80> model;
    CFixedText<80> version;

    ASSERT_TRUE(
        m_entry.FetchModelAndVersion("P1", 2 * sizeof(const char*) + 600, &model, &version));

    EXPECT_EQ(model.str(), std::string(79, 'M'));
    EXPECT_EQ(version.str(), std::string(79, 'V'));
}

TEST_F(StatusInfoTest, ShortRecordsAndMissingTextsAreFailedFetches) {
    const char* modelText = "Dorrin";
    const char* versionText = "5.0";
    struct CCase {
        const char* m_what;
        std::uint32_t m_size;
        const char* m_model;
        const char* m_version;
    };
    const std::uint32_t full = 2 * sizeof(const char*);
    for (const CCase& c : {CCase{"one pointer short", full - 1, modelText, versionText},
                           CCase{"one pointer only", full / 2, modelText, versionText},
                           CCase{"null model", full, nullptr, versionText},
                           CCase{"null version", full, modelText, nullptr},
                           CCase{"both null", full, nullptr, nullptr}}) {
        g_script.m_modelPointer = c.m_model;
        g_script.m_versionPointer = c.m_version;
        CFixedText<80> model("old model");
        CFixedText<80> version("old version");
        EXPECT_FALSE(m_entry.FetchModelAndVersion("P1", c.m_size, &model, &version)) << c.m_what;
        EXPECT_EQ(model, "old model") << c.m_what;
        EXPECT_EQ(version, "old version") << c.m_what;
    }
    // The same record at full size is read, also when only the model is wanted; the version
    // is then not read, so its pointer may be null (the legacy copy's model must not be lost).
    for (const char* version : {versionText, static_cast<const char*>(nullptr)}) {
        g_script.m_modelPointer = modelText;
        g_script.m_versionPointer = version;
        const char* what = version == nullptr ? "null version" : "with version";
        CFixedText<80> model;
        EXPECT_TRUE(m_entry.FetchModelAndVersion("P1", full, &model, nullptr)) << what;
        EXPECT_EQ(model.str(), "Dorrin") << what;
    }
}

TEST_F(StatusInfoTest, LinkedLibraryAnswersThroughTheSameRequests) {
    CFakeStatusLibrary library;
    auto& printer = library.m_printers["P1"];
    printer.m_major = 33;
    printer.m_minor = 36;
    printer.m_model = "Brisko Series";
    printer.m_libVersion = "6.0.1";
    CCardPrinterInfo info(library);

    CFirmwareNumbers numbers;
    CFixedText<80> model;
    CFixedText<80> version;
    ASSERT_TRUE(info.FetchFirmwareNumbers("P1", info.QuerySize("P1", 2), &numbers));
    ASSERT_TRUE(info.FetchModelAndVersion("P1", info.QuerySize("P1", 1), &model, &version));

    EXPECT_EQ(numbers.m_major, 33);
    EXPECT_EQ(numbers.m_minor, 36);
    EXPECT_EQ(model, "Brisko Series");
    EXPECT_EQ(version, "6.0.1");
    EXPECT_EQ(library.m_calls,
              (std::vector<std::string>{"size:P1:2", "fetch:P1:2", "size:P1:1", "fetch:P1:1"}));
}

} // namespace
} // namespace sarnok::test
