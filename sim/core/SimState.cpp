#include "core/SimState.h"

#include "core/Scenario.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <utility>
#include <vector>

namespace sarnok::sim {

namespace {

constexpr char kRestartEnds[] = "restart-ends=";
constexpr char kThen[] = "then=";

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

bool StripPrefix(const std::string& text, const char* prefix, std::string* rest) {
    const std::string head(prefix);
    if (text.compare(0, head.size(), head) != 0) {
        return false;
    }
    *rest = text.substr(head.size());
    return true;
}

bool ParseLine(const std::string& line, std::string* name, CRememberedPrinter* printer) {
    const std::vector<std::string> fields = Fields(line);
    if ((fields.size() != 2 && fields.size() != 4) || fields[0].empty() ||
        !ParseVersion(fields[1], &printer->m_major, &printer->m_minor)) {
        return false;
    }
    if (fields.size() == 4) {
        std::string ends;
        std::string then;
        if (!StripPrefix(fields[2], kRestartEnds, &ends) || !StripPrefix(fields[3], kThen, &then) ||
            ends.empty() || !ParseVersion(then, &printer->m_nextMajor, &printer->m_nextMinor)) {
            return false;
        }
        const char* last = ends.data() + ends.size();
        const auto [ptr, ec] = std::from_chars(ends.data(), last, printer->m_restartEndsWallMs);
        if (ec != std::errc() || ptr != last || printer->m_restartEndsWallMs == 0) {
            return false;
        }
    }
    *name = fields[0];
    return true;
}

std::string Version(std::int32_t major, std::int32_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

} // namespace

CSimState ParseSimState(std::istream& in, std::size_t* ignored) {
    CSimState state;
    *ignored = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::string name;
        CRememberedPrinter printer;
        if (ParseLine(line, &name, &printer)) {
            state[name] = printer;
        } else {
            ++*ignored;
        }
    }
    return state;
}

std::string FormatSimState(const CSimState& state) {
    std::string text = "# The virtual printers' firmware, kept across program runs. Delete this "
                       "file to start from the scenario's versions.\n";
    for (const auto& [name, printer] : state) {
        // A name the file cannot hold is not remembered rather than remembered wrong.
        if (name.empty() || name[0] == '#' || name.find_first_of("\t\r\n") != std::string::npos) {
            continue;
        }
        text += name;
        text += '\t';
        text += Version(printer.m_major, printer.m_minor);
        if (printer.m_restartEndsWallMs != 0) {
            text += '\t';
            text += kRestartEnds;
            text += std::to_string(printer.m_restartEndsWallMs);
            text += '\t';
            text += kThen;
            text += Version(printer.m_nextMajor, printer.m_nextMinor);
        }
        text += '\n';
    }
    return text;
}

CSimStateFile::CSimStateFile(std::string path, Replace replace)
    : m_path(std::move(path)), m_replace(std::move(replace)) {
    if (!m_replace) {
        m_replace = [](const std::string& from, const std::string& to) {
            return std::rename(from.c_str(), to.c_str()) == 0;
        };
    }
}

bool CSimStateFile::Load(CSimState* state, std::size_t* ignored) const {
    state->clear();
    *ignored = 0;
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        return false;
    }
    *state = ParseSimState(in, ignored);
    return true;
}

bool CSimStateFile::Save(const CSimState& state) const {
    const std::string temporary = m_path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << FormatSimState(state);
        out.flush();
        if (!out) {
            return false;
        }
    }
    if (!m_replace(temporary, m_path)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace sarnok::sim
