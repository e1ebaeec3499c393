// The package checker on real folders, and the digest it and the update run rely on.
#include "PackageCheck.h"
#include "OpenSslDigest.h"
#include "PosixPackageFiles.h"
#include "catalogue/Checksum.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace sarnok::test {
namespace {

namespace fs = std::filesystem;

// FIPS 180-4 example messages (one block, two blocks, one million 'a').
TEST(DigestTest, PublishedSha256VectorsAndTheirHexForms) {
    posix::COpenSslDigest digest;
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string million(1000000, 'a');
    const struct {
        const std::string* m_message;
        const char* m_expected;
    } vectors[] = {
        {nullptr, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {&twoBlocks, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {&million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    const std::string abc = "abc";
    for (const auto& v : vectors) {
        const std::string& message = v.m_message != nullptr ? *v.m_message : abc;
        CSha256Digest result{};
        ASSERT_TRUE(digest.Sha256(reinterpret_cast<const std::uint8_t*>(message.data()),
                                  message.size(), &result));
        EXPECT_EQ(FormatSha256(result), v.m_expected) << message.size() << " bytes";
        std::string upper = v.m_expected;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_EQ(ParseSha256(upper), result); // either case is accepted
    }
    EXPECT_FALSE(ParseSha256(std::string(63, 'a')));
    EXPECT_FALSE(ParseSha256(std::string(63, 'a') + "g"));
    EXPECT_FALSE(ParseSha256(std::string(65, 'a')));
}

// "abc" and its SHA-256, for catalogue rows.
constexpr const char* kAbcSum = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

struct CCheckRow {
    const char* m_what;
    std::string m_catalogue;
    std::map<std::string, std::string> m_files; // name -> contents
    std::vector<std::string> m_findings;
};

class PackageCheckTest : public ::testing::Test {
protected:
    PackageCheckTest() {
        m_folder =
            fs::temp_directory_path() /
            ("sarnok-check-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    ~PackageCheckTest() override { fs::remove_all(m_folder); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(m_folder / name, std::ios::binary) << text;
    }
    void Prepare(const CCheckRow& row) {
        for (const auto& entry : fs::directory_iterator(m_folder)) {
            fs::remove_all(entry.path());
        }
        Write("firmwareInfo.ini", row.m_catalogue);
        for (const auto& [name, contents] : row.m_files) {
            Write(name, contents);
        }
    }
    check::CPackageCheck Checker() {
        return check::CPackageCheck({m_profile, m_files, m_digest}, m_folder.string());
    }
    std::vector<std::string> Findings() {
        check::CPackageCheck check = Checker();
        EXPECT_TRUE(check.Load());
        std::vector<std::string> lines;
        for (const check::CFinding& finding : check.Check()) {
            lines.push_back(check::FormatFinding(finding));
        }
        return lines;
    }

    fs::path m_folder;
    CIniFile m_profile;
    posix::CPosixPackageFiles m_files;
    posix::COpenSslDigest m_digest;
};

TEST_F(PackageCheckTest, EveryKindOfProblemIsReportedWithItsSectionAndKey) {
    const std::string good = "[1.2]\nFilename=fw.bin\nVersion=2.0\n";
    const std::string sum = std::string("Sha256=") + kAbcSum + "\n";
    const std::vector<CCheckRow> rows = {
        {"a sound entry, checksum in upper case",
         good + "SHA256=" + std::string(kAbcSum) + "\n",
         {{"fw.bin", "abc"}},
         {}},
        {"a missing Version and an empty Filename",
         "[1.2]\nFilename=\n",
         {},
         {"[1.2] Version: missing or empty; the entry is not found",
          "[1.2] Filename: missing or empty"}},
        {"a missing file",
         good,
         {},
         {"[1.2] Filename: \"fw.bin\" is missing; the update would create it empty and stop"}},
        {"a file in a folder that does not exist",
         "[1.2]\nFilename=sub\\fw.bin\nVersion=2.0\n",
         {},
         {"[1.2] Filename: \"sub\\fw.bin\" is missing, and so is its folder \"sub\"; the "
          "update cannot open it and stops"}},
        {"file names in another case than on disk, as Windows finds them",
         "[1.2]\nFilename=FW.Bin\nVersion=2.0\n" + sum,
         {{"fw.bin", "abc"}},
         {}},
        {"a byte-order mark",
         "\xEF\xBB\xBF" + good,
         {{"fw.bin", "abc"}},
         {"[1.2]: the file starts with a UTF-8 byte-order mark, which a workstation may read as "
          "part of the first line; save the file without a byte-order mark"}},
        {"an empty file", good, {{"fw.bin", ""}}, {"[1.2] Filename: \"fw.bin\" is empty"}},
        {"a name that leaves the folder",
         "[1.2]\nFilename=..\\fw.bin\nVersion=2.0\n",
         {},
         {"[1.2] Filename: \"..\\fw.bin\" leaves the firmware folder; it is never opened"}},
        {"a two-step entry without its intermediate version",
         good + "IntermediateFileName=mid.bin\n",
         {{"fw.bin", "abc"}, {"mid.bin", "x"}},
         {"[1.2] IntermediateVersion: missing or empty in a two-step entry"}},
        {"an intermediate version without its file",
         good + "IntermediateVersion=1.5\n",
         {{"fw.bin", "abc"}},
         {"[1.2] IntermediateFileName: missing or empty, but IntermediateVersion is set; the "
          "update takes one step"}},
        {"an intermediate version with no section of its own",
         good + "IntermediateFileName=mid.bin\nIntermediateVersion=1.5\n",
         {{"fw.bin", "abc"}, {"mid.bin", "x"}},
         {"[1.2] IntermediateVersion: 1.5 has no section of its own"}},
        {"a chain that ends elsewhere",
         good + "IntermediateFileName=mid.bin\nIntermediateVersion=1.5\n"
                "[1.5]\nFilename=fw.bin\nVersion=1.9\n",
         {{"fw.bin", "abc"}, {"mid.bin", "x"}},
         {"[1.2] IntermediateVersion: the chain 1.2 -> 1.5 -> 1.9 stops: 1.9 has no section "
          "of its own"}},
        {"a chain that loops",
         good + "IntermediateFileName=mid.bin\nIntermediateVersion=1.5\n"
                "[1.5]\nFilename=fw.bin\nVersion=2.0\nIntermediateFileName=mid.bin\n"
                "IntermediateVersion=1.2\n",
         {{"fw.bin", "abc"}, {"mid.bin", "x"}},
         {"[1.2] IntermediateVersion: the chain 1.2 -> 1.5 -> 1.2 loops back on itself",
          "[1.5] IntermediateVersion: the chain 1.5 -> 1.2 -> 1.5 loops back on itself"}},
        {"sections no printer can match",
         "[30.09]\nFilename=fw.bin\nVersion=31.0\n[30. 9]\nFilename=fw.bin\nVersion=31.0\n"
         "[v31]\nFilename=fw.bin\nVersion=31.0\n",
         {{"fw.bin", "abc"}},
         {"[30.09]: no printer can match this section: a printer at this version reads [30.9] "
          "(no leading zeros, blanks or signs)",
          "[30. 9]: no printer can match this section: a firmware version is major.minor in "
          "plain decimal",
          "[v31]: no printer can match this section: a firmware version is major.minor in plain "
          "decimal"}},
        {"the same-version question",
         "[2.0]\nFilename=fw.bin\nVersion=2.0\n",
         {{"fw.bin", "abc"}},
         {"[2.0] Version: equals the section's name; the workstation asks whether to send the "
          "same firmware again"}},
        {"a value that gets cut",
         "[1.2]\nFilename=" + std::string(300, 'f') + "\nVersion=2.0\n",
         {},
         {"[1.2] Filename: value of 300 characters; the program reads only the first 259",
          "[1.2] Filename: \"" + std::string(259, 'f') +
              "\" is missing; the update would create it empty and stop"}},
        {"a duplicate section",
         good + "[1.2]\nFilename=other.bin\nVersion=3.0\n",
         {{"fw.bin", "abc"}},
         {"[1.2]: appears again further down; only the first section of this name is read"}},
        {"misspelt keys and a line without '='",
         good + "Filname=fw.bin\nIntermediate_Version=1.5\nSha-256=00\nComment=fine\n"
                "Version 2.1\n; a comment\n",
         {{"fw.bin", "abc"}},
         {"[1.2] Filname: unknown key, probably meant as Filename; it is ignored",
          "[1.2] Intermediate_Version: unknown key, probably meant as IntermediateVersion; it is "
          "ignored",
          "[1.2] Sha-256: unknown key, probably meant as Sha256; it is ignored",
          "[1.2] Version 2.1: line without '='; nothing is read"}},
        {"a checksum of another file",
         good + sum,
         {{"fw.bin", "abd"}},
         {"[1.2] Sha256: does not match \"fw.bin\" (its SHA-256 is "
          "a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9); the file would be "
          "refused"}},
        {"a malformed checksum",
         good + "Sha256=" + std::string(kAbcSum).substr(1) + "\n",
         {{"fw.bin", "abc"}},
         {"[1.2] Sha256: not 64 hexadecimal digits; the file would be refused"}},
        {"the intermediate checksum checks the intermediate file",
         good + sum + "IntermediateFileName=mid.bin\nIntermediateVersion=2.0\n" +
             "IntermediateSha256=" + kAbcSum + "\n",
         {{"fw.bin", "abc"}, {"mid.bin", "abd"}},
         {"[1.2] IntermediateSha256: does not match \"mid.bin\" (its SHA-256 is "
          "a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9); the file would be "
          "refused"}},
    };
    for (const CCheckRow& row : rows) {
        Prepare(row);
        EXPECT_EQ(Findings(), row.m_findings) << row.m_what;
    }
}

TEST_F(PackageCheckTest, AFileOfFourGibibytesCannotBeSent) {
    Write("firmwareInfo.ini", "[1.2]\nFilename=big.bin\nVersion=2.0\n");
    std::ofstream(m_folder / "big.bin").close();
    fs::resize_file(m_folder / "big.bin", 0x100000000ull); // sparse
    EXPECT_EQ(Findings(),
              (std::vector<std::string>{
                  "[1.2] Filename: \"big.bin\" is 4 GiB or larger; it cannot be sent"}));
}

TEST_F(PackageCheckTest, SumsAndPrinterDecisionsFollowTheProgramsRules) {
    Write("firmwareInfo.ini", "[1.2]\nFilename=fw.bin\nVersion=2.0\nIntermediateFileName=mid.bin\n"
                              "IntermediateVersion=1.5\n[1.5]\nFilename=fw.bin\nVersion=2.0\n"
                              "[32.28]\nFilename=fw.bin\nVersion=32.29\n");
    Write("fw.bin", "abc");
    Write("mid.bin", "");
    check::CPackageCheck check = Checker();
    ASSERT_TRUE(check.Load());
    std::vector<check::CFinding> problems;
    EXPECT_EQ(check.Sums(&problems),
              (std::vector<std::string>{
                  "[1.2]", std::string("Sha256=") + kAbcSum,
                  "IntermediateSha256="
                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
                  "[1.5]", std::string("Sha256=") + kAbcSum, "[32.28]",
                  std::string("Sha256=") + kAbcSum}));
    EXPECT_TRUE(problems.empty());

    EXPECT_EQ(check.Decide("Dorrin", 1, 2, false),
              "\"Dorrin\" at 1.2: two steps, through 1.5 with file mid.bin, then to 2.0 with file "
              "fw.bin");
    EXPECT_EQ(check.Decide("Dorrin", 1, 5, false),
              "\"Dorrin\" at 1.5: one step, to version 2.0 with file fw.bin");
    EXPECT_EQ(check.Decide("Dorrin", 1, 50, false),
              "\"Dorrin\" at 1.50: no catalogue entry [1.50]");
    EXPECT_EQ(check.Decide("Tavik Series", 32, 29, false),
              "\"Tavik Series\" at 32.29: refused, it already has the latest firmware");
    EXPECT_EQ(check.Decide("Gremmet Series", 41, 0, true),
              "\"Gremmet Series\" at 41.0: refused as having the latest firmware: a 32-bit "
              "program on 64-bit Windows updates no major version above 40");
    EXPECT_EQ(check.Decide("Gremmet Series", 32, 28, true),
              "\"Gremmet Series\" at 32.28: one step, to version 32.29 with file fw.bin");
}

} // namespace
} // namespace sarnok::test
