// The spooler adapter against the real (Wine) spooler, which has no printers of ours.
#include "Win32Spooler.h"

#include <gtest/gtest.h>

namespace sarnok::test {
namespace {

using win32::CWin32Spooler;

TEST(SpoolerTest, EnumerationSucceedsAndListsNamedPrinters) {
    CWin32Spooler spooler;
    const CEnumerationResult result = spooler.EnumerateLocalPrinters();
    ASSERT_EQ(result.m_result, EEnumeration::Ok) << result.m_errorCode;
    for (const CPrinterEntry& printer : result.m_printers) {
        EXPECT_FALSE(printer.m_name.empty());
    }
}

TEST(SpoolerTest, UnknownPrinterDoesNotOpen) {
    CWin32Spooler spooler;
    PrinterHandle printer = reinterpret_cast<PrinterHandle>(0x1234);
    EXPECT_FALSE(spooler.Open("No such card printer 7d1f", &printer, 0));
    EXPECT_EQ(printer, nullptr);
    printer = reinterpret_cast<PrinterHandle>(0x1234);
    EXPECT_FALSE(spooler.Open("No such card printer 7d1f", &printer, kPrinterAllAccess));
    EXPECT_EQ(printer, nullptr);
}

} // namespace
} // namespace sarnok::test
