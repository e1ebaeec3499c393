// The flash header, the reply frame check, reply reception and reply handling.
#include "printer/FlashJob.h"
#include "fakes/FakeDriverLibrary.h"

#include <gtest/gtest.h>

namespace sarnok::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

EReplyKind Classify(const Bytes& bytes) {
    return ClassifyReply(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// A valid frame with the given length field (1 or more) and a filler payload.
Bytes Frame(std::uint32_t length) {
    Bytes frame{0x01, 0x01, 0xAA, 0xBB, 0xCC, 0xDD};
    for (int i = 0; i < 4; ++i) {
        frame.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    }
    frame.resize(frame.size() + (length == 0 ? 0 : length - 1), 0x5A);
    std::uint8_t checksum = 0xFF;
    for (std::uint8_t byte : frame) {
        checksum ^= byte;
    }
    frame.push_back(checksum);
    return frame;
}

TEST(FlashHeaderTest, NameZeroFilledAndSizeLittleEndian) {
    const CFlashHeader header = BuildFlashHeader("Flash update", 0x12345678);
    const Bytes expected{'F', 'l', 'a', 's', 'h', ' ', 'u', 'p', 'd',  'a',  't',  'e',
                         0,   0,   0,   0,   0,   0,   0,   0,   0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(Bytes(header.begin(), header.end()), expected);
}

TEST(FlashHeaderTest, NameTextIsCutAtTwentyBytes) {
    const CFlashHeader header = BuildFlashHeader("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 4500);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 20), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(header[20], 0x94);
    EXPECT_EQ(header[21], 0x11);
    EXPECT_EQ(header[22], 0);
    EXPECT_EQ(header[23], 0);
}

TEST(ReplyFrameTest, WorkedFramesAreSuccessAndError) {
    EXPECT_EQ(Classify({0x01, 0x01, 0, 0, 0, 0, 0x02, 0, 0, 0, 0x00, 0xFD}), EReplyKind::Success);
    EXPECT_EQ(Classify({0x01, 0x01, 0, 0, 0, 0, 0x03, 0, 0, 0, 0x00, 0x00, 0xFC}),
              EReplyKind::Error);
    EXPECT_EQ(Classify(SuccessFrame()), EReplyKind::Success);
    EXPECT_EQ(Classify(ErrorFrame()), EReplyKind::Error);
}

TEST(ReplyFrameTest, LengthFieldDecidesWhatAValidFrameReports) {
    // With L = 0 the checksum is the length field's last byte: 0xFF ^ 0x01 ^ 0x01 ^ 0xFF = 0.
    EXPECT_EQ(Classify({0x01, 0x01, 0xFF, 0, 0, 0, 0, 0, 0, 0}), EReplyKind::Silent);
    EXPECT_EQ(Classify({0x01, 0x01, 0xFE, 0, 0, 0, 0, 0, 0, 0}), EReplyKind::Invalid);
    EXPECT_EQ(Classify(Frame(1)), EReplyKind::Silent);
    EXPECT_EQ(Classify(Frame(2)), EReplyKind::Success);
    EXPECT_EQ(Classify(Frame(40)), EReplyKind::Error);
    // Offsets 2 to 5 and the payload are not examined.
    Bytes frame = Frame(5);
    frame[2] ^= 0xFF;
    frame[12] ^= 0x0F;
    frame.back() ^= 0xFF ^ 0x0F;
    EXPECT_EQ(Classify(frame), EReplyKind::Error);
}

TEST(ReplyFrameTest, TrailingBytesAreIgnored) {
    Bytes frame = SuccessFrame();
    frame.insert(frame.end(), {0x77, 0x01, 0x02});
    EXPECT_EQ(Classify(frame), EReplyKind::Success);
}

TEST(ReplyFrameTest, BrokenFramesAreInvalid) {
    const Bytes success = SuccessFrame();
    EXPECT_EQ(Classify(Bytes(success.begin(), success.begin() + 9)), EReplyKind::Invalid);
    Bytes marker = SuccessFrame();
    marker[0] = 0x02;
    EXPECT_EQ(Classify(marker), EReplyKind::Invalid);
    marker = SuccessFrame();
    marker[1] = 0x00;
    EXPECT_EQ(Classify(marker), EReplyKind::Invalid);
    Bytes checksum = SuccessFrame();
    checksum[11] ^= 0x01;
    EXPECT_EQ(Classify(checksum), EReplyKind::Invalid);
    // One byte short of the length field's promise.
    const Bytes error = ErrorFrame();
    EXPECT_EQ(Classify(Bytes(error.begin(), error.end() - 1)), EReplyKind::Invalid);
    // The whole frame is in memory, but only 12 of its bytes were received.
    EXPECT_EQ(ClassifyReply(error.data(), 12), EReplyKind::Invalid);
}

TEST(ReplyFrameTest, LengthNearTwoToTheThirtySecondIsInvalidAndReadsNoFurther) {
    for (const std::uint32_t length : {0xFFFFFFFFu, 0xFFFFFFF6u, 0xFFFFFFF7u, 0x80000000u}) {
        // Exactly the received bytes on the heap, so a read past them shows under sanitizers.
        Bytes frame{0x01, 0x01, 0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            frame.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
        }
        frame.push_back(0xFF);
        frame.push_back(0xFF);
        auto exact = std::make_unique<std::uint8_t[]>(frame.size());
        std::copy(frame.begin(), frame.end(), exact.get());
        EXPECT_EQ(ClassifyReply(exact.get(), static_cast<std::uint32_t>(frame.size())),
                  EReplyKind::Invalid)
            << length;
    }
}

class ReplyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDriverRecorder();
        AddDriverLibrary(m_rig.m_loader);
        Dlg().m_hLibrary = m_rig.m_loader.Load("DODAVED.DLL");
        ASSERT_EQ(Dlg().BindDriverInterface(Dlg().m_hLibrary), 1);
        Dlg().m_printerName.Assign("P1");
        Driver().m_clock = &m_rig.m_clock;
        for (int line = 1; line <= 3; ++line) {
            m_rig.m_view.SetStatusText(line, "before " + std::to_string(line));
        }
        m_rig.m_view.m_log.clear();
    }
    void Reply(const Bytes& bytes) { Driver().m_replies.push_back({1, bytes, std::nullopt, 0}); }
    int Handle(const Bytes& bytes) {
        return Dlg().HandleReply(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    CfuuDlg& Dlg() { return m_rig.Dlg(); }
    CFakeDriverRecorder& Driver() { return DriverRecorder(); }
    CFakeView& View() { return m_rig.m_view; }

    CTestRig m_rig;
    std::uint8_t m_buffer[kReplyBufferSize];
};

// ---- Reception ----

TEST_F(ReplyTest, OneByteReadIsDiscardedAndTheNextFrameEndsReception) {
    Reply({0x01});
    Reply(SuccessFrame());
    Reply(ErrorFrame()); // never read
    EXPECT_EQ(Dlg().ReceiveReply(m_buffer, kReplyBufferSize), 12u);
    EXPECT_EQ(Bytes(m_buffer, m_buffer + 12), SuccessFrame());
    EXPECT_EQ(Driver().m_calls, (std::vector<std::string>{"read:50", "read:50"}));
    EXPECT_EQ(m_rig.m_clock.m_slept, 0u); // no pause between reads
    EXPECT_GE(m_rig.m_clock.m_keepResponsiveCalls, 2);
    EXPECT_EQ(Handle(Bytes(m_buffer, m_buffer + 12)), 1);
}

TEST_F(ReplyTest, FiveByteReadEndsReceptionAndShowsNothing) {
    Reply({0x01, 0x01, 0x00, 0x00, 0x00});
    Reply(SuccessFrame());
    const std::uint32_t received = Dlg().ReceiveReply(m_buffer, kReplyBufferSize);
    ASSERT_EQ(received, 5u);
    EXPECT_EQ(Dlg().HandleReply(m_buffer, received), 0);
    EXPECT_EQ(Dlg().m_replyHandled, 1);
    EXPECT_EQ(View().Status(2), "before 2");
    EXPECT_TRUE(View().m_log.empty());
}

TEST_F(ReplyTest, BufferIsZeroedOnceAndEachReadFillsItFromTheStart) {
    std::fill(std::begin(m_buffer), std::end(m_buffer), 0xEE);
    Reply({0x01});
    Reply({0x01, 0x01, 0x02});
    EXPECT_EQ(Dlg().ReceiveReply(m_buffer, kReplyBufferSize), 3u);
    EXPECT_EQ(Bytes(m_buffer, m_buffer + 4), (Bytes{0x01, 0x01, 0x02, 0x00}));
    EXPECT_EQ(m_buffer[kReplyBufferSize - 1], 0);
}

TEST_F(ReplyTest, NoReplyWithinTheLimitEndsAfterTheFirstReadPastIt) {
    Driver().m_readCostMs = 1000;
    EXPECT_EQ(Dlg().ReceiveReply(m_buffer, kReplyBufferSize), 0u);
    // Reads at 0, 1, ..., 190 s; the pass at 191 s finds more than 190000 ms gone.
    EXPECT_EQ(Driver().m_reads, 191u);
    EXPECT_EQ(m_rig.m_clock.m_slept, 0u);
}

TEST_F(ReplyTest, TheFirstReadAlwaysHappensAndTheLimitSurvivesATickWrap) {
    m_rig.m_clock.m_now = 0xFFFFFFFFu - 50000;
    Driver().m_readCostMs = 10000;
    EXPECT_EQ(Dlg().ReceiveReply(m_buffer, kReplyBufferSize), 0u);
    EXPECT_EQ(Driver().m_reads, 20u); // 0 .. 190 s in steps of 10 s, across the wrap

    ResetDriverRecorder();
    AddDriverLibrary(m_rig.m_loader, EDriverExports::Plain, "OTHER.DLL");
    ModuleHandle other = m_rig.m_loader.Load("OTHER.DLL");
    ASSERT_EQ(Dlg().BindDriverInterface(other), 1);
    Driver().m_clock = &m_rig.m_clock;
    Driver().m_readCostMs = 500000; // one read takes longer than the whole limit
    Reply({});
    Reply(SuccessFrame());
    EXPECT_EQ(Dlg().ReceiveReply(m_buffer, kReplyBufferSize), 0u);
    EXPECT_EQ(Driver().m_reads, 1u);
}

TEST_F(ReplyTest, FailingReadEndsReceptionWithoutAReply) {
    Reply({0x01});
    Driver().m_replies.push_back({0, {}, std::nullopt, 31});
    Reply(SuccessFrame());
    EXPECT_EQ(Dlg().ReceiveReply(m_buffer, kReplyBufferSize), 0u);
    EXPECT_EQ(Driver().m_reads, 2u);
    EXPECT_EQ(m_rig.m_system.m_liveErrorTexts, 0u);
}

// ---- Handling ----

TEST_F(ReplyTest, SuccessEndsASingleStepUpdate) {
    EXPECT_EQ(Handle(SuccessFrame()), 1);
    EXPECT_EQ(View().Status(1), "before 1");
    EXPECT_EQ(View().Status(2), "The firmware update is successful.");
    EXPECT_EQ(View().Status(3), "");
    EXPECT_FALSE(View().m_updateEnabled);
    EXPECT_TRUE(View().m_cancelEnabled);
    EXPECT_EQ(Dlg().m_replyHandled, 1);
    EXPECT_EQ(m_rig.m_status.Count("resume:P1:1"), 1);
}

TEST_F(ReplyTest, SuccessInTheFirstStepShowsNothing) {
    Dlg().m_twoStep = 1;
    Dlg().m_errorReply = 1;
    EXPECT_EQ(Handle(SuccessFrame()), 0);
    EXPECT_TRUE(View().m_log.empty());
    EXPECT_EQ(Dlg().m_replyHandled, 1);
    EXPECT_EQ(Dlg().m_errorReply, 1);
    EXPECT_EQ(m_rig.m_status.Count("resume:"), 0);
}

TEST_F(ReplyTest, ErrorReportUsesTheFileTextAndKeepsLineOneInTheFirstStep) {
    EXPECT_EQ(Handle(ErrorFrame()), 0);
    EXPECT_EQ(View().Status(1), "Cannot open the firmware file. ");
    EXPECT_EQ(View().Status(2), "");
    EXPECT_EQ(View().Status(3), "");
    EXPECT_EQ(Dlg().m_errorReply, 1);
    EXPECT_EQ(Dlg().m_replyHandled, 1);

    CTestRig twoStep;
    twoStep.m_view.SetStatusText(1, "Updating");
    twoStep.Dlg().m_twoStep = 1;
    const Bytes frame = ErrorFrame();
    EXPECT_EQ(twoStep.Dlg().HandleReply(frame.data(), 13), 0);
    EXPECT_EQ(twoStep.m_view.Status(1), "Updating");
    EXPECT_EQ(twoStep.m_view.Status(2), "");
    EXPECT_EQ(twoStep.m_view.Status(3), "");
    EXPECT_EQ(twoStep.Dlg().m_errorReply, 1);
}

TEST_F(ReplyTest, InvalidOrSilentFramesOnlyMarkTheReplyHandled) {
    const Bytes silent{0x01, 0x01, 0xFF, 0, 0, 0, 0, 0, 0, 0};
    for (const Bytes& frame : {silent, Frame(1), Bytes{0x01, 0x01, 0, 0, 0, 0, 0x7F, 0, 0, 0}}) {
        Dlg().m_replyHandled = 0;
        EXPECT_EQ(Handle(frame), 0);
        EXPECT_EQ(Dlg().m_replyHandled, 1);
    }
    EXPECT_TRUE(View().m_log.empty());
    EXPECT_EQ(Dlg().m_errorReply, 0);
}

} // namespace
} // namespace sarnok::test
