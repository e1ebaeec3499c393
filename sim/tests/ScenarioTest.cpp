#include "core/Scenario.h"
#include "core/DemoFirmware.h"

#include <gtest/gtest.h>

#include <sstream>

namespace sarnok::sim {
namespace {

bool Parse(const std::string& text, CScenario* scenario, std::string* error) {
    std::istringstream in(text);
    return ParseScenario(in, scenario, error);
}

TEST(ScenarioTest, ReadsEveryKeyOfAPrinterAndTheSimSection) {
    CScenario scenario;
    std::string error;
    ASSERT_TRUE(Parse("# demo\r\n"
                      "[sim]\n"
                      "time-scale = 10\n"
                      "enum-error = 122\n"
                      "log = job.log\n"
                      "\n"
                      "[printer]\n"
                      "name =  Card A  \n"
                      "port = USB007\n"
                      "processor = VELMORA PRINT PROCESSOR\n"
                      "model = CP-60\n"
                      "legacy-model = CP-60 Classic\n"
                      "library-version =  7.4.533\n"
                      "firmware = 32.29\n"
                      "restart-ms = 190000\n"
                      "busy-ms = 4000\n"
                      "polling = never-settles\n"
                      "takes-firmware = no\n"
                      "read-delay-ms = 3\n"
                      "open-error = 5\n"
                      "getprinter-error = fails\n"
                      "write-error = 2:1167\n"
                      "write-zero = 3\n"
                      "read-error = 21\n"
                      "info-size-zero = 1, 2\n"
                      "info-fetch-fails = 2\n"
                      "short-record = 12\n"
                      "startdoc-error = 6\n"
                      "enddoc-error = 31\n"
                      "zevread-error = 1167\n"
                      "reply = split:4\n"
                      "empty-reads = 2\n"
                      "noise-reads = 1\n",
                      &scenario, &error))
        << error;
    EXPECT_EQ(scenario.m_timeScale, 10u);
    EXPECT_EQ(scenario.m_enumError, 122u);
    EXPECT_EQ(scenario.m_logPath, "job.log");
    ASSERT_EQ(scenario.m_printers.size(), 1u);
    const CSimPrinterConfig& p = scenario.m_printers[0];
    EXPECT_EQ(p.m_name, "Card A");
    EXPECT_EQ(p.m_port, "USB007");
    EXPECT_EQ(p.m_printProcessor, "VELMORA PRINT PROCESSOR");
    EXPECT_EQ(p.m_model, "CP-60");
    EXPECT_EQ(p.m_legacyModel, "CP-60 Classic");
    EXPECT_EQ(p.m_libVersion, "7.4.533");
    EXPECT_EQ(p.m_fwMajor, 32);
    EXPECT_EQ(p.m_fwMinor, 29);
    EXPECT_EQ(p.m_restartMs, 190000u);
    EXPECT_EQ(p.m_busyMs, 4000u);
    EXPECT_TRUE(p.m_pollingNeverSettles);
    EXPECT_TRUE(p.m_neverTakesFirmware);
    EXPECT_EQ(p.m_readDelayMs, 3u);
    EXPECT_EQ(p.m_openError, 5u);
    EXPECT_EQ(p.m_getPrinterError, 31u);
    ASSERT_TRUE(p.m_writeErrorAt.has_value());
    EXPECT_EQ(*p.m_writeErrorAt, 2u);
    EXPECT_EQ(p.m_writeErrorCode, 1167u);
    ASSERT_TRUE(p.m_writeZeroAt.has_value());
    EXPECT_EQ(*p.m_writeZeroAt, 3u);
    EXPECT_EQ(p.m_readError, 21u);
    EXPECT_EQ(p.m_infoSizeZero, (std::set<int>{1, 2}));
    EXPECT_EQ(p.m_infoFetchFails, (std::set<int>{2}));
    EXPECT_EQ(p.m_shortRecord, 12u);
    EXPECT_EQ(p.m_startDocError, 6u);
    EXPECT_EQ(p.m_endDocError, 31u);
    EXPECT_EQ(p.m_zevReadError, 1167u);
    EXPECT_EQ(p.m_reply, EReplyMode::Split);
    EXPECT_EQ(p.m_splitAt, 4u);
    EXPECT_EQ(p.m_emptyReads, 2u);
    EXPECT_EQ(p.m_noiseReads, 1u);
}

TEST(ScenarioTest, DefaultsDescribeAHealthyPrinter) {
    CScenario scenario;
    std::string error;
    ASSERT_TRUE(Parse("[printer]\nname = P\nprocessor = \" Mox  Print \"\n[printer]\nname = Q\n",
                      &scenario, &error))
        << error;
    EXPECT_EQ(scenario.m_printers[0].m_printProcessor, " Mox  Print ") << "quotes keep blanks";
    ASSERT_EQ(scenario.m_printers.size(), 2u);
    const CSimPrinterConfig& p = scenario.m_printers[1];
    EXPECT_EQ(p.m_name, "Q");
    EXPECT_EQ(p.m_reply, EReplyMode::Auto);
    EXPECT_FALSE(p.m_writeErrorAt.has_value());
    EXPECT_FALSE(p.m_pollingNeverSettles);
    EXPECT_EQ(scenario.m_timeScale, 1u);
    EXPECT_EQ(scenario.m_enumError, 0u);
}

TEST(ScenarioTest, MistakesAreReportedWithTheirLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[printer]\nname = P\nreplay = none\n", "line 3: unknown printer key replay"},
        {"[printer]\nname = P\nrestart-ms = 20s\n", "line 3: bad value for restart-ms: 20s"},
        {"[printer]\nname = P\nfirmware = 32\n", "line 3: bad value for firmware: 32"},
        {"[printer]\nname = P\nreply = split:12\n", "line 3: bad value for reply: split:12"},
        {"[printer]\nname = P\nshort-record = 24\n", "line 3: bad value for short-record: 24"},
        {"[printer]\nport = USB001\n[sim]\n", "line 3: printer without a name"},
        {"[printer]\nname = P\n[printer]\nname = P\n", "line 4: two printers named \"P\""},
        {"name = P\n", "line 1: key outside a section"},
        {"[printers]\n", "line 1: unknown section [printers]"},
        {"[sim]\ntime-scale = 0\n", "line 2: bad value for time-scale: 0"},
        {"[sim]\nspeed = 3\n", "line 2: unknown sim key speed"},
        {"[printer]\nname = P\nwrite-error = x:5\n", "line 3: bad value for write-error: x:5"},
        {"[printer]\nname = P\ninfo-size-zero = 1,,2\n",
         "line 3: bad value for info-size-zero: 1,,2"},
        {"[printer]\nname P\n", "line 2: expected key = value"},
    };
    for (const auto& c : cases) {
        CScenario scenario;
        std::string error;
        EXPECT_FALSE(Parse(c.text, &scenario, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(ScenarioTest, VersionTextsNeedBothNumbersAndNothingElse) {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    EXPECT_TRUE(ParseVersion("30.9", &major, &minor));
    EXPECT_EQ(major, 30);
    EXPECT_EQ(minor, 9);
    EXPECT_TRUE(ParseVersion("-1.0", &major, &minor));
    EXPECT_EQ(major, -1);
    EXPECT_FALSE(ParseVersion("30.", &major, &minor));
    EXPECT_FALSE(ParseVersion(".9", &major, &minor));
    EXPECT_FALSE(ParseVersion("30.9 ", &major, &minor));
    EXPECT_FALSE(ParseVersion("30.9.1", &major, &minor));
}

TEST(DemoFirmwareTest, ImagesCarryModelAndVersionInTheirHeader) {
    std::vector<std::uint8_t> image;
    ASSERT_TRUE(BuildDemoImage({"CP-40", 33, 1}, 4500, &image));
    ASSERT_EQ(image.size(), 4500u);
    CDemoImageInfo info;
    ASSERT_TRUE(ParseDemoImage(image.data(), image.size(), &info));
    EXPECT_EQ(info.m_model, "CP-40");
    EXPECT_EQ(info.m_major, 33);
    EXPECT_EQ(info.m_minor, 1);

    std::vector<std::uint8_t> other;
    ASSERT_TRUE(BuildDemoImage({"CP-40", 33, 2}, 4500, &other));
    EXPECT_NE(std::vector<std::uint8_t>(image.begin() + 48, image.end()),
              std::vector<std::uint8_t>(other.begin() + 48, other.end()));
}

TEST(DemoFirmwareTest, RejectsWhatIsNoDemoImage) {
    std::vector<std::uint8_t> image;
    EXPECT_FALSE(BuildDemoImage({"CP-40", 1, 0}, 47, &image));
    EXPECT_FALSE(BuildDemoImage({std::string(32, 'M'), 1, 0}, 100, &image));
    ASSERT_TRUE(BuildDemoImage({std::string(31, 'M'), 1, 0}, 48, &image));

    CDemoImageInfo info;
    EXPECT_TRUE(ParseDemoImage(image.data(), image.size(), &info));
    EXPECT_EQ(info.m_model, std::string(31, 'M'));
    EXPECT_FALSE(ParseDemoImage(image.data(), 47, &info));
    EXPECT_FALSE(ParseDemoImage(nullptr, 0, &info));
    std::vector<std::uint8_t> broken = image;
    broken[0] = 'X';
    EXPECT_FALSE(ParseDemoImage(broken.data(), broken.size(), &info));
    broken = image;
    broken[8 + 31] = 'M'; // model field without a terminator
    EXPECT_FALSE(ParseDemoImage(broken.data(), broken.size(), &info));
}

} // namespace
} // namespace sarnok::sim
