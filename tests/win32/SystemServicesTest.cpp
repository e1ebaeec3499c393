// The system services adapter against the real (Wine) system.
#include "Win32Digest.h"
#include "Win32SystemServices.h"
#include "catalogue/Checksum.h"

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

// The CNG adapter, with the hash object in a buffer of its own, on the FIPS 180-4 example
// messages: one block, two blocks, one million 'a' (hashed in one call, as the update run hashes
// the mapped view), and no bytes at all, as an empty file is hashed (no data pointer).
TEST(DigestTest, CngGivesThePublishedSha256Vectors) {
    win32::CWin32Digest digest;
    const std::string messages[] = {"abc",
                                    "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                                    std::string(1000000, 'a'), ""};
    const char* const expected[] = {
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
        "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
        "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"};
    for (std::size_t i = 0; i < 4; ++i) {
        CSha256Digest result{};
        const auto* data = messages[i].empty()
                               ? nullptr
                               : reinterpret_cast<const std::uint8_t*>(messages[i].data());
        ASSERT_TRUE(digest.Sha256(data, messages[i].size(), &result));
        EXPECT_EQ(FormatSha256(result), expected[i]) << messages[i].size() << " bytes";
    }
}

} // namespace
} // namespace sarnok::test
