// The portable initialisation-file reader against the platform's own, lookup for lookup, on
// the committed catalogue files: the Linux build's catalogue must read exactly as Windows'.
#include "TestSupport.h"
#include "Win32ProfileReader.h"
#include "catalogue/IniFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace sarnok::test {
namespace {

const std::vector<std::string> kFiles = {
    "example.ini",  "long_value.ini", "duplicates.ini", "quotes.ini",
    "comments.ini", "blanks.ini",     "mixed_case.ini", "empty.ini",
    "edge.ini",     "junk.ini",       "missing.ini", // the last one does not exist
};

// Every section and key that appears in one of the files, in other cases and with blanks,
// plus names that appear nowhere.
const std::vector<std::string> kSections = {
    "18.2",  "19.5",      "21.4",      "21.6",      "21.5", "",  " 21.6\t", "21.6]", "ab.cd",
    "AB.CD", "\xC9t\xE9", "\xE9t\xC9", "\xC9T\xE9", "k",    "K", "q",       "s",     "u",
    "d",     "[d",        "e",         "f",         "f]",   "g", "g] [h",   "ab",
};
const std::vector<std::string> kKeys = {
    "Filename",
    "FILENAME",
    "filename",
    "Version",
    "version",
    " Version\t",
    "IntermediateFileName",
    "IntermediateVersion",
    "intermediateversion",
    "k",
    "K",
    "j",
    "k1",
    "k2",
    "k3",
    "k4",
    "k5",
    "k6",
    "k7",
    "k8",
    "k9",
    "KEY",
    "K\xC9",
    "k\xE9",
    ";Version",
    ";[21.6]",
    ";Filename",
    "#Filename",
    "",
    "[d",
    "[21.6]Version",
    "noeq",
};
const std::vector<std::uint32_t> kSizes = {0, 1, 2, 3, 4, 5, 6, 8, 12, 258, 259, 260, 1000};

class CatalogueDifferentialTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CatalogueDifferentialTest, PortableReaderAnswersEveryLookupAsThePlatform) {
    const std::string path = WindowsPath(SARNOK_CATALOGUE_DIR "/" + GetParam());
    win32::CWin32ProfileReader platform;
    CIniFile portable;
    int compared = 0;
    int differing = 0;
    int nonEmpty = 0;
    // Compares one lookup; returns the platform's count.
    const auto compare = [&](const std::string& section, const std::string& key,
                             std::uint32_t size) {
        std::vector<char> expected(size + 16, 'X');
        std::vector<char> actual(size + 16, 'X');
        const std::uint32_t expectedCount =
            platform.GetString(section.c_str(), key.c_str(), expected.data(), size, path.c_str());
        const std::uint32_t actualCount =
            portable.GetString(section.c_str(), key.c_str(), actual.data(), size, path.c_str());
        ++compared;
        // Same count, same text, same terminator; nothing written past the buffer.
        const bool same = expectedCount == actualCount && expected == actual;
        if (!same && ++differing <= 20) {
            ADD_FAILURE() << GetParam() << " [" << section << "] \"" << key << "\" size " << size
                          << ": platform " << expectedCount << " \""
                          << std::string(expected.data(), expectedCount) << "\", portable "
                          << actualCount << " \"" << std::string(actual.data(), actualCount)
                          << "\"";
        }
        return expectedCount;
    };
    for (const std::string& section : kSections) {
        for (const std::string& key : kKeys) {
            // Every buffer size where there is a value to cut (each lookup costs the platform
            // about half a millisecond under Wine, so empty answers are not repeated).
            if (compare(section, key, kSizes.back()) != 0) {
                ++nonEmpty;
                for (const std::uint32_t size : kSizes) {
                    compare(section, key, size);
                }
            }
        }
    }
    EXPECT_EQ(differing, 0) << "of " << compared << " lookups";
    RecordProperty("lookups", compared);
    RecordProperty("non_empty", nonEmpty);
    // The lookup set must actually reach the content of every file that has some.
    if (GetParam() != "empty.ini" && GetParam() != "missing.ini") {
        EXPECT_GT(nonEmpty, 0) << "no lookup found anything in " << GetParam();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CatalogueDifferentialTest, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<std::string>& file) {
                             return file.param.substr(0, file.param.find('.'));
                         });

} // namespace
} // namespace sarnok::test
