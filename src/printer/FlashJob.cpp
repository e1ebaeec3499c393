// Flash header, reply frame check, and the dialog's reply reception and reply handling.
#include "printer/FlashJob.h"

#include "app/CfuuDlg.h"
#include "printer/WinAPIException.h"
#include "res/resource.h"

#include <cstring>

namespace sarnok {

CFlashHeader BuildFlashHeader(const char* nameText, std::uint32_t fileSize) {
    CFlashHeader header{};
    for (std::size_t i = 0; i < kFlashNameFieldSize && nameText[i] != '\0'; ++i) {
        header[i] = static_cast<std::uint8_t>(nameText[i]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        header[kFlashSizeOffset + i] = static_cast<std::uint8_t>(fileSize >> (8 * i));
    }
    return header;
}

EReplyKind ClassifyReply(const std::uint8_t* reply, std::uint32_t received) {
    if (received < kReplyHeadSize || reply[0] != 0x01 || reply[1] != 0x01) {
        return EReplyKind::Invalid;
    }
    // 64-bit, so that a length field near 2^32 cannot wrap into a small, "valid" one.
    std::uint64_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        length |= static_cast<std::uint64_t>(reply[6 + i]) << (8 * i);
    }
    if (length > static_cast<std::uint64_t>(received) - kReplyHeadSize) {
        return EReplyKind::Invalid;
    }
    const std::uint64_t checksumOffset = kReplyHeadSize - 1 + length;
    std::uint8_t checksum = 0xFF;
    for (std::uint64_t i = 0; i < checksumOffset; ++i) {
        checksum ^= reply[i];
    }
    if (checksum != reply[checksumOffset]) {
        return EReplyKind::Invalid;
    }
    if (length >= 3) {
        return EReplyKind::Error;
    }
    return length == 2 ? EReplyKind::Success : EReplyKind::Silent;
}

std::uint32_t CfuuDlg::ReceiveReply(std::uint8_t* buffer, std::uint32_t bufferSize) {
    IClock& clock = m_ports.m_clock;
    std::memset(buffer, 0, bufferSize);
    const std::uint32_t capacity = bufferSize < kReplyReadSize ? bufferSize : kReplyReadSize;
    bool started = false;
    std::uint32_t startTick = 0;
    for (;;) {
        clock.KeepResponsive();
        const std::uint32_t now = clock.GetTickCount();
        if (!started) {
            startTick = now;
            started = true;
        } else if (TicksSince(startTick, now) > kReplyLimitMs) {
            return 0;
        }
        std::uint32_t count = 0;
        try {
            count = ReadReply(buffer, capacity);
        } catch (const CWinAPIException&) {
            // A library that can no longer read will not bring the reply either.
            return 0;
        }
        // Reads do not add up: a frame must arrive within one read.
        if (count >= 2) {
            return count;
        }
    }
}

int CfuuDlg::HandleReply(const std::uint8_t* reply, std::uint32_t received) {
    IMainView& view = m_ports.m_view;
    const EReplyKind kind = ClassifyReply(reply, received);
    m_replyHandled = 1;
    if (kind == EReplyKind::Error) {
        if (m_twoStep == 0) {
            // The printer rejected the file: reported with the same text as an unreadable file.
            ShowText(1, IDS_CANNOT_OPEN_FILE);
        }
        view.SetStatusText(2, "");
        view.SetStatusText(3, "");
        m_errorReply = 1;
        return 0;
    }
    if (kind == EReplyKind::Success && m_twoStep == 0) {
        ShowText(2, IDS_UPDATE_SUCCESSFUL);
        view.SetStatusText(3, "");
        view.EnableUpdate(false);
        view.EnableCancel(true);
        m_ports.m_statusLibrary.ResumePrinterPolling(m_printerName.c_str(), 1);
        return 1;
    }
    // The first step's success, and every frame that reports nothing, shows nothing.
    return 0;
}

} // namespace sarnok
