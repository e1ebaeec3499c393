#include "app/CfuuDlg.h"

#include "res/resource.h"

namespace sarnok {

namespace {

// Print processors of the card printers this program can update. The first is compared after
// upper-casing it the same way as the printer's processor name; the second is upper case.
constexpr const char* kMakerPrintProcessor = "Mox Print Processor";
constexpr const char* kMakerPrintProcessorUpper = "VELMORA PRINT PROCESSOR";
constexpr const char* kEntrySeparator = "      "; // six blanks between printer and port

constexpr std::uint32_t kPollingLimitMs = 30000;
constexpr std::uint32_t kPollingPassMs = 1000;

} // namespace

CfuuDlg::CfuuDlg(const CPorts& ports) : m_ports(ports) {}

CfuuDlg::~CfuuDlg() {
    if (m_hLibrary != nullptr) {
        m_ports.m_loader.Release(m_hLibrary);
        m_hLibrary = nullptr;
    }
}

const std::string& CfuuDlg::Load(unsigned id) {
    m_messageText = m_ports.m_view.LoadText(id);
    return m_messageText;
}

void CfuuDlg::ShowText(int line, unsigned id) {
    SetLine(line, Load(id));
}

void CfuuDlg::SetLine(int line, const std::string& text) {
    if (line >= 1 && line <= 3) {
        m_statusLines[static_cast<std::size_t>(line - 1)] = text;
    }
    m_ports.m_view.SetStatusText(line, text);
}

EDiscovery CfuuDlg::InitDialog() {
    IMainView& view = m_ports.m_view;
    ISpooler& spooler = m_ports.m_spooler;

    m_twoStep = 0;
    view.DisableFirmwareField();
    m_replyHandled = 0;

    if (view.HasSystemMenu()) {
        const std::string about = view.LoadText(IDS_ABOUTBOX);
        if (!about.empty()) {
            view.AppendSystemMenuSeparator();
            view.AppendSystemMenuItem(IDM_ABOUTBOX, about);
        }
    }
    view.SetWindowIcons();

    const CEnumerationResult enumeration = spooler.EnumerateLocalPrinters();
    if (enumeration.m_result != EEnumeration::Ok) {
        // No retry with a larger buffer: too many card printers is reported as such.
        if (enumeration.m_result == EEnumeration::InsufficientBuffer) {
            ShowText(1, IDS_TOO_MANY_PRINTERS);
            ShowText(2, IDS_REMOVE_PRINTERS);
        } else {
            ShowText(2, IDS_NO_DRIVERS);
        }
        view.EnableUpdate(false);
        return EDiscovery::Unreadable;
    }

    const std::string makerProcessor = m_ports.m_system.UpperCaseAnsi(kMakerPrintProcessor);
    for (const CPrinterEntry& printer : enumeration.m_printers) {
        m_hPrinter = nullptr;
        if (!spooler.Open(printer.m_name.c_str(), &m_hPrinter, 0)) {
            // Removed since the enumeration, or not ours to open: not a card printer we list.
            m_hPrinter = nullptr;
            continue;
        }
        std::string processor;
        const bool queried = spooler.QueryPrintProcessor(m_hPrinter, &processor);
        if (!queried) {
            view.ShowMessageBox("GetPrinter call failed.", "Error", EMessageButtons::Ok);
        }
        spooler.Close(m_hPrinter);
        m_hPrinter = nullptr;
        if (!queried) {
            continue;
        }
        const std::string upper = m_ports.m_system.UpperCaseAnsi(processor);
        if (upper == makerProcessor || upper == kMakerPrintProcessorUpper) {
            m_printerNames.push_back(printer.m_name);
            m_portNames.push_back(printer.m_port);
        }
    }

    if (m_printerNames.empty()) {
        ShowText(2, IDS_LIST_EMPTY);
        view.EnableUpdate(false);
        return EDiscovery::Empty;
    }
    for (std::size_t i = 0; i < m_printerNames.size(); ++i) {
        view.AddPrinterEntry(m_printerNames[i] + kEntrySeparator + m_portNames[i]);
    }
    ShowText(2, IDS_SELECT_PRINTER);
    view.EnableUpdate(false);

    if (m_hLibrary != nullptr) {
        m_ports.m_loader.Release(m_hLibrary);
    }
    m_hLibrary = nullptr;
    return EDiscovery::Listed;
}

void CfuuDlg::OnSysCommand(unsigned command, long parameter) {
    // Exact comparison: the low four bits are not masked off.
    if (command == kAboutCommandId) {
        m_ports.m_view.RunAboutBox();
    } else {
        m_ports.m_view.DefaultSysCommand(command, parameter);
    }
}

void CfuuDlg::OnCancelClicked() {
    m_ports.m_view.EndDialogCancel();
}

std::int32_t CfuuDlg::PollingWait(std::uint32_t startTick) {
    IClock& clock = m_ports.m_clock;
    IStatusLibrary& library = m_ports.m_statusLibrary;
    std::int32_t state = 0;
    for (;;) {
        const std::uint32_t elapsed = TicksSince(startTick, clock.GetTickCount());
        library.ResumePrinterPolling(m_printerName.c_str(), 1);
        clock.Sleep(kPollingPassMs);
        // A library that does not write the state must not make an unknown printer look ready.
        state = 1;
        library.GetCardPrinterPollingState(m_printerName.c_str(), &state);
        if (state == 0 || elapsed >= kPollingLimitMs) {
            return state;
        }
    }
}

} // namespace sarnok
