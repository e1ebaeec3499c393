// The portable initialisation-file reader. Every expectation here was first observed from the
// platform's own reader (GetPrivateProfileStringA) on the same files; the Windows differential
// test keeps the two from drifting apart.
#include "catalogue/IniFile.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace sarnok::test {
namespace {

const std::string kDataDir = SARNOK_CATALOGUE_DIR;

struct CLookup {
    std::uint32_t m_result;
    std::string m_text;
};

CLookup Get(const std::string& file, const char* section, const char* key,
            std::uint32_t size = 260) {
    CIniFile reader;
    std::string buffer(size + 8, 'X');
    const std::uint32_t result =
        reader.GetString(section, key, buffer.data(), size, (kDataDir + "/" + file).c_str());
    if (size == 0) {
        EXPECT_EQ(buffer[0], 'X') << "nothing may be written to a zero-size buffer";
        return {result, ""};
    }
    EXPECT_EQ(buffer[result], '\0') << "the copy must be terminated right after its count";
    return {result, std::string(buffer.data(), result)};
}

std::string Text(const std::string& file, const char* section, const char* key,
                 std::uint32_t size = 260) {
    return Get(file, section, key, size).m_text;
}

// Reads an in-memory text through the document parser and the value copy.
std::string Parse(std::string_view text, const char* section, const char* key,
                  std::uint32_t size = 260) {
    const CIniDocument document = CIniDocument::Parse(text);
    const CIniDocument::CKey* entry = document.Find(section, key);
    if (entry == nullptr || !entry->m_value) {
        return "<none>";
    }
    std::string buffer(size + 1, 'X');
    const std::uint32_t count = CopyProfileValue(*entry->m_value, buffer.data(), size);
    return std::string(buffer.data(), count);
}

TEST(CatalogueReaderTest, WorkedExampleGivesEveryEntryItsFourValues) {
    EXPECT_EQ(Text("example.ini", "18.2", "IntermediateFileName"), "fw_19_5.bin");
    EXPECT_EQ(Text("example.ini", "18.2", "IntermediateVersion"), "19.5");
    EXPECT_EQ(Text("example.ini", "18.2", "Filename"), "fw_21_6.bin");
    EXPECT_EQ(Text("example.ini", "18.2", "Version"), "21.6");
    for (const char* section : {"19.5", "21.4", "21.6"}) {
        EXPECT_EQ(Text("example.ini", section, "Filename"), "fw_21_6.bin") << section;
        EXPECT_EQ(Get("example.ini", section, "Version").m_result, 4u) << section;
        EXPECT_EQ(Text("example.ini", section, "IntermediateFileName"), "") << section;
    }
    // Any other version has no entry; the file's CRLF line ends never reach a value.
    EXPECT_EQ(Get("example.ini", "21.5", "Version").m_result, 0u);
    EXPECT_EQ(Get("example.ini", "18", "Version").m_result, 0u);
}

TEST(CatalogueReaderTest, MissingOrEmptyFileAndTinyBuffersGiveEmptyText) {
    EXPECT_EQ(Get("no such file.ini", "21.6", "Version").m_result, 0u);
    EXPECT_EQ(Get("empty.ini", "21.6", "Version").m_result, 0u);
    EXPECT_EQ(Get("example.ini", "21.6", "Version", 0).m_result, 0u);
    EXPECT_EQ(Get("example.ini", "21.6", "Version", 1).m_result, 0u);
    EXPECT_EQ(Text("example.ini", "21.6", "Version", 2), "2");
    CIniFile reader;
    EXPECT_EQ(
        reader.GetString("21.6", "Version", nullptr, 260, (kDataDir + "/example.ini").c_str()), 0u);
    char buffer[8] = "XXXXXXX";
    EXPECT_EQ(reader.GetString("21.6", "Version", buffer, sizeof buffer, nullptr), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST(CatalogueReaderTest, LongValuesAreCutToOneLessThanTheBuffer) {
    const CLookup version = Get("long_value.ini", "21.6", "Version");
    EXPECT_EQ(version.m_result, 259u);
    EXPECT_EQ(version.m_text.substr(0, 10), "1234567890");
    EXPECT_EQ(version.m_text.back(), '9'); // the 259th character of "123...890123..."
    EXPECT_EQ(Get("long_value.ini", "21.6", "Filename").m_result, 259u);
    EXPECT_EQ(Get("long_value.ini", "21.6", "Version", 1000).m_result, 300u);
    // A quoted value of 258 characters fits a 260 buffer without its quotes.
    EXPECT_EQ(Get("long_value.ini", "21.6", "IntermediateVersion").m_result, 258u);
}

TEST(CatalogueReaderTest, FirstSectionAndFirstKeyWinAndLaterDuplicatesAreNeverRead) {
    EXPECT_EQ(Text("duplicates.ini", "21.4", "Version"), "first");
    EXPECT_EQ(Text("duplicates.ini", "21.4", "VERSION"), "first");
    // The key exists only in the second [21.4]; the first one is the only one consulted.
    EXPECT_EQ(Get("duplicates.ini", "21.4", "Filename").m_result, 0u);
    EXPECT_EQ(Get("duplicates.ini", "21.6", "Version").m_result, 0u);
    EXPECT_EQ(Text("duplicates.ini", "21.6", "Filename"), "a.bin");
    // A bare key (no '=') is found first and has no value.
    EXPECT_EQ(Get("duplicates.ini", "k", "k").m_result, 0u);
}

TEST(CatalogueReaderTest, MatchingQuotesAroundAWholeValueAreRemoved) {
    EXPECT_EQ(Text("quotes.ini", "q", "k"), "double quoted");
    EXPECT_EQ(Text("quotes.ini", "q", "k1"), "single quoted");
    EXPECT_EQ(Text("quotes.ini", "q", "k2"), "\"mixed'");
    EXPECT_EQ(Text("quotes.ini", "q", "k3"), "'");
    EXPECT_EQ(Text("quotes.ini", "q", "k4"), "");
    EXPECT_EQ(Text("quotes.ini", "q", "k5"), "\"");
    EXPECT_EQ(Text("quotes.ini", "q", "k6"), " keeps inner blanks ");
    EXPECT_EQ(Text("quotes.ini", "q", "k7"), "\"abc\"");
    EXPECT_EQ(Text("quotes.ini", "q", "k9"), "a");
    EXPECT_EQ(Text("quotes.ini", "q", "Version"), "21.6");
    EXPECT_EQ(Text("quotes.ini", "q", "Filename"), "fw 21.6.bin");
    EXPECT_EQ(Get("quotes.ini", "21.6", "Version").m_result, 4u);
}

TEST(CatalogueReaderTest, QuotedValueCutNearItsEndLosesWhatThePlatformLoses) {
    // "abc" in buffers of 3 to 6: the platform drops the closing quote whenever the buffer
    // holds the value's length without the opening quote, even when that removes the 'c'.
    EXPECT_EQ(Text("quotes.ini", "q", "k8", 3), "ab");
    EXPECT_EQ(Text("quotes.ini", "q", "k8", 4), "ab");
    EXPECT_EQ(Text("quotes.ini", "q", "k8", 5), "abc");
    EXPECT_EQ(Text("quotes.ini", "q", "k8", 6), "abc");
    EXPECT_EQ(Text("quotes.ini", "q", "k4", 1), "");
}

TEST(CatalogueReaderTest, SemicolonLinesNeverAnswerForRealKeys) {
    EXPECT_EQ(Text("comments.ini", "21.6", "Version"), "21.7");
    EXPECT_EQ(Text("comments.ini", "21.6", "Filename"), "fw.bin ; not a comment here");
    EXPECT_EQ(Text("comments.ini", "21.6", "IntermediateVersion"), ";value");
    // A commented-out header opens no section.
    EXPECT_EQ(Get("comments.ini", "21.6", "IntermediateFileName").m_result, 0u);
    EXPECT_EQ(Parse(";[21.6]\n;Version=9\n", "21.6", "Version"), "<none>");
}

TEST(CatalogueReaderTest, BlanksAroundNamesAndValuesAreTrimmed) {
    EXPECT_EQ(Text("blanks.ini", "21.6", "Version"), "21.8");
    EXPECT_EQ(Text("blanks.ini", " 21.6\t", "\tVersion "), "21.8");
    EXPECT_EQ(Text("blanks.ini", "21.6", "Filename"), "fw.bin");  // \v, \f and ^Z are blanks
    EXPECT_EQ(Get("blanks.ini", "19.5", "Version").m_result, 0u); // CR alone ends a line
    EXPECT_EQ(Get("blanks.ini", "19.5", "Filename").m_result, 0u);
    EXPECT_EQ(Text("blanks.ini", "18.2", "IntermediateVersion"), "19 . 5");
    // No-break space and the other control characters are not blanks.
    EXPECT_EQ(Parse("[s]\nk=\xA0v\x1C\n", "s", "k"), "\xA0v\x1C");
}

TEST(CatalogueReaderTest, NamesMatchWithoutRegardToAsciiCaseOnly) {
    EXPECT_EQ(Text("mixed_case.ini", "AB.CD", "filename"), "upper.bin");
    EXPECT_EQ(Text("mixed_case.ini", "ab.cd", "VERSION"), "mixed");
    EXPECT_EQ(Text("mixed_case.ini", "\xC9t\xE9", "K\xC9"), "high letters");
    EXPECT_EQ(Get("mixed_case.ini", "\xE9t\xC9", "K\xC9").m_result, 0u);
    EXPECT_EQ(Get("mixed_case.ini", "\xC9t\xE9", "k\xE9").m_result, 0u);
    EXPECT_EQ(Text("mixed_case.ini", "\xC9T\xE9", "key"), "\xE9\xC9");
}

TEST(CatalogueReaderTest, HeadersAndKeyLinesAreReadAsThePlatformReadsThem) {
    EXPECT_EQ(Text("edge.ini", "", "k"), "above every section");
    EXPECT_EQ(Text("edge.ini", "", "Version"), "top");
    EXPECT_EQ(Get("edge.ini", "d", "k").m_result, 0u); // "[d" is a key line, not a header
    EXPECT_EQ(Text("edge.ini", "e", "k"), "after trailing");
    EXPECT_EQ(Text("edge.ini", "f]", "k"), "last bracket");
    EXPECT_EQ(Text("edge.ini", "g] [h", "k"), "two headers");
    EXPECT_EQ(Text("edge.ini", "s", "k"), "a = b");
    EXPECT_EQ(Text("edge.ini", "s", "k2"), "=");
    EXPECT_EQ(Text("edge.ini", "21.6", "Version"), "below");
    EXPECT_EQ(Parse("[s]\n=no name\n", "s", ""), "no name");
}

TEST(CatalogueReaderTest, BinaryJunkIsSurvivedAndNulEndsAName) {
    EXPECT_EQ(Text("junk.ini", "21.6", "Version"), "\x80\x81\x9F\xA0\xFF junk");
    EXPECT_EQ(Text("junk.ini", "21.6", "Filename"), "\x01\x02\x1B\x7F");
    EXPECT_EQ(Parse(std::string_view("[u]\nk=a\0b\nj\0x=1\n", 17), "u", "j"), "1");
    EXPECT_EQ(Parse("\xEF\xBB\xBF[s]\nk=bom\n", "s", "k"), "bom");
}

// The core's lookup with this reader and a catalogue on disk: the path it forms from the
// executable's folder reaches the file, and the worked example gives the documented results.
TEST(CatalogueReaderTest, CoreLookupReadsTheCatalogueBesideTheExecutable) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("sarnok-catalogue-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(kDataDir + "/example.ini", folder / "firmwareInfo.ini",
                               std::filesystem::copy_options::overwrite_existing);
    std::string windowsFolder = folder.string();
    for (char& c : windowsFolder) {
        c = c == '/' ? '\\' : c;
    }

    CTestRig rig;
    CIniFile reader;
    CPorts ports{rig.m_view,  rig.m_spooler, rig.m_status, rig.m_loader,
                 rig.m_files, rig.m_clock,   rig.m_system, reader};
    rig.m_system.m_executablePath = windowsFolder + "\\Sarnok.exe";
    CfuuDlg dlg(ports);

    char file[260], version[260], intermediateFile[260], intermediateVersion[260];
    EXPECT_EQ(
        dlg.GetFirmwareInfo("18.2", file, version, intermediateFile, intermediateVersion, 260), 4);
    EXPECT_STREQ(intermediateFile, "fw_19_5.bin");
    EXPECT_STREQ(intermediateVersion, "19.5");
    EXPECT_STREQ(file, "fw_21_6.bin");
    EXPECT_EQ(
        dlg.GetFirmwareInfo("17.1", file, version, intermediateFile, intermediateVersion, 260), -1);
    EXPECT_STREQ(file, "");
    rig.m_view.m_answers.push_back(EMessageAnswer::Yes);
    EXPECT_EQ(
        dlg.GetFirmwareInfo("21.6", file, version, intermediateFile, intermediateVersion, 260), 4);
    EXPECT_EQ(rig.m_view.m_messageBoxes.size(), 1u);

    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace sarnok::test
