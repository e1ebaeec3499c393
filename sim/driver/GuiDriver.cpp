// Drives the running "Card Printer Firmware Update" dialog from another process, as a person
// would: selects printers, clicks buttons, answers message boxes, reads what the dialog shows
// and saves screenshots. Reading never blocks on the dialog: statics and buttons are read with
// GetWindowTextA (which answers from the window's stored text without messaging the busy
// thread) and the edit control with a WM_GETTEXT that gives up after a short time.
//
//   sarnok_driver SCRIPT [OUTPUT_DIR]
//
// Script lines (UTF-8; texts in double quotes, \" for a quote; # starts a comment):
//   wait-dialog TIMEOUT_S              wait for the dialog to appear
//   select N                           choose list entry N (0-based) and deliver CBN_SELENDOK
//   click update|cancel                click a button; fails when it is disabled
//   answer CAPTION yes|no|ok [TIMEOUT_S]   find a message box by caption and press a button
//   expect FIELD "TEXT"                FIELD: line1 line2 line3 firmware cancel update
//                                      list-count list0 list1 ... (update: enabled/disabled)
//   wait-until FIELD "TEXT" TIMEOUT_S  poll until FIELD reads TEXT
//   print [LABEL]                      print every control's text
//   screenshot FILE.bmp                save the dialog as a bitmap (relative to OUTPUT_DIR)
//   drop-list open|close               open or close the printer list's drop-down part
//   activate                           bring the dialog to the foreground (active caption)
//   hold-lock TIMEOUT_S                hold the programs' update lock as they take it, printing
//                                      "holding" (or fail when it is not free)
//   sleep MS
//   wait-gone TIMEOUT_S                wait until the dialog has closed
// The exit status is 0 when every step passed.
#include "Win32UpdateLock.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr char kCaption[] = "Card Printer Firmware Update";
constexpr int kPrinterList = 1000;
constexpr int kFirmwareField = 1002;
constexpr int kStatusLine1 = 1004;
constexpr int kStatusLine2 = 1005;
constexpr int kStatusLine3 = 1006;
constexpr UINT kReadTimeoutMs = 250;

std::string g_outputDir = ".";

// ---- text conversion: the script and the console speak UTF-8, the dialog speaks ANSI ----

std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) {
        return text;
    }
    const int wide =
        MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring buffer(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), buffer.data(), wide);
    const int narrow =
        WideCharToMultiByte(to, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(to, 0, buffer.data(), wide, result.data(), narrow, nullptr, nullptr);
    return result;
}

std::string ToAnsi(const std::string& utf8) {
    return Convert(utf8, CP_UTF8, CP_ACP);
}

std::string ToUtf8(const std::string& ansi) {
    return Convert(ansi, CP_ACP, CP_UTF8);
}

// ---- finding and reading windows ----

HWND FindDialog() {
    return FindWindowA("#32770", kCaption);
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The edit control keeps its text itself, so it must be asked; a busy dialog gives "<busy>".
bool AskText(HWND window, std::string* text) {
    char buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, kReadTimeoutMs, &copied) == 0) {
        return false;
    }
    text->assign(buffer, static_cast<std::size_t>(copied));
    return true;
}

// What a field shows now, in ANSI; false when it cannot be read at this moment.
bool ReadField(HWND dialog, const std::string& field, std::string* value) {
    if (field == "line1" || field == "line2" || field == "line3") {
        const int id = field == "line1"   ? kStatusLine1
                       : field == "line2" ? kStatusLine2
                                          : kStatusLine3;
        *value = WindowText(GetDlgItem(dialog, id));
        return true;
    }
    if (field == "cancel") {
        *value = WindowText(GetDlgItem(dialog, IDCANCEL));
        return true;
    }
    if (field == "update") {
        *value = IsWindowEnabled(GetDlgItem(dialog, IDOK)) ? "enabled" : "disabled";
        return true;
    }
    if (field == "cancel-state") {
        *value = IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)) ? "enabled" : "disabled";
        return true;
    }
    if (field == "firmware") {
        return AskText(GetDlgItem(dialog, kFirmwareField), value);
    }
    HWND list = GetDlgItem(dialog, kPrinterList);
    DWORD_PTR count = 0;
    if (SendMessageTimeoutA(list, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kReadTimeoutMs,
                            &count) == 0) {
        return false;
    }
    if (field == "list-count") {
        *value = std::to_string(static_cast<long long>(static_cast<LRESULT>(count)));
        return true;
    }
    if (field.rfind("list", 0) == 0 && field.size() > 4) {
        const int index = std::atoi(field.c_str() + 4);
        DWORD_PTR length = 0;
        if (index < 0 || static_cast<DWORD_PTR>(index) >= count ||
            SendMessageTimeoutA(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0,
                                SMTO_ABORTIFHUNG | SMTO_BLOCK, kReadTimeoutMs, &length) == 0 ||
            static_cast<LRESULT>(length) < 0 || length > 4096) {
            return false;
        }
        // Wine's ANSI form of this message faults across processes; the wide form is marshalled.
        std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (SendMessageTimeoutW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(text.data()),
                                SMTO_ABORTIFHUNG | SMTO_BLOCK, kReadTimeoutMs, &copied) == 0) {
            return false;
        }
        const int size =
            WideCharToMultiByte(CP_ACP, 0, text.data(), -1, nullptr, 0, nullptr, nullptr);
        std::string ansi(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
        WideCharToMultiByte(CP_ACP, 0, text.data(), -1, ansi.data(), size, nullptr, nullptr);
        *value = ansi.c_str();
        return true;
    }
    return false;
}

