// Which printers already have the latest firmware, and the limit under WOW64.
#include "catalogue/Eligibility.h"
#include "app/FirmwareVersion.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace sarnok {
namespace {

TEST(LatestFirmwareTable, EveryRowMatchesItsOwnModelsAndVersionsOnly) {
    struct CRow {
        std::vector<std::string> m_models;
        std::vector<std::string> m_versions;
    };
    const std::vector<CRow> rows = {
        {{"Tavik Series", "Tavik"}, {"32.29", "27.19", "24.49"}},
        {{"Morrel Series"}, {"30.9"}},
        {{"Quennet Series"}, {"31.22"}},
        {{"Lisander Series", "Lisander", "Brisko Series"}, {"33.36", "28.26", "25.84", "36.11"}},
        {{"Vantrel"}, {"36.11"}},
        {{"Dorrin"}, {"35.31"}},
        {{"Hesket Series", "Hesket", "Palvo Series"}, {"34.64", "29.23", "26.48"}},
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (const std::string& model : rows[r].m_models) {
            for (std::size_t v = 0; v < rows.size(); ++v) {
                for (const std::string& version : rows[v].m_versions) {
                    const bool own = std::find(rows[r].m_versions.begin(), rows[r].m_versions.end(),
                                               version) != rows[r].m_versions.end();
                    EXPECT_EQ(IsLatestFirmware(model, version), own ? 1 : 0)
                        << model << " at " << version;
                }
            }
        }
    }
}

TEST(LatestFirmwareTable, ComparisonsAreExactWholeTexts) {
    EXPECT_EQ(IsLatestFirmware("Tavik Series", "32.29"), 1);
    EXPECT_EQ(IsLatestFirmware("Tavik Series", "32.30"), 0);
    EXPECT_EQ(IsLatestFirmware("Tavik Series", "32.290"), 0);
    EXPECT_EQ(IsLatestFirmware("Tavik Series", "32.2"), 0);
    EXPECT_EQ(IsLatestFirmware("Tavik series", "32.29"), 0);
    EXPECT_EQ(IsLatestFirmware("Tavik Series ", "32.29"), 0);
    EXPECT_EQ(IsLatestFirmware(" Tavik", "32.29"), 0);
    EXPECT_EQ(IsLatestFirmware("Tavik", "32.29 "), 0);
    EXPECT_EQ(IsLatestFirmware("Morrel Series", "30.9"), 1);
    EXPECT_EQ(IsLatestFirmware("Morrel Series", "30.90"), 0);
    EXPECT_EQ(IsLatestFirmware("Morrel Series", "30.09"), 0);
    EXPECT_EQ(IsLatestFirmware("Vantrel", "33.36"), 0);
    EXPECT_EQ(IsLatestFirmware("", "32.29"), 0);
    EXPECT_EQ(IsLatestFirmware("Gremmet Series", "34.64"), 0);
    EXPECT_EQ(IsLatestFirmware("Unknown", ""), 0);
    EXPECT_EQ(IsLatestFirmware(std::string("Tavik\0X", 7), "32.29"), 0);
}

TEST(NoUpdateFlag, ExemptModelsAreClearedSoOnlyBareHesketKeepsRowSeven) {
    EXPECT_EQ(NoUpdateFlag("Hesket", "34.64"), 1);
    EXPECT_EQ(NoUpdateFlag("Hesket Series", "34.64"), 0);
    EXPECT_EQ(NoUpdateFlag("Palvo Series", "29.23"), 0);
    EXPECT_EQ(NoUpdateFlag("Dorrin", "35.31"), 1);
    for (const char* version : {"34.64", "36.11", "0.0", ""}) {
        EXPECT_EQ(NoUpdateFlag("Gremmet Series", version), 0) << version;
    }
    EXPECT_TRUE(IsExemptModel("Gremmet Series"));
    EXPECT_FALSE(IsExemptModel("Gremmet"));
    EXPECT_FALSE(IsExemptModel("Hesket"));
}

TEST(NoUpdateVerdict, Wow64LimitRefusesMajorsAboveFortyTakenUnsigned) {
    EXPECT_FALSE(RefusesUpdate(0, true, 40));
    EXPECT_TRUE(RefusesUpdate(0, true, 41));
    EXPECT_TRUE(RefusesUpdate(0, true, INT_MAX));
    // A negative major is a huge unsigned number.
    EXPECT_TRUE(RefusesUpdate(0, true, -1));
    EXPECT_TRUE(RefusesUpdate(0, true, INT_MIN));
    EXPECT_FALSE(RefusesUpdate(0, true, 0));
    EXPECT_FALSE(RefusesUpdate(0, false, 41));
    EXPECT_FALSE(RefusesUpdate(0, false, -1));
    EXPECT_TRUE(RefusesUpdate(1, false, 0));
    EXPECT_TRUE(RefusesUpdate(1, true, 12));
}

TEST(FirmwareVersionText, DecimalNumbersWithoutLeadingZeros) {
    EXPECT_EQ(FormatFirmwareVersion(32, 29), "32.29");
    EXPECT_EQ(FormatFirmwareVersion(30, 9), "30.9");
    EXPECT_EQ(FormatFirmwareVersion(30, 90), "30.90");
    EXPECT_EQ(FormatFirmwareVersion(9, 5), "9.5");
    EXPECT_EQ(FormatFirmwareVersion(0, 0), "0.0");
    EXPECT_EQ(FormatFirmwareVersion(-99, 999), "-99.999");
}

TEST(FirmwareVersionText, NumbersBeyondTheShortFieldsAreWrittenInFull) {
    EXPECT_EQ(FormatFirmwareVersion(1000, 0), "1000.0");
    EXPECT_EQ(FormatFirmwareVersion(-100, 5), "-100.5");
    EXPECT_EQ(FormatFirmwareVersion(12, 12345), "12.12345");
    const std::string widest = FormatFirmwareVersion(INT_MIN, INT_MIN);
    EXPECT_EQ(widest, "-2147483648.-2147483648");
    EXPECT_LT(widest.size(), 80u);
    // Different numbers never share a text.
    EXPECT_NE(FormatFirmwareVersion(1000, 1), FormatFirmwareVersion(100, 1));
}

TEST(StripWhitespaceText, RemovesTheSixBlankCharactersAndKeepsHighBytes) {
    char text[] = " 7.4\t.5\n3\v3\f\r ";
    StripWhitespace(text);
    EXPECT_STREQ(text, "7.4.533");

    char high[] = "\xA0"
                  "7.4.533\x85\xFF";
    StripWhitespace(high);
    EXPECT_STREQ(high, "\xA0"
                       "7.4.533\x85\xFF");

    char blanks[] = " \t\n ";
    StripWhitespace(blanks);
    EXPECT_STREQ(blanks, "");

    char empty[] = "";
    StripWhitespace(empty);
    EXPECT_STREQ(empty, "");
}

} // namespace
} // namespace sarnok
