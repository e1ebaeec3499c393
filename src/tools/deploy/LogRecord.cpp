#include "LogRecord.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sarnok::deploy {

namespace {

constexpr std::string_view kMessageEnd = "]LOG]!>";

// The message as one record's text: a line end would split the record, and the marker that ends
// a message would end it early. A blank after the first bracket keeps it readable.
std::string MessageText(std::string_view message) {
    const std::string blanked = BlankControls(message);
    const std::string_view clean = blanked;
    std::string text;
    text.reserve(clean.size());
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (clean.substr(i, kMessageEnd.size()) == kMessageEnd) {
            text += "] LOG]!>";
            i += kMessageEnd.size() - 1;
            continue;
        }
        text += clean[i];
    }
    return text;
}

// An attribute's value: its quotes must not end it.
std::string AttributeText(std::string_view value) {
    std::string text;
    for (const char c : BlankControls(value)) {
        if (c == '"') {
            text += "&quot;";
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace

std::string CmTraceRecord(std::string_view message, ELogType type, const CLogStamp& stamp,
                          std::string_view component, std::string_view context) {
    char when[96];
    std::snprintf(when, sizeof when,
                  "<time=\"%02u:%02u:%02u.%03u%+d\" date=\"%02u-%02u-%04u\" component=\"",
                  stamp.m_hour, stamp.m_minute, stamp.m_second, stamp.m_millisecond,
                  stamp.m_biasMinutes, stamp.m_month, stamp.m_day, stamp.m_year);
    return "<![LOG[" + MessageText(message) + std::string(kMessageEnd) + when +
           AttributeText(component) + "\" context=\"" + AttributeText(context) + "\" type=\"" +
           std::to_string(static_cast<int>(type)) + "\" thread=\"" +
           std::to_string(stamp.m_thread) + "\" file=\"\">";
}

std::string RotatedLogName(const std::string& path) {
    std::string rotated = path;
    if (!rotated.empty()) {
        rotated.back() = '_';
    }
    return rotated;
}

bool SourceNeedsRegistration(const std::optional<std::string>& registeredFile,
                             const std::string& ownPath) {
    if (!registeredFile || registeredFile->size() != ownPath.size()) {
        return true;
    }
    return !std::equal(ownPath.begin(), ownPath.end(), registeredFile->begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

} // namespace sarnok::deploy
