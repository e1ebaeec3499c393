#include "app/CfuuDlg.h"
#include "app/FirmwareVersion.h"
#include "printer/StatusInfo.h"
#include "res/resource.h"

namespace sarnok {

namespace {

constexpr std::uint32_t kRestartPassMs = 1000;
// A printer that has not reported the intermediate version after this long never will (its
// first step did not take, or the catalogue's text is no version it can report); the wait
// must hand the dialog back instead of holding it for ever.
constexpr std::uint32_t kIntermediateLimitMs = 300000;
constexpr const char* kStepTwoText = "Step 2 of 2";

} // namespace

EWaitEnd CfuuDlg::RestartWait() {
    IMainView& view = m_ports.m_view;
    IClock& clock = m_ports.m_clock;
    const char* printer = m_printerName.c_str();

    view.BeginWaitCursor();

    // Stage 1: wait for the printer to report the intermediate version. The size is asked
    // once and serves every pass.
    CCardPrinterInfo info(m_ports.m_statusLibrary);
    const std::uint32_t size = info.QuerySize(printer, kInfoFirmwareVersion);
    const std::uint32_t stageStart = clock.GetTickCount();
    CFirmwareNumbers numbers;
    bool numbersKnown = false; // a failed first fetch reports no version at all
    bool limitPassed = false;
    for (;;) {
        if (info.FetchFirmwareNumbers(printer, size, &numbers)) {
            numbersKnown = true;
        }
        if (size == 0) {
            break;
        }
        const std::string version = FormatFirmwareVersion(numbers.m_major, numbers.m_minor);
        if (m_twoStep == 0) {
            break;
        }
        m_ports.m_statusLibrary.ResumePrinterPolling(printer, 1);
        const bool reached = numbersKnown && m_intermediateVersion == version;
        clock.Sleep(kRestartPassMs);
        if (reached) {
            break;
        }
        if (TicksSince(stageStart, clock.GetTickCount()) >= kIntermediateLimitMs) {
            limitPassed = true;
            break;
        }
    }

    view.EnableUpdate(true);
    ShowText(2, IDS_CONNECTING);

    // Stage 2: the library must have settled its polling of the printer.
    const std::int32_t state = PollingWait(clock.GetTickCount());
    view.EnableUpdate(true);

    // Past the limit the printer did not report the intermediate version, so whatever stage 2
    // found it is not ready for the final firmware.
    if (state != 0 || limitPassed) {
        ShowText(1, IDS_NOT_RESPONDING);
        ShowText(2, IDS_CHECK_PRINTER);
        view.SetCancelCaption(Load(IDS_CLOSE));
        view.EnableCancel(true);
        view.EndWaitCursor();
        return limitPassed ? EWaitEnd::IntermediateNotReported : EWaitEnd::NotResponding;
    }

    SetLine(1, "");
    if (m_twoStep != 0 || m_replyHandled != 0) {
        SetLine(2, "");
        SetLine(3, kStepTwoText);
        view.EnableUpdate(false);
    } else {
        ShowText(2, IDS_CLICK_UPDATE);
    }
    view.EndWaitCursor();
    m_twoStep = 0;
    return EWaitEnd::Ready;
}

} // namespace sarnok
