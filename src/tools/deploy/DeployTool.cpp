#include "DeployTool.h"

#include "FirmwareConfirmation.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <utility>

namespace sarnok::deploy {

namespace {

// The texts a printer's line shows: what the printer has, then what it would get.
std::string Plan(const CPrinterReport& report) {
    switch (report.m_decision) {
    case EDecision::Update:
        return "update to " + report.m_target + " (" + report.m_targetFile + ")";
    case EDecision::TwoStep:
        return "two-step: " + report.m_intermediate + " (" + report.m_intermediateFile +
               "), then " + report.m_target + " (" + report.m_targetFile + ")";
    case EDecision::SameVersion:
        return "same-version: the catalogue offers " + report.m_firmware;
    default:
        return DecisionWord(report.m_decision);
    }
}

} // namespace

CHoldingLoader::~CHoldingLoader() {
    for (const ModuleHandle module : m_held) {
        m_loader.Release(module);
    }
}

std::uint32_t CRememberingProfile::GetString(const char* section, const char* key, char* buffer,
                                             std::uint32_t size, const char* filePath) {
    std::string id = std::string(section == nullptr ? "" : section) + '\n' +
                     (key == nullptr ? "" : key) + '\n' + std::to_string(size) + '\n' +
                     (filePath == nullptr ? "" : filePath);
    const auto known = m_answers.find(id);
    if (known != m_answers.end() && buffer != nullptr && size > 0) {
        std::memcpy(buffer, known->second.data(), known->second.size());
        return static_cast<std::uint32_t>(known->second.size() - 1);
    }
    const std::uint32_t copied = m_profile.GetString(section, key, buffer, size, filePath);
    if (buffer != nullptr && size > 0 && copied < size) {
        m_answers[id] = std::string(buffer, copied + 1);
    }
    return copied;
}

CDeployTool::CDeployTool(CDeployEnvironment environment, CDeployOutput& output, bool reinstall)
    : m_env(std::move(environment)), m_output(output), m_reinstall(reinstall),
      m_startTick(m_env.m_clock.GetTickCount()), m_events(m_env.m_events) {}

bool CEventForwarder::Report(unsigned id, EEventType type,
                             const std::vector<std::string>& strings) {
    if (m_events == nullptr) {
        return true;
    }
    const bool taken = m_events->Report(id, type, strings);
    if (!taken) {
        m_failures.push_back(id);
    }
    return taken;
}

CPorts CDeployTool::PortsFor(IMainView& view) {
    CPorts ports = m_env.m_ports(view);
    ports.m_events = m_env.m_events != nullptr ? &m_events : nullptr;
    return ports;
}

CConsoleView CDeployTool::MakeView(const std::string& printer) {
    return CConsoleView(m_env.m_texts, m_env.m_clock, m_startTick, m_output, printer, m_reinstall);
}

EListing CDeployTool::ListPrinters() {
    CConsoleView view = MakeView("");
    view.m_echo = false;
    CfuuDlg dlg(PortsFor(view));
    const EDiscovery found = dlg.InitDialog();
    m_names = dlg.m_printerNames;
    m_ports = dlg.m_portNames;
    m_listingLines = view.m_lines;
    // An empty list is an answer, an unreadable one is not.
    return found == EDiscovery::Listed  ? EListing::Ok
           : found == EDiscovery::Empty ? EListing::Empty
                                        : EListing::Unreadable;
}

bool CDeployTool::Rediscover(CfuuDlg& dlg, CConsoleView& view, std::size_t index,
                             CPrinterReport* report) {
    report->m_name = m_names[index];
    report->m_port = m_ports[index];
    view.m_echo = false;
    const bool listed = dlg.OnInitDialog();
    view.m_echo = true;
    return listed && index < dlg.m_printerNames.size() &&
           dlg.m_printerNames[index] == m_names[index];
}

void CDeployTool::Describe(const CfuuDlg& dlg, const CConsoleView& view, CPrinterReport* report) {
    report->m_lines = view.m_lines;
    switch (dlg.m_selection) {
    case ESelection::None:
    case ESelection::Unidentified:
        report->m_decision = EDecision::Unreadable;
        return;
    case ESelection::LatestFirmware:
        report->m_decision = EDecision::Current;
        break;
    case ESelection::NoFirmware:
        report->m_decision = dlg.m_sameVersion ? EDecision::SameVersion : EDecision::NoFirmware;
        break;
    case ESelection::Firmware:
        report->m_decision = dlg.m_sameVersion                    ? EDecision::SameVersion
                             : dlg.m_intermediateFileName.empty() ? EDecision::Update
                                                                  : EDecision::TwoStep;
        report->m_target = dlg.m_targetVersion.str();
        report->m_targetFile = dlg.m_fileName.str();
        report->m_intermediate = dlg.m_intermediateVersion.str();
        report->m_intermediateFile = dlg.m_intermediateFileName.str();
        break;
    }
    report->m_lastUpdate = dlg.m_lastUpdate;
    if (dlg.m_lastUpdate.m_known && m_env.m_journal != nullptr) {
        report->m_lastUpdateLocal = m_env.m_journal->LocalMinute(dlg.m_lastUpdate.m_time);
    }
    report->m_model = dlg.m_model.str();
    report->m_firmware = dlg.m_fwVersion.str();
    report->m_libraryVersion = dlg.m_libVersion.str();
}

CPrinterReport CDeployTool::Decide(std::size_t index) {
    CPrinterReport report;
    report.m_name = m_names[index];
    report.m_port = m_ports[index];
    CConsoleView view = MakeView(m_names[index]);
    view.m_echo = false;
    // A fresh dialog, given the list the one discovery found: repeating the discovery for each
    // printer would open every printer once per printer listed, which sends nothing and decides
    // nothing, and makes the listing cost grow with the square of the printers.
    const CPorts ports = PortsFor(view);
    if (!m_holdingLoader) {
        m_holdingLoader = std::make_unique<CHoldingLoader>(ports.m_loader);
        m_rememberingProfile = std::make_unique<CRememberingProfile>(ports.m_profile);
    }
    CfuuDlg dlg(CPorts{.m_view = ports.m_view,
                       .m_spooler = ports.m_spooler,
                       .m_statusLibrary = ports.m_statusLibrary,
                       .m_loader = *m_holdingLoader,
                       .m_files = ports.m_files,
                       .m_clock = ports.m_clock,
                       .m_system = ports.m_system,
                       .m_profile = *m_rememberingProfile,
                       .m_digest = ports.m_digest,
                       .m_journal = ports.m_journal,
                       .m_events = ports.m_events});
    dlg.m_printerNames = m_names;
    dlg.m_portNames = m_ports;
    view.m_selected = static_cast<int>(index);
    dlg.DecideSelection();
    Describe(dlg, view, &report);
    report.m_outcome = PrinterOutcome(report.m_decision, false, {});
    return report;
}

CPrinterReport CDeployTool::Update(std::size_t index) {
    CPrinterReport report;
    CConsoleView view = MakeView(m_names[index]);
    const CPorts ports = PortsFor(view);
    CfuuDlg dlg(ports);
    if (!Rediscover(dlg, view, index, &report)) {
        m_output.Line(view.Stamp() + "is no longer in the printer list", ELogType::Error, true);
        report.m_outcome = EPrinterOutcome::Failed;
        return report;
    }
    view.m_selected = static_cast<int>(index);
    dlg.OnPrinterSelected();
    // The dialog leaves "Update" enabled exactly when a click may follow.
    report.m_clicked = view.m_updateEnabled && dlg.m_selection == ESelection::Firmware;
    if (dlg.m_lastUpdate.Interrupted()) {
        m_output.Line(view.Stamp() + "the last firmware update (started " +
                          m_env.m_journal->LocalMinute(dlg.m_lastUpdate.m_time) + " by " +
                          dlg.m_lastUpdate.m_program + ", firmware " + dlg.m_lastUpdate.m_firmware +
                          ", step " + dlg.m_lastUpdate.m_step + ") did not finish",
                      ELogType::Warning, true);
    } else if (dlg.m_lastUpdate.NotRunningSent()) {
        m_output.Line(view.Stamp() + "the last firmware update (started " +
                          m_env.m_journal->LocalMinute(dlg.m_lastUpdate.m_time) + " by " +
                          dlg.m_lastUpdate.m_program + ", firmware " + dlg.m_lastUpdate.m_firmware +
                          ", step " + dlg.m_lastUpdate.m_step +
                          ") was not taken: the printer came back on its old firmware",
                      ELogType::Warning, true);
    }
    if (report.m_clicked) {
        // The click's event waits for the printer's word on the firmware.
        const std::string from = dlg.m_fwVersion.str();
        dlg.RunUpdateClick();
        Confirm(dlg, ports, &report);
        dlg.ReportClickEnd(from);
    }
    Describe(dlg, view, &report);
    report.m_outcome = PrinterOutcome(report.m_decision, report.m_clicked, dlg.m_clickOutcome);
    return report;
}

void CDeployTool::Confirm(CfuuDlg& dlg, const CPorts& ports, CPrinterReport* report) {
    CClickOutcome& click = dlg.m_clickOutcome;
    if (JobWentOut(click.m_run) || click.m_sentEarlier) {
        report->m_confirmed = false;
    }
    if (!click.Updated() || m_confirmTimeoutSeconds == 0) {
        return;
    }
    const std::string printer = dlg.m_printerName.str();
    const std::string target = dlg.m_targetVersion.str();
    // Until the final firmware's restart ends the printer reports what it had before that run:
    // for the second step, the intermediate version.
    const std::string old = click.m_step == EUpdateStep::Final ? dlg.m_intermediateVersion.str()
                                                               : dlg.m_fwVersion.str();
    m_output.Line(Elapsed() + "waiting up to " + std::to_string(m_confirmTimeoutSeconds) +
                      " s for " + printer + " to report " + target,
                  ELogType::Information, true);
    const CConfirmation confirmation = ConfirmFirmware(
        ports.m_statusLibrary, ports.m_clock, printer, target, old, m_confirmTimeoutSeconds * 1000);
    click.m_confirmation = confirmation.m_end;
    const std::uint32_t seconds = confirmation.m_waitedMs / 1000;
    report->m_confirmSeconds = seconds;
    report->m_confirmed = confirmation.m_end == EConfirmation::Confirmed;
    const std::string after = " after " + std::to_string(seconds) + " s";
    const std::string found = confirmation.m_found.empty()
                                  ? printer + " cannot be identified"
                                  : printer + " reports " + confirmation.m_found;
    switch (confirmation.m_end) {
    case EConfirmation::Confirmed:
        m_output.Line(Elapsed() + found + after, ELogType::Information, true);
        break;
    case EConfirmation::NotTaken:
        m_output.Line(Elapsed() + found + after + ", not " + target +
                          ": the printer did not take the firmware",
                      ELogType::Error, true);
        break;
    default:
        m_output.Line(Elapsed() + found + after + ", not " + target +
                          ": the update is not confirmed",
                      ELogType::Error, true);
        break;
    }
    // Unconfirmed, the run is settled by the printer's next identification.
    if (m_env.m_journal != nullptr && confirmation.m_end != EConfirmation::Unconfirmed) {
        m_env.m_journal->RunChecked(confirmation.m_end == EConfirmation::Confirmed,
                                    confirmation.m_found);
    }
}

std::string CDeployTool::StatusLine(const CPrinterReport& report) {
    return report.m_name + "  port " + report.m_port + "  model " +
           (report.m_model.empty() ? "?" : report.m_model) + "  firmware " +
           (report.m_firmware.empty() ? "?" : report.m_firmware) + "  library " +
           (report.m_libraryVersion.empty() ? "?" : report.m_libraryVersion) +
           (report.m_lastUpdate.NotRunningSent()
                ? "  " + report.m_lastUpdate.m_outcome + " " + report.m_lastUpdateLocal
                : std::string()) +
           "  -> " + Plan(report);
}

std::string CDeployTool::ResultLine(const CPrinterReport& report) {
    return "Result: " + report.m_name + ": " + OutcomeWord(report.m_outcome) + " (" + Plan(report) +
           ")";
}

namespace {

nlohmann::ordered_json VersionOrNull(const std::string& text,
                                     const std::function<std::string(const std::string&)>& toUtf8) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(toUtf8(text));
}

std::string Dump(const nlohmann::ordered_json& document) {
    // Texts come converted; a byte that is still no UTF-8 must not stop the report. ASCII
    // alone, every other character escaped, reads the same in any code page a script decodes
    // the output in.
    return document.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace

namespace {

// What both reports say of a printer first: which one it is and what it has now.
nlohmann::ordered_json Identity(const CPrinterReport& r,
                                const std::function<std::string(const std::string&)>& u) {
    return {{"name", u(r.m_name)},
            {"port", u(r.m_port)},
            {"model", VersionOrNull(r.m_model, u)},
            {"firmware", VersionOrNull(r.m_firmware, u)}};
}

} // namespace

namespace {

// What every document opens with: which tool answered, and how the run ended.
nlohmann::ordered_json Header(const std::string& version, const CRunEnd& end) {
    const char* error = ErrorWord(end.m_error);
    return {{"version", version},
            {"exitCode", end.m_exitCode},
            {"error", error == nullptr ? nlohmann::ordered_json(nullptr) : error}};
}

} // namespace

std::string CDeployTool::StatusJson(const std::vector<CPrinterReport>& reports,
                                    const CRunEnd& end) const {
    const auto& u = m_env.m_toUtf8;
    nlohmann::ordered_json printers = nlohmann::ordered_json::array();
    for (const CPrinterReport& r : reports) {
        nlohmann::ordered_json printer = Identity(r, u);
        printer["libraryVersion"] = VersionOrNull(r.m_libraryVersion, u);
        printer["decision"] = DecisionWord(r.m_decision);
        printer["target"] = VersionOrNull(r.m_target, u);
        printer["targetFile"] = VersionOrNull(r.m_targetFile, u);
        printer["intermediate"] = VersionOrNull(r.m_intermediate, u);
        printer["intermediateFile"] = VersionOrNull(r.m_intermediateFile, u);
        printer["lastUpdate"] = nullptr;
        if (r.m_lastUpdate.m_known) {
            const CLastUpdate& last = r.m_lastUpdate;
            printer["lastUpdate"] = {{"time", last.m_time},
                                     {"program", u(last.m_program)},
                                     {"firmware", u(last.m_firmware)},
                                     {"step", last.m_step},
                                     {"outcome", VersionOrNull(last.m_outcome, u)}};
        }
        printers.push_back(std::move(printer));
    }
    nlohmann::ordered_json document = Header(m_env.m_version, end);
    document["printers"] = std::move(printers);
    return Dump(document);
}

std::string CDeployTool::UpdateJson(const std::vector<CPrinterReport>& reports,
                                    const CRunEnd& end) const {
    const auto& u = m_env.m_toUtf8;
    nlohmann::ordered_json printers = nlohmann::ordered_json::array();
    for (const CPrinterReport& r : reports) {
        nlohmann::ordered_json printer = Identity(r, u);
        printer["decision"] = DecisionWord(r.m_decision);
        printer["target"] = VersionOrNull(r.m_target, u);
        printer["intermediate"] = VersionOrNull(r.m_intermediate, u);
        printer["outcome"] = OutcomeWord(r.m_outcome);
        printer["confirmed"] = r.m_confirmed ? nlohmann::ordered_json(*r.m_confirmed)
                                             : nlohmann::ordered_json(nullptr);
        printer["confirmSeconds"] = r.m_confirmSeconds ? nlohmann::ordered_json(*r.m_confirmSeconds)
                                                       : nlohmann::ordered_json(nullptr);
        printer["lines"] = {u(r.m_lines[0]), u(r.m_lines[1]), u(r.m_lines[2])};
        printers.push_back(std::move(printer));
    }
    nlohmann::ordered_json missing = nlohmann::ordered_json::array();
    for (const std::string& name : end.m_missing) {
        missing.push_back(u(name));
    }
    nlohmann::ordered_json document = Header(m_env.m_version, end);
    document["missing"] = std::move(missing);
    document["printers"] = std::move(printers);
    return Dump(document);
}

} // namespace sarnok::deploy
