// Text from outside (a printer's name, the journal) on its way to a console, a log or the Event
// Log, where a control character would cut a record or drive a terminal.
#pragma once

#include <string>
#include <string_view>

namespace sarnok {

// The text with every control character (0x00 to 0x1F and 0x7F) made a blank, so that a NUL or
// an escape sequence in a printer's name or the journal neither cuts a log record nor drives the
// terminal; keepLineEnds keeps LF, for a text whose lines the program ends itself. Bytes from
// 0x80 on are left alone: they are the ANSI code page's characters (a DBCS trail byte is never
// below 0x40).
inline std::string BlankControls(std::string_view text, bool keepLineEnds = false) {
    std::string blanked(text);
    for (char& c : blanked) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte == 0x7f) && !(keepLineEnds && c == '\n')) {
            c = ' ';
        }
    }
    return blanked;
}

} // namespace sarnok
