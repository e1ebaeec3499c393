// The string table carried by the built program, read back the way the program reads it.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace sarnok::test {
namespace {

// What the user must see, written out here independently of the resource script.
const std::map<unsigned, std::wstring>& ExpectedTexts() {
    static const std::map<unsigned, std::wstring> texts = {
        {101, L"About Sarnok"},
        {102, L"Could not find any card printer drivers. "},
        {103, L"Select the printer to update or click \"Cancel\" to exit."},
        {104, L"The firmware update is successful."},
        {105, L"The printer is not responding."},
        {106, L"Printer list is empty. Verify printer driver is installed."},
        {107, L"Cannot open the firmware file. "},
        {108, L"Waiting for the printer to send update status."},
        {109, L"Connecting to the printer \u2026"},
        {110, L"Cannot send the firmware file."},
        {111, L"The printer did not send the update status within the time allowed."},
        {112, L"Updating . . . DO NOT disconnect or power down the printer."},
        {113, L"The printer beeps during download and then restarts."},
        {114, L"The application did not find a firmware file or version  that matches your "
              L"printer."},
        {115, L"Contact your printer service provider for assistance."},
        {116, L"The application found incorrect data. Click \"Cancel\" to exit."},
        {117, L"Check the printer, the cables, and try again."},
        {118, L"The application could not find or use a card printer driver."},
        {119, L"The printer contains the latest firmware. No further update is possible."},
        {120, L"Click \"Update\" to begin."},
        {121, L"The firmware versions are the same.\nTo keep the same firmware in the printer,  "
              L"click NO.\nTo send a new copy of the same firmware, click YES."},
        {122, L"Placeholder"},
        {123, L"Close"},
        {124, L"Too many Card Printers installed."},
        {125, L"Try removing some Card Printers and try again."},
        {126, L"The firmware file is damaged or is not the expected file."},
        {127, L"The printer's update status could not be read."},
        {128, L"Another firmware update is running on this workstation."},
        {129, L"Wait until it has finished, then click \"Update\" again."},
        {130, L"The last firmware update of this printer did not finish (%s)."},
    };
    return texts;
}

std::string ToAnsi(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                          size, nullptr, nullptr);
    return converted;
}

class StringTableTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(m_module.Get(), nullptr) << ProgramPath(); }

    std::string LoadAnsi(unsigned id) {
        char buffer[1024];
        const int length = ::LoadStringA(m_module.Get(), id, buffer, sizeof buffer);
        return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    }
    std::wstring LoadWide(unsigned id) {
        // Buffer size 0 gives a read-only pointer to the stored text and its exact length.
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(m_module.Get(), id, reinterpret_cast<wchar_t*>(&text), 0);
        return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
    }

    CResourceModule m_module{ProgramPath()};
};

TEST_F(StringTableTest, EveryTextIsStoredExactly) {
    for (const auto& [id, expected] : ExpectedTexts()) {
        EXPECT_EQ(LoadWide(id), expected) << "string " << id;
    }
}

TEST_F(StringTableTest, LoadStringAGivesEveryTextInTheAnsiCodePage) {
    for (const auto& [id, expected] : ExpectedTexts()) {
        EXPECT_EQ(LoadAnsi(id), ToAnsi(expected)) << "string " << id << ", code page " << GetACP();
    }
}

TEST_F(StringTableTest, EllipsisIsOneCharacterOfTheCodePage) {
    const std::string text = LoadAnsi(109);
    if (::GetACP() == 1252) {
        EXPECT_EQ(text, "Connecting to the printer \x85");
    } else if (::GetACP() == CP_UTF8) {
        EXPECT_EQ(text, "Connecting to the printer \xE2\x80\xA6");
    } else {
        GTEST_SKIP() << "ANSI code page " << ::GetACP();
    }
}

TEST_F(StringTableTest, LineBreaksAndDoubleBlanksSurvive) {
    const std::string text = LoadAnsi(121);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("printer,  click NO."), std::string::npos);
    EXPECT_NE(LoadAnsi(114).find("version  that"), std::string::npos);
}

TEST_F(StringTableTest, NothingOutsideTheNumberedRange) {
    for (unsigned id : {0u, 99u, 100u, 131u, 132u}) {
        EXPECT_EQ(LoadWide(id), L"") << "string " << id;
    }
}

} // namespace
} // namespace sarnok::test
