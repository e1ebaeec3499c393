#include "catalogue/IniFile.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace sarnok {
namespace {

// The characters the platform's reader trims: the C blanks and ^Z, an old end-of-file mark
// still found in files copied from removable media. Bytes above 0x7F are never blanks.
bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsProfileSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsProfileSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Names and values are C texts to the platform: an embedded NUL ends them.
std::string CText(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return std::string(nul == std::string_view::npos ? text : text.substr(0, nul));
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view stored, std::string_view wanted) {
    if (stored.size() != wanted.size()) {
        return false;
    }
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (AsciiLower(stored[i]) != AsciiLower(wanted[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

CIniDocument CIniDocument::Parse(std::string_view text) {
    CIniDocument document;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::size_t position = 0;
    while (position < text.size()) {
        // A line ends at CR or LF; runs of them separate lines and make no empty keys.
        std::size_t end = position;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        const std::string_view line = Trim(text.substr(position, end - position));
        position = end;
        while (position < text.size() && (text[position] == '\n' || text[position] == '\r')) {
            ++position;
        }
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            // The header runs to the last ']'; anything after it is ignored. A '[' line
            // without ']' is not a header and is read as a key line below.
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                document.m_sections.push_back(CSection{CText(Trim(line.substr(1, close - 1))), {}});
                continue;
            }
        }
        // Lines starting with ';' need no special case: they become keys whose names start
        // with ';', which no lookup of a real key can match.
        CKey key;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            key.m_name = CText(line);
        } else {
            key.m_name = CText(Trim(line.substr(0, equals)));
            key.m_value = CText(Trim(line.substr(equals + 1)));
        }
        document.m_sections.back().m_keys.push_back(std::move(key));
    }
    return document;
}

const CIniDocument::CKey* CIniDocument::Find(std::string_view section, std::string_view key) const {
    section = Trim(section);
    key = Trim(key);
    for (const CSection& candidate : m_sections) {
        if (!SameName(candidate.m_name, section)) {
            continue;
        }
        for (const CKey& entry : candidate.m_keys) {
            if (SameName(entry.m_name, key)) {
                return &entry;
            }
        }
        return nullptr; // a later section of the same name is never consulted
    }
    return nullptr;
}

std::uint32_t CopyProfileValue(std::string_view value, char* buffer, std::uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1); // the closing quote goes after the copy
    }
    std::size_t count = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buffer, value.data(), count);
    // The closing quote is dropped from the copied text whenever the buffer could hold the
    // value's length in characters, which also drops the last character of a quoted value cut
    // exactly one short of its closing quote. The platform's reader behaves the same way.
    if (quoted && size >= value.size() && count > 0) {
        --count;
    }
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(count);
}

std::optional<std::string> CIniFile::ReadFile(const char* filePath) {
    if (filePath == nullptr || *filePath == '\0') {
        return std::nullopt;
    }
    std::string path(filePath);
#ifndef _WIN32
    // The core forms Windows paths; elsewhere a backslash is taken as the folder separator.
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
#endif
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return std::nullopt;
    }
    return text;
}

std::uint32_t CIniFile::GetString(const char* section, const char* key, char* buffer,
                                  std::uint32_t size, const char* filePath) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    buffer[0] = '\0';
    if (section == nullptr || key == nullptr) {
        return 0;
    }
    const std::optional<std::string> text = ReadFile(filePath);
    if (!text) {
        return 0;
    }
    const CIniDocument document = CIniDocument::Parse(*text);
    const CIniDocument::CKey* entry = document.Find(section, key);
    if (entry == nullptr || !entry->m_value) {
        return 0;
    }
    return CopyProfileValue(*entry->m_value, buffer, size);
}

} // namespace sarnok