void PrintAll(HWND dialog, const std::string& label) {
    std::printf("---- %s\n", label.c_str());
    for (const char* field : {"line1", "line2", "line3", "firmware", "update", "cancel"}) {
        std::string value;
        if (ReadField(dialog, field, &value)) {
            std::printf("  %-9s \"%s\"\n", field, ToUtf8(value).c_str());
        } else {
            std::printf("  %-9s <busy>\n", field);
        }
    }
    std::fflush(stdout);
}

// A top-level dialog window of the program's process with the given caption (message boxes).
// Before the main dialog is known (a box raised while it initialises) any process will do.
HWND FindBox(HWND dialog, const std::string& caption) {
    DWORD process = 0;
    if (dialog != nullptr) {
        GetWindowThreadProcessId(dialog, &process);
    }
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", caption.c_str())) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((process == 0 || owner == process) && window != dialog) {
            return window;
        }
    }
    return nullptr;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") == 0) {
        const std::string text = WindowText(child);
        if (!text.empty()) {
            *reinterpret_cast<std::string*>(param) += text;
        }
    }
    return TRUE;
}

// ---- screenshots ----

bool SaveScreenshot(HWND dialog, const std::string& file) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    const int lines = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (lines != height) {
        return false;
    }
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    const std::string path = g_outputDir + "\\" + file;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

// ---- the script ----

// Words and "quoted texts" of one line.
bool Tokenize(const std::string& line, std::vector<std::string>* words) {
    words->clear();
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line[i] == '#') {
            break;
        } else if (line[i] == '"') {
            std::string word;
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                }
                word += line[i++];
            }
            if (i == line.size()) {
                return false; // unterminated
            }
            ++i;
            words->push_back(word);
        } else {
            std::string word;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                word += line[i++];
            }
            words->push_back(word);
        }
    }
    return true;
}

DWORD Seconds(const std::string& text) {
    return static_cast<DWORD>(std::atof(text.c_str()) * 1000.0);
}

