#include "journal/UpdateJournal.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>

namespace sarnok {

namespace {

using CJson = nlohmann::ordered_json;

std::string Text(const CJson& record, const char* key) {
    const auto it = record.find(key);
    return it != record.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string Dump(const CJson& record) {
    // Texts arrive converted; a byte that is still no UTF-8 must not lose the record.
    return record.dump(-1, ' ', false, CJson::error_handler_t::replace) + "\n";
}

} // namespace

CUpdateJournal::CUpdateJournal(IJournalStore& store, std::string program, bool mayRotate)
    : m_store(store), m_program(std::move(program)), m_mayRotate(mayRotate) {}

void CUpdateJournal::Load() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    const std::optional<std::string> text = m_store.Read();
    m_readable = text.has_value();
    if (!text) {
        return;
    }
    std::size_t lineNumber = 0;
    for (std::size_t begin = 0; begin < text->size();) {
        std::size_t end = text->find('\n', begin);
        if (end == std::string::npos) {
            end = text->size();
        }
        ++lineNumber;
        if (end > begin) {
            Apply(text->substr(begin, end - begin), lineNumber);
        }
        begin = end + 1;
    }
}

void CUpdateJournal::Apply(const std::string& line, std::size_t lineNumber) {
    const CJson record = CJson::parse(line, nullptr, false);
    const std::string kind = record.is_object() ? Text(record, "record") : std::string();
    const std::string id = record.is_object() ? Text(record, "id") : std::string();
    if (kind.empty() || id.empty()) {
        // A line torn by a power loss mid-write: the records around it still count.
        m_problems.push_back("update journal: line " + std::to_string(lineNumber) +
                             " is not a whole record; skipped");
        return;
    }
    const auto u = [&](const char* key) { return m_store.FromUtf8(Text(record, key)); };
    if (kind == "started") {
        CJournalEntry entry;
        entry.m_id = id;
        entry.m_time = Text(record, "time");
        entry.m_program = u("program");
        entry.m_user = u("user");
        const auto pid = record.find("pid");
        entry.m_pid =
            pid != record.end() && pid->is_number_unsigned() ? pid->get<std::uint32_t>() : 0;
        entry.m_processStarted = Text(record, "processStarted");
        entry.m_run = {u("printer"), u("port"),     u("model"), u("from"),
                       u("step"),    u("firmware"), u("file"),  Text(record, "sha256")};
        m_byId[id] = m_runs.size();
        m_runs.push_back(std::move(entry));
        return;
    }
    const auto it = m_byId.find(id);
    if (it == m_byId.end()) {
        return; // its start went with an older journal
    }
    CJournalEntry& entry = m_runs[it->second];
    if (kind == "ended") {
        entry.m_outcome = Text(record, "outcome");
    } else if (kind == "checked" && (entry.m_outcome.empty() || entry.m_outcome == "success")) {
        entry.m_outcome = Text(record, "result");
        entry.m_found = u("found");
    }
}

void CUpdateJournal::Write(const std::string& line, bool flush, const char* what) {
    if (!m_store.Append(line, flush)) {
        m_problems.push_back(std::string("update journal: the ") + what +
                             " record could not be written");
        return;
    }
    // What this process writes is part of what it reads next.
    if (m_loaded) {
        Apply(line.substr(0, line.size() - 1), 0);
    }
}

void CUpdateJournal::RunStarted(const CJournalRun& run) {
    Load();
    if (m_mayRotate && m_store.Size() > kJournalRotateSize && !m_store.Rotate()) {
        m_problems.push_back("update journal: it could not be renamed to its older name");
    }
    const auto u = [&](const std::string& text) { return m_store.ToUtf8(text); };
    const std::uint32_t pid = m_store.ProcessId();
    m_endedId.clear();
    m_startedId = std::to_string(pid) + "-" + std::to_string(m_store.TickCount()) + "-" +
                  std::to_string(++m_sequence);
    CJson record = {{"record", "started"},
                    {"id", m_startedId},
                    {"time", m_store.UtcNow()},
                    {"program", m_program},
                    {"user", u(m_store.UserName())},
                    {"pid", pid},
                    {"processStarted", m_store.ProcessStarted()},
                    {"printer", u(run.m_printer)},
                    {"port", u(run.m_port)},
                    {"model", u(run.m_model)},
                    {"from", u(run.m_from)},
                    {"step", run.m_step},
                    {"firmware", u(run.m_firmware)},
                    {"file", u(run.m_file)},
                    {"sha256", run.m_sha256}};
    Write(Dump(record), true, "started");
}

void CUpdateJournal::RunEnded(ERunOutcome outcome) {
    if (m_startedId.empty()) {
        return;
    }
    const CJson record = {{"record", "ended"},
                          {"id", m_startedId},
                          {"time", m_store.UtcNow()},
                          {"outcome", RunOutcomeWord(outcome)}};
    m_endedId = std::exchange(m_startedId, {});
    Write(Dump(record), false, "ended");
}

CLastUpdate CUpdateJournal::Identified(const std::string& printer, const std::string& version,
                                       const std::function<bool()>& settled) {
    Load();
    std::size_t last = m_runs.size();
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        if (m_runs[i].m_run.m_printer == printer) {
            last = i;
        }
    }
    std::vector<std::string> foundNow;
    // Asked once at most: it reads the printer's polling state.
    int back = -1;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        const CJournalEntry& entry = m_runs[i];
        const bool unfinished = entry.m_outcome.empty();
        // Only the printer's last run can be told by what it reports now; an older one's
        // firmware may have been replaced since.
        const bool saidSuccess =
            i == last && entry.m_outcome == RunOutcomeWord(ERunOutcome::ReplySuccess);
        if (entry.m_run.m_printer != printer || !(unfinished || saidSuccess) ||
            entry.m_id == m_startedId ||
            m_store.ProcessRunning(entry.m_pid, entry.m_processStarted)) {
            continue;
        }
        const bool took = version == entry.m_run.m_firmware;
        if (unfinished) {
            // Its program is gone without saying how the run ended: what the printer reports
            // now tells whether the firmware took.
            if (!took) {
                foundNow.push_back(entry.m_id);
            }
            Write(CheckedRecord(entry.m_id, took ? "took" : "interrupted", version), false,
                  "checked");
            continue;
        }
        // The reply said success. The printer keeps its old version until its restart ends, so
        // that version counts only once the printer is back; any other version came from
        // elsewhere and says nothing of this run.
        if (!took && !VersionBefore(i, version)) {
            continue;
        }
        if (!took && back < 0) {
            back = settled && settled() ? 1 : 0;
        }
        if (took || back == 1) {
            Write(CheckedRecord(entry.m_id, took ? "took" : "not-taken", version), false,
                  "checked");
        }
    }
    CLastUpdate lastUpdate = LastUpdate(printer);
    lastUpdate.m_foundNow =
        lastUpdate.Interrupted() &&
        std::find(foundNow.begin(), foundNow.end(), lastUpdate.m_id) != foundNow.end();
    return lastUpdate;
}

