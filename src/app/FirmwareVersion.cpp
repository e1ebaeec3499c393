#include "app/FirmwareVersion.h"

namespace sarnok {

std::string FormatFirmwareVersion(std::int32_t major, std::int32_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

void StripWhitespace(char* text) {
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        const char c = *in;
        // Fixed set: the classification of the "C" locale, not of the user's code page.
        const bool blank =
            c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
        if (!blank) {
            *out++ = c;
        }
    }
    *out = '\0';
}

} // namespace sarnok
