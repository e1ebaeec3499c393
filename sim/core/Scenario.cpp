#include "core/Scenario.h"

#include <cctype>
#include <charconv>
#include <functional>
#include <map>

namespace sarnok::sim {

namespace {

// ERROR_GEN_FAILURE: what "fails" stands for where an error code is expected.
constexpr std::uint32_t kGenericFailure = 31;

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])) != 0) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])) != 0) {
        --end;
    }
    return text.substr(begin, end - begin);
}

template <typename T>
bool ParseNumber(const std::string& text, T* value) {
    if (text.empty()) {
        return false;
    }
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, *value);
    return ec == std::errc() && ptr == last;
}

bool ParseErrorCode(const std::string& text, std::uint32_t* code) {
    if (text == "fails") {
        *code = kGenericFailure;
        return true;
    }
    return ParseNumber(text, code);
}

bool ParseFlag(const std::string& text, bool* flag) {
    if (text == "yes" || text == "true" || text == "1") {
        *flag = true;
        return true;
    }
    if (text == "no" || text == "false" || text == "0") {
        *flag = false;
        return true;
    }
    return false;
}

bool ParseTypeList(const std::string& text, std::set<int>* types) {
    types->clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item = Trim(
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        int type = 0;
        if (!ParseNumber(item, &type)) {
            return false;
        }
        types->insert(type);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

bool ParseReply(const std::string& text, CSimPrinterConfig* printer) {
    static const std::map<std::string, EReplyMode> kModes = {
        {"auto", EReplyMode::Auto},   {"success", EReplyMode::Success},
        {"error", EReplyMode::Error}, {"garbage", EReplyMode::Garbage},
        {"none", EReplyMode::None},
    };
    if (const auto it = kModes.find(text); it != kModes.end()) {
        printer->m_reply = it->second;
        return true;
    }
    if (text.rfind("split:", 0) == 0) {
        std::uint32_t at = 0;
        if (!ParseNumber(text.substr(6), &at) || at == 0 || at >= 12) {
            return false;
        }
        printer->m_reply = EReplyMode::Split;
        printer->m_splitAt = at;
        return true;
    }
    return false;
}

using CPrinterSetter = std::function<bool(const std::string&, CSimPrinterConfig*)>;

const std::map<std::string, CPrinterSetter>& PrinterKeys() {
    static const std::map<std::string, CPrinterSetter> keys = {
        {"name",
         [](const std::string& v, CSimPrinterConfig* p) {
             p->m_name = v;
             return !v.empty();
         }},
        {"port",
         [](const std::string& v, CSimPrinterConfig* p) {
             p->m_port = v;
             return true;
         }},
        {"processor",
         [](const std::string& v, CSimPrinterConfig* p) {
             p->m_printProcessor = v;
             return true;
         }},
        {"model",
         [](const std::string& v, CSimPrinterConfig* p) {
             p->m_model = v;
             return true;
         }},
        {"legacy-model",
         [](const std::string& v, CSimPrinterConfig* p) {
             p->m_legacyModel = v;
             return true;
         }},
        {"library-version",
         [](const std::string& v, CSimPrinterConfig* p) {
             p->m_libVersion = v;
             return true;
         }},
        {"firmware",
         [](const std::string& v, CSimPrinterConfig* p) {
             return ParseVersion(v, &p->m_fwMajor, &p->m_fwMinor);
         }},
        {"restart-ms", [](const std::string& v,
                          CSimPrinterConfig* p) { return ParseNumber(v, &p->m_restartMs); }},
        {"busy-ms",
         [](const std::string& v, CSimPrinterConfig* p) { return ParseNumber(v, &p->m_busyMs); }},
        {"polling",
         [](const std::string& v, CSimPrinterConfig* p) {
             p->m_pollingNeverSettles = v == "never-settles";
             return v == "settles" || v == "never-settles";
         }},
        {"takes-firmware",
         [](const std::string& v, CSimPrinterConfig* p) {
             bool takes = true;
             const bool ok = ParseFlag(v, &takes);
             p->m_neverTakesFirmware = !takes;
             return ok;
         }},
        {"read-delay-ms", [](const std::string& v,
                             CSimPrinterConfig* p) { return ParseNumber(v, &p->m_readDelayMs); }},
        {"open-error", [](const std::string& v,
                          CSimPrinterConfig* p) { return ParseErrorCode(v, &p->m_openError); }},
        {"getprinter-error",
         [](const std::string& v, CSimPrinterConfig* p) {
             return ParseErrorCode(v, &p->m_getPrinterError);
         }},
        {"write-error",
         [](const std::string& v, CSimPrinterConfig* p) {
             // "INDEX" or "INDEX:CODE"
             const std::size_t colon = v.find(':');
             std::uint32_t index = 0;
             if (!ParseNumber(v.substr(0, colon), &index)) {
                 return false;
             }
             p->m_writeErrorAt = index;
             return colon == std::string::npos ||
                    ParseErrorCode(v.substr(colon + 1), &p->m_writeErrorCode);
         }},
        {"write-zero",
         [](const std::string& v, CSimPrinterConfig* p) {
             std::uint32_t index = 0;
             p->m_writeZeroAt = index;
             return ParseNumber(v, &*p->m_writeZeroAt);
         }},
        {"read-error", [](const std::string& v,
                          CSimPrinterConfig* p) { return ParseErrorCode(v, &p->m_readError); }},
        {"info-size-zero",
         [](const std::string& v, CSimPrinterConfig* p) {
             return ParseTypeList(v, &p->m_infoSizeZero);
         }},
        {"info-fetch-fails",
         [](const std::string& v, CSimPrinterConfig* p) {
             return ParseTypeList(v, &p->m_infoFetchFails);
         }},
        {"short-record",
         [](const std::string& v, CSimPrinterConfig* p) {
             return ParseNumber(v, &p->m_shortRecord) && p->m_shortRecord < 24;
         }},
        {"startdoc-error",
         [](const std::string& v, CSimPrinterConfig* p) {
             return ParseErrorCode(v, &p->m_startDocError);
         }},
        {"enddoc-error", [](const std::string& v,
                            CSimPrinterConfig* p) { return ParseErrorCode(v, &p->m_endDocError); }},
        {"zevread-error",
         [](const std::string& v, CSimPrinterConfig* p) {
             return ParseErrorCode(v, &p->m_zevReadError);
         }},
        {"reply", ParseReply},
        {"empty-reads", [](const std::string& v,
                           CSimPrinterConfig* p) { return ParseNumber(v, &p->m_emptyReads); }},
        {"noise-reads", [](const std::string& v,
                           CSimPrinterConfig* p) { return ParseNumber(v, &p->m_noiseReads); }},
    };
    return keys;
}

bool SetSimKey(const std::string& key, const std::string& value, CScenario* scenario) {
    if (key == "time-scale") {
        return ParseNumber(value, &scenario->m_timeScale) && scenario->m_timeScale > 0;
    }
    if (key == "enum-error") {
        return ParseErrorCode(value, &scenario->m_enumError);
    }
    if (key == "log") {
        scenario->m_logPath = value;
        return !value.empty();
    }
    return false;
}

} // namespace

bool ParseVersion(const std::string& text, std::int32_t* major, std::int32_t* minor) {
    const std::size_t dot = text.find('.');
    return dot != std::string::npos && ParseNumber(text.substr(0, dot), major) &&
           ParseNumber(text.substr(dot + 1), minor);
}

bool ParseScenario(std::istream& in, CScenario* scenario, std::string* error) {
    *scenario = CScenario{};
    enum class ESection { None, Sim, Printer } section = ESection::None;
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& what) {
        *error = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    auto finishPrinter = [&]() {
        if (section != ESection::Printer) {
            return true;
        }
        const std::string& name = scenario->m_printers.back().m_name;
        if (name.empty()) {
            return fail("printer without a name");
        }
        for (std::size_t i = 0; i + 1 < scenario->m_printers.size(); ++i) {
            if (scenario->m_printers[i].m_name == name) {
                return fail("two printers named \"" + name + "\"");
            }
        }
        return true;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#' || text[0] == ';') {
            continue;
        }
        if (text.front() == '[') {
            if (!finishPrinter()) {
                return false;
            }
            if (text == "[sim]") {
                section = ESection::Sim;
            } else if (text == "[printer]") {
                section = ESection::Printer;
                scenario->m_printers.emplace_back();
            } else {
                return fail("unknown section " + text);
            }
            continue;
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos) {
            return fail("expected key = value");
        }
        const std::string key = Trim(text.substr(0, equals));
        std::string value = Trim(text.substr(equals + 1));
        // "..." keeps blanks at the ends of a value (a print processor named with a trailing
        // blank, for instance).
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        bool ok = false;
        if (section == ESection::Sim) {
            if (key != "time-scale" && key != "enum-error" && key != "log") {
                return fail("unknown sim key " + key);
            }
            ok = SetSimKey(key, value, scenario);
        } else if (section == ESection::Printer) {
            const auto it = PrinterKeys().find(key);
            if (it == PrinterKeys().end()) {
                return fail("unknown printer key " + key);
            }
            ok = it->second(value, &scenario->m_printers.back());
        } else {
            return fail("key outside a section");
        }
        if (!ok) {
            return fail("bad value for " + key + ": " + value);
        }
    }
    if (!finishPrinter()) {
        return false;
    }
    error->clear();
    return true;
}

} // namespace sarnok::sim
