#include "Win32ConsoleText.h"

#include "Win32SystemServices.h"

#include <windows.h>

#include <algorithm>

namespace sarnok::deploy {

namespace {

std::string WithCrLf(const std::string& text) {
    std::string lines;
    lines.reserve(text.size() + text.size() / 32);
    for (const char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    return lines;
}

// Older consoles refuse one very long WriteConsoleW; a high surrogate stays with its low one.
void WriteWide(HANDLE console, const std::wstring& text) {
    constexpr std::size_t kChunk = 8192;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t count = std::min(kChunk, text.size() - at);
        if (at + count < text.size() && count > 1 && text[at + count - 1] >= 0xd800 &&
            text[at + count - 1] <= 0xdbff) {
            --count;
        }
        DWORD written = 0;
        if (::WriteConsoleW(console, text.data() + at, static_cast<DWORD>(count), &written,
                            nullptr) == FALSE ||
            written == 0) {
            return;
        }
        at += written;
    }
}

void WriteBytes(HANDLE file, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        DWORD written = 0;
        if (::WriteFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                        nullptr) == FALSE ||
            written == 0) {
            return;
        }
        at += written;
    }
}

} // namespace

void WriteConsoleText(bool warnings, const std::string& text) {
    if (text.empty()) {
        return;
    }
    HANDLE handle = ::GetStdHandle(warnings ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string lines = WithCrLf(text);
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode) != FALSE) {
        WriteWide(handle, win32::AnsiToWide(lines));
        return;
    }
    // Redirected. A process without a console (SYSTEM under Intune) writes the OEM code page, as
    // the console tools do there.
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0) {
        codePage = ::GetOEMCP();
    }
    WriteBytes(handle, codePage == ::GetACP() ? lines : win32::AnsiToCodePage(lines, codePage));
}

} // namespace sarnok::deploy