void CUpdateJournal::RunChecked(bool took, const std::string& found) {
    if (m_endedId.empty()) {
        return;
    }
    const std::string id = std::exchange(m_endedId, {});
    Write(CheckedRecord(id, took ? "took" : "not-taken", found), false, "checked");
}

std::string CUpdateJournal::CheckedRecord(const std::string& id, const char* result,
                                          const std::string& found) {
    return Dump({{"record", "checked"},
                 {"id", id},
                 {"time", m_store.UtcNow()},
                 {"result", result},
                 {"found", m_store.ToUtf8(found)}});
}

bool CUpdateJournal::VersionBefore(std::size_t index, const std::string& version) const {
    const CJournalEntry& entry = m_runs[index];
    if (version == entry.m_run.m_from) {
        return true;
    }
    if (entry.m_run.m_step != "2/2") {
        return false;
    }
    for (std::size_t i = index; i-- > 0;) {
        const CJournalEntry& earlier = m_runs[i];
        if (earlier.m_run.m_printer == entry.m_run.m_printer) {
            return earlier.m_run.m_step == "1/2" && version == earlier.m_run.m_firmware;
        }
    }
    return false;
}

CLastUpdate CUpdateJournal::LastUpdate(const std::string& printer) const {
    const CJournalEntry* last = nullptr;
    const CJournalEntry* interrupted = nullptr;
    for (const CJournalEntry& entry : m_runs) {
        if (entry.m_run.m_printer != printer) {
            continue;
        }
        last = &entry;
        if (entry.m_outcome == "interrupted" || entry.m_outcome == "not-taken") {
            interrupted = &entry;
        } else if (entry.m_outcome == RunOutcomeWord(ERunOutcome::ReplySuccess) ||
                   entry.m_outcome == "took") {
            // Only a run that the printer took, by its reply or by what it reports, clears an
            // interruption before it.
            interrupted = nullptr;
        }
    }
    const CJournalEntry* told = interrupted != nullptr ? interrupted : last;
    if (told == nullptr) {
        return {};
    }
    CLastUpdate update;
    update.m_known = true;
    update.m_id = told->m_id;
    update.m_time = told->m_time;
    update.m_program = told->m_program;
    update.m_firmware = told->m_run.m_firmware;
    update.m_step = told->m_run.m_step;
    update.m_outcome = told->m_outcome;
    return update;
}

bool CUpdateJournal::Runs(std::vector<CJournalEntry>* runs) {
    Load();
    *runs = m_runs;
    return m_readable;
}

std::vector<std::string> CUpdateJournal::TakeProblems() {
    return std::exchange(m_problems, {});
}

} // namespace sarnok
