// The system services adapter against the real (Wine) system.
#include "Win32SystemServices.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace sarnok::test {
namespace {

using win32::CWin32SystemServices;

TEST(SystemServicesTest, IsWow64AnswersForThisProcess) {
    CWin32SystemServices system;
#ifdef _WIN64
    // A 64-bit process is never a 32-bit one on a 64-bit system.
    EXPECT_FALSE(system.IsWow64());
#else
    // Asked independently: a 32-bit process on a 64-bit processor runs under WOW64.
    SYSTEM_INFO native;
    ::GetNativeSystemInfo(&native);
    const bool expected = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                          native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    EXPECT_EQ(system.IsWow64(), expected);
#endif
}

TEST(SystemServicesTest, ErrorTextIsTheSystemMessage) {
    CWin32SystemServices system;
    const DWORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
    const CSystemText text = system.GetErrorText(ERROR_FILE_NOT_FOUND, language);
    ASSERT_NE(text, nullptr);

    char expected[512] = {};
    ASSERT_NE(::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               ERROR_FILE_NOT_FOUND, language, expected, sizeof expected, nullptr),
              0u);
    EXPECT_STREQ(text.get(), expected);
    EXPECT_GT(std::strlen(text.get()), 0u);

    // A copy shares the text; it lives until the last owner lets go.
    CSystemText copy = text;
    EXPECT_EQ(copy.get(), text.get());
}

TEST(SystemServicesTest, UnknownErrorCodeHasNoText) {
    CWin32SystemServices system;
    EXPECT_EQ(system.GetErrorText(0x2000FFFFu, 0), nullptr);
}

TEST(SystemServicesTest, LastErrorIsTheThreadsValue) {
    CWin32SystemServices system;
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(system.GetLastErrorCode(), 122u);
    EXPECT_EQ(system.GetUserDefaultLanguage(), ::GetUserDefaultLangID());
}

TEST(SystemServicesTest, ExecutablePathIsThisProgram) {
    CWin32SystemServices system;
    std::string path;
    ASSERT_TRUE(system.GetExecutablePath(&path));
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.find('\0'), std::string::npos);
    char upper[MAX_PATH] = {};
    std::strncpy(upper, path.c_str() + path.size() - 4, 4);
    ::CharUpperA(upper);
    EXPECT_STREQ(upper, ".EXE");
    // The file named is really there.
    EXPECT_NE(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
}

TEST(SystemServicesTest, UpperCaseAnsiForPrintProcessorNames) {
    CWin32SystemServices system;
    EXPECT_EQ(system.UpperCaseAnsi("mox print processor"), "MOX PRINT PROCESSOR");
    EXPECT_EQ(system.UpperCaseAnsi("Velmora Print Processor"), "VELMORA PRINT PROCESSOR");
    EXPECT_EQ(system.UpperCaseAnsi("Mox  Print Processor "), "MOX  PRINT PROCESSOR ");
    EXPECT_EQ(system.UpperCaseAnsi(""), "");
    // The length is kept, embedded zero bytes included.
    EXPECT_EQ(system.UpperCaseAnsi(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(SystemServicesTest, UpperCaseAnsiUsesTheCodePage) {
    if (::GetACP() != 1252) {
        GTEST_SKIP() << "ANSI code page " << ::GetACP();
    }
    CWin32SystemServices system;
    EXPECT_EQ(system.UpperCaseAnsi("caf\xE9 \xE4"), "CAF\xC9 \xC4");
}

TEST(SystemServicesTest, TaskMemoryIsUsable) {
    CWin32SystemServices system;
    void* block = system.AllocateTaskMemory(64);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xA5, 64);
    system.FreeTaskMemory(block);
    system.FreeTaskMemory(nullptr); // harmless, as CoTaskMemFree defines it
}

} // namespace
} // namespace sarnok::test
