#include "journal/UpdateJournal.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
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

// A field as the programs write it: of a bounded length, and without a control character, which
// would cut or bend a log record, a console line or an event.
bool PlainField(const std::string& text) {
    return text.size() <= kJournalFieldLimit && std::none_of(text.begin(), text.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte < 0x20 || byte == 0x7f;
           });
}

bool IsDigest(const std::string& text) {
    return text.empty() || (text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
                                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                            }));
}

bool IsOutcomeWord(const std::string& word) {
    for (int i = 0; i <= static_cast<int>(ERunOutcome::ReplyUnreadable); ++i) {
        const auto outcome = static_cast<ERunOutcome>(i);
        if (outcome != ERunOutcome::None && word == RunOutcomeWord(outcome)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsJournalTime(const std::string& text) {
    static constexpr char kForm[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != sizeof kForm - 1) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kForm[i] == 'd' ? !digit : text[i] != kForm[i]) {
            return false;
        }
    }
    const auto number = [&](std::size_t at) {
        return (text[at] - '0') * 10 + (text[at + 1] - '0');
    };
    return number(5) >= 1 && number(5) <= 12 && number(8) >= 1 && number(8) <= 31 &&
           number(11) <= 23 && number(14) <= 59 && number(17) <= 60;
}

bool RunMayBeUnderWay(IJournalStore& store, std::uint32_t pid, const std::string& started) {
    std::uint64_t start = 0;
    const char* begin = started.data();
    const auto parsed = std::from_chars(begin, begin + started.size(), start);
    if (parsed.ec == std::errc() && parsed.ptr == begin + started.size() &&
        start < store.BootTime()) {
        return false; // its id may name another process since, one that can even be asked
    }
    return store.ProcessState(pid, started) == EProcessState::Running;
}

CUpdateJournal::CUpdateJournal(IJournalStore& store, std::string program, bool mayRotate)
    : m_store(store), m_program(std::move(program)), m_mayRotate(mayRotate) {}

void CUpdateJournal::Load() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    // The older file's lines come first; the views below point into these.
    const CJournalFile files[] = {m_store.ReadFile(true), m_store.ReadFile(false)};
    std::vector<std::string_view> lines;
    std::size_t skipped = 0;
    for (const CJournalFile& file : files) {
        if (file.m_state == EJournalFileState::Unreadable) {
            m_unreadable = true;
            continue;
        }
        if (file.m_state == EJournalFileState::Missing) {
            continue;
        }
        m_readable = true;
        std::string_view text = file.m_text;
        if (file.m_cut) {
            // The read began inside a line: what comes before the first line break is its end.
            const std::size_t first = text.find('\n');
            text.remove_prefix(first == std::string_view::npos ? text.size() : first + 1);
        }
        while (!text.empty()) {
            const std::size_t end = std::min(text.find('\n'), text.size());
            const std::string_view line = text.substr(0, end);
            text.remove_prefix(std::min(end + 1, text.size()));
            if (line.size() > kJournalLineLimit) {
                ++skipped;
            } else if (!line.empty()) {
                lines.push_back(line);
            }
        }
    }
    if (m_unreadable) {
        m_problems.push_back("update journal: a journal file could not be read; what it records "
                             "is unknown");
    }
    const std::size_t first =
        lines.size() > kJournalRecordLimit ? lines.size() - kJournalRecordLimit : 0;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (!Apply(std::string(lines[i]))) {
            ++skipped;
        }
    }
    if (skipped > 0) {
        // Torn by a power loss, or written by no program of ours: the records around it count.
        m_problems.push_back("update journal: " + std::to_string(skipped) +
                             " line(s) skipped: torn, too long or not a valid record");
    }
}

bool CUpdateJournal::Apply(const std::string& line) {
    const CJson record = CJson::parse(line, nullptr, false);
    if (!record.is_object()) {
        return false;
    }
    const std::string kind = Text(record, "record");
    const std::string id = Text(record, "id");
    const std::string time = Text(record, "time");
    if (id.empty() || id.size() > 64 || !IsJournalTime(time)) {
        return false;
    }
    for (const auto& item : record.items()) {
        if (item.value().is_string() && !PlainField(item.value().get_ref<const std::string&>())) {
            return false;
        }
    }
    const auto u = [&](const char* key) { return m_store.FromUtf8(Text(record, key)); };
    if (kind == "started") {
        CJournalEntry entry;
        entry.m_id = id;
        entry.m_time = time;
        entry.m_program = Text(record, "program");
        entry.m_user = u("user");
        const auto pid = record.find("pid");
        entry.m_pid = pid != record.end() && pid->is_number_unsigned() &&
                              pid->get<std::uint64_t>() <= 0xffffffffULL
                          ? pid->get<std::uint32_t>()
                          : 0;
        entry.m_processStarted = Text(record, "processStarted");
        entry.m_run = {u("printer"),         u("port"),     u("model"), u("from"),
                       Text(record, "step"), u("firmware"), u("file"),  Text(record, "sha256")};
        const std::string& step = entry.m_run.m_step;
        if ((entry.m_program != "Sarnok" && entry.m_program != "SarnokDeploy") ||
            (step != "single" && step != "1/2" && step != "2/2") || entry.m_run.m_printer.empty() ||
            !IsDigest(entry.m_run.m_sha256)) {
            return false;
        }
        m_byId[id] = m_runs.size();
        m_runs.push_back(std::move(entry));
        return true;
    }
    const auto it = m_byId.find(id);
    if (kind == "ended") {
        const std::string outcome = Text(record, "outcome");
        if (!IsOutcomeWord(outcome)) {
            return false;
        }
        if (it != m_byId.end()) { // else its start went with an older journal
            m_runs[it->second].m_outcome = outcome;
        }
        return true;
    }
    if (kind == "checked") {
        const std::string result = Text(record, "result");
        if (result != "took" && result != "interrupted" && result != "not-taken") {
            return false;
        }
        // A run settles once: unfinished, or ended with the printer's word that it took the
        // file, which only what the printer reports afterwards confirms.
        if (it != m_byId.end() &&
            (m_runs[it->second].m_outcome.empty() || m_runs[it->second].m_outcome == "success")) {
            m_runs[it->second].m_outcome = result;
            m_runs[it->second].m_found = u("found");
        }
        return true;
    }
    return false;
}

void CUpdateJournal::Write(const std::string& line, bool flush, const char* what) {
    if (!m_store.Append(line, flush)) {
        m_problems.push_back(std::string("update journal: the ") + what +
                             " record could not be written");
        return;
    }
    // What this process writes is part of what it reads next.
    if (m_loaded) {
        Apply(line.substr(0, line.size() - 1));
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
            RunMayBeUnderWay(m_store, entry.m_pid, entry.m_processStarted)) {
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

bool CUpdateJournal::Unreadable() {
    Load();
    return m_unreadable;
}

std::string CUpdateJournal::LocalMinute(const std::string& utc) {
    return IsJournalTime(utc) ? m_store.LocalMinute(utc) : std::string("?");
}

std::vector<std::string> CUpdateJournal::TakeProblems() {
    return std::exchange(m_problems, {});
}

} // namespace sarnok
