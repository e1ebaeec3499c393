// Reply frame handling on any bytes a printer might send back, up to the whole reply buffer,
// in a single-step run and in either step of a two-step update.
#include "fakes/FakeDriverLibrary.h"
#include "printer/FlashJob.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace sarnok;

namespace {

// The frame rules written out a second time, independently of the handling under test.
int ExpectedLength(const std::uint8_t* frame, std::size_t n) {
    if (n < 10 || frame[0] != 1 || frame[1] != 1) {
        return -1;
    }
    const std::uint64_t length =
        static_cast<std::uint64_t>(frame[6]) | static_cast<std::uint64_t>(frame[7]) << 8 |
        static_cast<std::uint64_t>(frame[8]) << 16 | static_cast<std::uint64_t>(frame[9]) << 24;
    if (length + 10 > n) {
        return -1;
    }
    std::uint8_t sum = 0xFF;
    for (std::uint64_t i = 0; i <= 8 + length; ++i) {
        sum ^= frame[i];
    }
    if (sum != frame[9 + length]) {
        return -1;
    }
    return length > 3 ? 3 : static_cast<int>(length);
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size - 1 > kReplyBufferSize) {
        return 0;
    }
    const auto twoStep = static_cast<std::int32_t>(static_cast<std::int8_t>(data[0]));
    const std::size_t received = size - 1;
    // Exactly the bytes received, so that any read past them is caught.
    const auto frame = std::make_unique<std::uint8_t[]>(received);
    if (received != 0) {
        std::memcpy(frame.get(), data + 1, received);
    }

    test::CTestRig rig;
    CfuuDlg& dlg = rig.Dlg();
    dlg.m_printerName.Assign("P1");
    dlg.m_twoStep = twoStep;
    dlg.m_errorReply = 7;
    rig.m_view.SetStatusText(1, "line 1");
    rig.m_view.SetStatusText(2, "line 2");
    rig.m_view.SetStatusText(3, "line 3");

    const int result = dlg.HandleReply(frame.get(), static_cast<std::uint32_t>(received));

    const int length = ExpectedLength(frame.get(), received);
    const bool success = length == 2 && twoStep == 0;
    const bool error = length == 3;
    Check(dlg.m_replyHandled == 1);
    Check(result == (success ? 1 : 0));
    Check(dlg.m_errorReply == (error ? 1 : 7));
    Check(rig.m_status.Count("resume:") == (success ? 1 : 0));
    if (!success && !error) {
        // Nothing is shown for a frame that reports nothing or is not valid.
        Check(rig.m_view.Status(1) == "line 1" && rig.m_view.Status(2) == "line 2" &&
              rig.m_view.Status(3) == "line 3");
    }
    if (error) {
        Check(rig.m_view.Status(2).empty() && rig.m_view.Status(3).empty());
        Check((rig.m_view.Status(1) == "line 1") == (twoStep != 0));
    }
    return 0;
}