class CRunner {
public:
    bool Step(const std::vector<std::string>& w) {
        const std::string& verb = w[0];
        if (verb == "wait-dialog" && w.size() == 2) {
            const DWORD start = GetTickCount();
            while ((m_dialog = FindDialog()) == nullptr || !IsWindowVisible(m_dialog)) {
                if (GetTickCount() - start > Seconds(w[1])) {
                    return Fail("the dialog did not appear");
                }
                Sleep(100);
            }
            return true;
        }
        if (verb == "squat-lock" && w.size() == 2) {
            // An event, not a mutex, under the update lock's name, as any user can make one.
            HANDLE squat =
                CreateEventA(nullptr, TRUE, FALSE, "Global\\Brelwin.CardPrinterFirmwareUpdate");
            if (squat == nullptr) {
                return Fail("cannot create an event under the update lock's name");
            }
            std::printf("squatting\n");
            std::fflush(stdout);
            Sleep(Seconds(w[1]));
            CloseHandle(squat);
            return true;
        }
        if (verb == "hold-lock" && w.size() == 2) {
            // Another program updating on this workstation, through the same lock as theirs.
            sarnok::win32::CUpdateLock lock;
            if (lock.Acquire() != sarnok::ELockState::Held) {
                return Fail("the update lock is not free");
            }
            std::printf("holding\n");
            std::fflush(stdout);
            Sleep(Seconds(w[1]));
            return true;
        }
        if (verb == "sleep" && w.size() == 2) {
            Sleep(static_cast<DWORD>(std::atoi(w[1].c_str())));
            return true;
        }
        if (verb == "answer" && (w.size() == 3 || w.size() == 4)) {
            const DWORD timeout = w.size() == 4 ? Seconds(w[3]) : 10000;
            const std::string caption = ToAnsi(w[1]);
            const DWORD start = GetTickCount();
            HWND box = nullptr;
            while ((box = FindBox(m_dialog, caption)) == nullptr) {
                if (GetTickCount() - start > timeout) {
                    return Fail("no \"" + w[1] + "\" box appeared");
                }
                Sleep(100);
            }
            std::string text;
            EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
            std::printf("  box \"%s\": %s\n", w[1].c_str(), ToUtf8(text).c_str());
            const int id = w[2] == "yes" ? IDYES : w[2] == "no" ? IDNO : w[2] == "ok" ? IDOK : 0;
            HWND button = id == 0 ? nullptr : GetDlgItem(box, id);
            if (button == nullptr) {
                return Fail("the box has no " + w[2] + " button");
            }
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            return true;
        }
        if (!Dialog()) {
            return Fail("no dialog (wait-dialog first)");
        }
        if (verb == "select" && w.size() == 2) {
            HWND list = GetDlgItem(m_dialog, kPrinterList);
            DWORD_PTR result = 0;
            const WPARAM index = static_cast<WPARAM>(std::atoi(w[1].c_str()));
            if (SendMessageTimeoutA(list, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                    2000, &result) == 0 ||
                static_cast<LRESULT>(result) == CB_ERR) {
                return Fail("cannot select entry " + w[1]);
            }
            PostMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(kPrinterList, CBN_SELENDOK),
                         reinterpret_cast<LPARAM>(list));
            return true;
        }
        if (verb == "drop-list" && w.size() == 2 && (w[1] == "open" || w[1] == "close")) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(GetDlgItem(m_dialog, kPrinterList), CB_SHOWDROPDOWN,
                                    w[1] == "open", 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000,
                                    &result) == 0) {
                return Fail("the printer list does not answer");
            }
            return true;
        }
        if (verb == "activate" && w.size() == 1) {
            SetForegroundWindow(m_dialog);
            return true;
        }
        if (verb == "click" && w.size() == 2) {
            const int id = w[1] == "update" ? IDOK : w[1] == "cancel" ? IDCANCEL : 0;
            HWND button = id == 0 ? nullptr : GetDlgItem(m_dialog, id);
            if (button == nullptr) {
                return Fail("unknown button " + w[1]);
            }
            if (!IsWindowEnabled(button)) {
                return Fail("button " + w[1] + " is disabled");
            }
            PostMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            return true;
        }
        if (verb == "expect" && w.size() == 3) {
            std::string value;
            if (!ReadField(m_dialog, w[1], &value)) {
                return Fail("cannot read " + w[1]);
            }
            if (value != ToAnsi(w[2])) {
                return Fail(w[1] + " reads \"" + ToUtf8(value) + "\", expected \"" + w[2] + "\"");
            }
            return true;
        }
        if (verb == "wait-until" && w.size() == 4) {
            const DWORD start = GetTickCount();
            std::string value;
            bool read = false;
            while (!(read = ReadField(m_dialog, w[1], &value)) || value != ToAnsi(w[2])) {
                if (GetTickCount() - start > Seconds(w[3])) {
                    return Fail(w[1] + " still reads " +
                                (read ? "\"" + ToUtf8(value) + "\"" : "<busy>") + " after " + w[3] +
                                " s, expected \"" + w[2] + "\"");
                }
                Sleep(100);
            }
            std::printf("  %s = \"%s\" after %.1f s\n", w[1].c_str(), w[2].c_str(),
                        (GetTickCount() - start) / 1000.0);
            return true;
        }
        // A text that begins as given, for one that carries a time.
        if (verb == "wait-prefix" && w.size() == 4) {
            const DWORD start = GetTickCount();
            std::string value;
            while (!ReadField(m_dialog, w[1], &value) || value.rfind(ToAnsi(w[2]), 0) != 0) {
                if (GetTickCount() - start > Seconds(w[3])) {
                    return Fail(w[1] + " reads \"" + ToUtf8(value) + "\", expected it to begin \"" +
                                w[2] + "\"");
                }
                Sleep(100);
            }
            std::printf("  %s = \"%s\"\n", w[1].c_str(), ToUtf8(value).c_str());
            return true;
        }
        if (verb == "print") {
            PrintAll(m_dialog, w.size() > 1 ? w[1] : "dialog");
            return true;
        }
        if (verb == "screenshot" && w.size() == 2) {
            return SaveScreenshot(m_dialog, w[1]) || Fail("cannot save " + w[1]);
        }
        if (verb == "wait-gone" && w.size() == 2) {
            const DWORD start = GetTickCount();
            while (IsWindow(m_dialog)) {
                if (GetTickCount() - start > Seconds(w[1])) {
                    return Fail("the dialog is still open");
                }
                Sleep(100);
            }
            return true;
        }
        return Fail("unknown step or wrong number of arguments");
    }

private:
    bool Dialog() { return m_dialog != nullptr && IsWindow(m_dialog); }
    bool Fail(const std::string& what) {
        std::printf("  FAILED: %s\n", what.c_str());
        if (Dialog()) {
            PrintAll(m_dialog, "dialog at the failure");
        }
        return false;
    }

    HWND m_dialog = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: sarnok_driver SCRIPT [OUTPUT_DIR]\n");
        return 2;
    }
    if (argc == 3) {
        g_outputDir = argv[2];
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "sarnok_driver: cannot read %s\n", argv[1]);
        return 2;
    }
    CRunner runner;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::vector<std::string> words;
        if (!Tokenize(line, &words)) {
            std::printf("line %d: unterminated text\n", number);
            return 1;
        }
        if (words.empty()) {
            continue;
        }
        std::printf("step %d: %s\n", number, line.c_str());
        std::fflush(stdout);
        if (!runner.Step(words)) {
            std::printf("FAILED at line %d\n", number);
            return 1;
        }
    }
    std::printf("PASSED\n");
    return 0;
}
