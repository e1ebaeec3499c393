#include "core/JobLog.h"

#include <utility>

namespace sarnok::sim {

CJobLog::CJobLog(std::function<void(const std::string&)> sink) : m_sink(std::move(sink)) {}

void CJobLog::Write(const std::string& line) {
    m_lines.push_back(line);
    if (m_sink) {
        m_sink(line);
    }
}

std::vector<std::string> CJobLog::Matching(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& line : m_lines) {
        if (line.find(text) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

std::string CJobLog::Quote(const char* text) {
    if (text == nullptr) {
        return "NULL";
    }
    std::string quoted = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            quoted += "\\x" + Hex(c, 2);
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

std::string CJobLog::Hex(std::uint64_t value, int digits) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xf];
        value >>= 4;
    }
    return text;
}

void CFnv1a64::Add(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        m_value ^= data[i];
        m_value *= 0x100000001b3ULL;
    }
}

} // namespace sarnok::sim
