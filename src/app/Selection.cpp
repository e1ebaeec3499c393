// Choosing a printer: identify it, pick its driver-interface library, decide its firmware.
#include "app/CfuuDlg.h"
#include "app/FirmwareVersion.h"
#include "catalogue/Eligibility.h"
#include "printer/StatusInfo.h"
#include "res/resource.h"

namespace sarnok {

namespace {

// This status-library version ships with a legacy copy that knows the model names better,
// and with its own driver-interface library.
constexpr const char* kLegacyLibraryVersion = "7.4.533";
constexpr const char* kLegacyStatusLibrary = "ORN_API.bak";
constexpr const char* kLegacyInfoEntry = "_GetCardPrinterInfoA@20";
constexpr const char* kLegacyDriverLibrary = "VIZUVUV.DLL";
constexpr const char* kDriverLibrary = "DODAVED.DLL";
constexpr const char* kStepOneText = "Step 1 of 2 for this flash update";

} // namespace

void StripWhitespace(char* text) {
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        const char c = *in;
        // A fixed set, the "C" locale's: a code page must not make 0xA0 or 0x85 vanish.
        const bool blank =
            c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
        if (!blank) {
            *out++ = c;
        }
    }
    *out = '\0';
}

void CfuuDlg::OnPrinterSelected() {
    if (DecideSelection().m_selection == ESelection::Firmware) {
        RestartWait();
        if (!m_intermediateFileName.empty()) {
            m_twoStep = 1;
            SetLine(1, kStepOneText);
        }
    }
    ShowUnfinishedUpdate();
}

void CfuuDlg::ShowUnfinishedUpdate() {
    if (!m_lastUpdate.NotRunningSent() || m_ports.m_journal == nullptr) {
        return;
    }
    std::string text = Load(IDS_LAST_UPDATE_UNFINISHED);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, m_ports.m_journal->LocalMinute(m_lastUpdate.m_time));
    }
    SetLine(1, text);
}

CSelectionDecision CfuuDlg::Decided(ESelection selection) {
    m_selection = selection;
    return {selection, m_sameVersion};
}

CSelectionDecision CfuuDlg::DecideSelection() {
    IMainView& view = m_ports.m_view;
    ILibraryLoader& loader = m_ports.m_loader;
    m_selection = ESelection::None;
    m_sameVersion = false;
    m_lastUpdate = {};

    // The plan is derived afresh from what the printer reports now: a two-step plan left from
    // an earlier selection would make the restart wait look for a version this printer was
    // never sent.
    m_twoStep = 0;
    view.EnableUpdate(false);
    SetLine(2, "");

    const int index = view.GetSelectedPrinterIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < m_printerNames.size()) {
        m_printerName.Assign(m_printerNames[static_cast<std::size_t>(index)]);
    }
    const char* printer = m_printerName.c_str();

    CCardPrinterInfo info(m_ports.m_statusLibrary);
    const std::uint32_t firmwareSize = info.QuerySize(printer, kInfoFirmwareVersion);
    if (firmwareSize == 0) {
        ShowText(1, IDS_NOT_RESPONDING);
        ShowText(2, IDS_CHECK_PRINTER);
        return Decided(ESelection::Unidentified);
    }
    CFirmwareNumbers numbers{m_fwMajor, m_fwMinor};
    if (info.FetchFirmwareNumbers(printer, firmwareSize, &numbers)) {
        m_fwMajor = numbers.m_major;
        m_fwMinor = numbers.m_minor;
    }

    const std::uint32_t modelSize = info.QuerySize(printer, kInfoModelAndLibraryVersion);
    if (modelSize != 0) {
        info.FetchModelAndVersion(printer, modelSize, &m_model, &m_libVersion);
    }
    StripWhitespace(m_libVersion.data());
    const bool legacyVersion = m_libVersion == kLegacyLibraryVersion;

    if (legacyVersion) {
        // The handle is overwritten next; a driver library kept from an earlier selection
        // would otherwise stay loaded for the rest of the program.
        if (m_hLibrary != nullptr) {
            loader.Release(m_hLibrary);
        }
        m_hLibrary = loader.Load(kLegacyStatusLibrary);
        if (m_hLibrary != nullptr) {
            const FarProc entry = loader.Lookup(m_hLibrary, kLegacyInfoEntry);
            if (entry != nullptr) {
                CCardPrinterInfo legacy(reinterpret_cast<PFN_GetCardPrinterInfoA>(entry));
                const std::uint32_t size = legacy.QuerySize(printer, kInfoModelAndLibraryVersion);
                if (size != 0) {
                    legacy.FetchModelAndVersion(printer, size, &m_model, nullptr);
                }
            }
            loader.Release(m_hLibrary);
        }
        // Whether or not the copy loaded, the handle now holds the driver library or nothing.
        m_hLibrary = loader.Load(kLegacyDriverLibrary);
    }
    if (m_hLibrary == nullptr) {
        m_hLibrary = loader.Load(kDriverLibrary);
    }

    m_fwVersion.Assign(FormatFirmwareVersion(m_fwMajor, m_fwMinor));
    if (m_ports.m_journal != nullptr) {
        // Asked only of a printer whose last run said success and which reports its old
        // version: during its restart it reports that version with its polling busy.
        const auto settled = [this] {
            IStatusLibrary& library = m_ports.m_statusLibrary;
            library.ResumePrinterPolling(m_printerName.c_str(), 1);
            std::int32_t state = 1;
            library.GetCardPrinterPollingState(m_printerName.c_str(), &state);
            return state == 0;
        };
        m_lastUpdate =
            m_ports.m_journal->Identified(m_printerName.str(), m_fwVersion.str(), settled);
        if (m_lastUpdate.m_foundNow && m_ports.m_events != nullptr) {
            m_ports.m_events->Report(kEventUpdateInterrupted, EEventType::Warning,
                                     {m_printerName.str(), m_lastUpdate.m_time,
                                      m_lastUpdate.m_firmware, m_lastUpdate.m_program});
        }
    }

    m_noUpdatePossible = NoUpdateFlag(m_model.view(), m_fwVersion.view());
    if (RefusesUpdate(m_noUpdatePossible, m_ports.m_system.IsWow64(), m_fwMajor)) {
        ShowText(2, IDS_LATEST_FIRMWARE);
        return Decided(ESelection::LatestFirmware);
    }

    m_catalogueResult =
        GetFirmwareInfo(m_fwVersion.c_str(), m_fileName.data(), m_targetVersion.data(),
                        m_intermediateFileName.data(), m_intermediateVersion.data(),
                        static_cast<std::uint32_t>(kPathTextSize));
    if (m_catalogueResult > 0) {
        view.SetFirmwareText(m_targetVersion.str());
        return Decided(ESelection::Firmware);
    }
    if (m_catalogueResult == 0) {
        view.SetFirmwareText("");
        ShowText(2, IDS_SELECT_PRINTER);
    }
    // Below 0 the lookup has already said on both lines that no entry matches.
    return Decided(ESelection::NoFirmware);
}

} // namespace sarnok
