// The dialog templates inside the built program, decoded from the raw RT_DIALOG bytes.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

namespace sarnok::test {
namespace {

struct CControl {
    std::uint32_t m_style = 0;
    std::uint32_t m_exStyle = 0;
    int m_x = 0, m_y = 0, m_cx = 0, m_cy = 0;
    std::int32_t m_id = 0;
    std::wstring m_className; // upper case; ordinals by their predefined class names
    std::wstring m_text;      // an ordinal text (an icon id) as "#128"
};

struct CTemplate {
    std::uint32_t m_style = 0;
    std::uint32_t m_exStyle = 0;
    int m_x = 0, m_y = 0, m_cx = 0, m_cy = 0;
    std::wstring m_menu;
    std::wstring m_className;
    std::wstring m_caption;
    int m_pointSize = 0;
    std::wstring m_font;
    std::vector<CControl> m_controls;
};

// Reads a DLGTEMPLATEEX and its DLGITEMTEMPLATEEX records; fails the test on any overrun.
class CTemplateReader {
public:
    CTemplateReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Read(CTemplate* dialog) {
        if (Word() != 1 || Word() != 0xFFFF) {
            return Fail("not an extended dialog template");
        }
        Dword(); // help id
        dialog->m_exStyle = Dword();
        dialog->m_style = Dword();
        const int count = Word();
        dialog->m_x = Short();
        dialog->m_y = Short();
        dialog->m_cx = Short();
        dialog->m_cy = Short();
        dialog->m_menu = NameOrOrdinal(false);
        dialog->m_className = NameOrOrdinal(false);
        dialog->m_caption = Text();
        if (dialog->m_style & (DS_SETFONT | DS_SHELLFONT)) {
            dialog->m_pointSize = Word();
            Word(); // weight
            Byte(); // italic
            Byte(); // character set
            dialog->m_font = Text();
        }
        for (int i = 0; i < count && m_ok; ++i) {
            Align(4);
            CControl control;
            Dword(); // help id
            control.m_exStyle = Dword();
            control.m_style = Dword();
            control.m_x = Short();
            control.m_y = Short();
            control.m_cx = Short();
            control.m_cy = Short();
            control.m_id = static_cast<std::int32_t>(Dword());
            control.m_className = NameOrOrdinal(true);
            control.m_text = NameOrOrdinal(false);
            const int extra = Word();
            m_offset += static_cast<std::size_t>(extra);
            dialog->m_controls.push_back(control);
        }
        if (m_offset > m_size) {
            return Fail("template runs past its resource");
        }
        return m_ok;
    }

    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& error) {
        if (m_ok) {
            m_error = error;
        }
        m_ok = false;
        return false;
    }
    bool Need(std::size_t bytes) {
        if (m_offset + bytes > m_size) {
            return Fail("template runs past its resource");
        }
        return m_ok;
    }
    std::uint8_t Byte() { return Need(1) ? m_data[m_offset++] : 0; }
    std::uint16_t Word() {
        std::uint16_t value = 0;
        if (Need(2)) {
            std::memcpy(&value, m_data + m_offset, 2);
            m_offset += 2;
        }
        return value;
    }
    int Short() { return static_cast<std::int16_t>(Word()); }
    std::uint32_t Dword() {
        std::uint32_t value = 0;
        if (Need(4)) {
            std::memcpy(&value, m_data + m_offset, 4);
            m_offset += 4;
        }
        return value;
    }
    void Align(std::size_t to) { m_offset = (m_offset + to - 1) / to * to; }
    std::wstring Text() {
        std::wstring text;
        for (std::uint16_t c = Word(); c != 0 && m_ok; c = Word()) {
            text.push_back(static_cast<wchar_t>(c));
        }
        return text;
    }
    std::wstring NameOrOrdinal(bool isClass) {
        if (!Need(2)) {
            return std::wstring();
        }
        std::uint16_t first = 0;
        std::memcpy(&first, m_data + m_offset, 2);
        if (first != 0xFFFF) {
            std::wstring name = Text();
            if (isClass) {
                // Class names do not depend on case; compilers store them either way.
                for (wchar_t& c : name) {
                    c = static_cast<wchar_t>(std::towupper(c));
                }
            }
            return name;
        }
        Word();
        const std::uint16_t ordinal = Word();
        if (isClass) {
            switch (ordinal) {
            case 0x80:
                return L"BUTTON";
            case 0x81:
                return L"EDIT";
            case 0x82:
                return L"STATIC";
            case 0x83:
                return L"LISTBOX";
            case 0x84:
                return L"SCROLLBAR";
            case 0x85:
                return L"COMBOBOX";
            default:
                break;
            }
        }
        return L"#" + std::to_wstring(ordinal);
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
    bool m_ok = true;
    std::string m_error;
};

class DialogTemplateTest : public ::testing::Test {
protected:
    CTemplate Load(int id) {
        CTemplate dialog;
        HMODULE module = m_module.Get();
        HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
        EXPECT_NE(resource, nullptr) << "dialog " << id;
        if (resource == nullptr) {
            return dialog;
        }
        HGLOBAL loaded = ::LoadResource(module, resource);
        const auto* data = static_cast<const std::uint8_t*>(::LockResource(loaded));
        CTemplateReader reader(data, ::SizeofResource(module, resource));
        EXPECT_TRUE(reader.Read(&dialog)) << reader.Error();
        return dialog;
    }

    static void ExpectControl(const CControl& actual, std::int32_t id, const wchar_t* className,
                              const wchar_t* text, std::uint32_t style, int x, int y, int cx,
                              int cy) {
        SCOPED_TRACE(testing::Message() << "control " << id << " " << std::wstring(text));
        EXPECT_EQ(static_cast<std::int16_t>(actual.m_id), id);
        EXPECT_EQ(actual.m_className, className);
        EXPECT_EQ(actual.m_text, text);
        EXPECT_EQ(actual.m_style, style) << std::hex << actual.m_style << " != " << style;
        EXPECT_EQ(actual.m_exStyle, 0u);
        EXPECT_EQ(actual.m_x, x);
        EXPECT_EQ(actual.m_y, y);
        EXPECT_EQ(actual.m_cx, cx);
        EXPECT_EQ(actual.m_cy, cy);
    }

    CResourceModule m_module{ProgramPath()};
};

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;

TEST_F(DialogTemplateTest, MainDialogFrameCaptionAndFont) {
    const CTemplate dialog = Load(102);
    EXPECT_EQ(dialog.m_caption, L"Card Printer Firmware Update");
    EXPECT_EQ(dialog.m_style, static_cast<std::uint32_t>(DS_SETFONT | DS_MODALFRAME | WS_POPUP |
                                                         WS_VISIBLE | WS_CAPTION | WS_SYSMENU))
        << std::hex << dialog.m_style;
    // Its own taskbar button; no minimise or maximise box.
    EXPECT_EQ(dialog.m_exStyle, static_cast<std::uint32_t>(WS_EX_APPWINDOW));
    EXPECT_EQ(dialog.m_style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(dialog.m_x, 0);
    EXPECT_EQ(dialog.m_y, 0);
    EXPECT_EQ(dialog.m_cx, 301);
    EXPECT_EQ(dialog.m_cy, 183);
    EXPECT_EQ(dialog.m_pointSize, 8);
    EXPECT_EQ(dialog.m_font, L"MS Shell Dlg");
    EXPECT_EQ(dialog.m_menu, L"");
    EXPECT_EQ(dialog.m_className, L"");
}

TEST_F(DialogTemplateTest, MainDialogControlsInTabOrder) {
    const CTemplate dialog = Load(102);
    ASSERT_EQ(dialog.m_controls.size(), 9u);
    const auto& c = dialog.m_controls;
    ExpectControl(c[0], IDOK, L"BUTTON", L"Update", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 30, 153,
                  98, 14);
    ExpectControl(c[1], IDCANCEL, L"BUTTON", L"Cancel", kChild | BS_PUSHBUTTON | WS_TABSTOP, 174,
                  153, 98, 14);
    // A drop-down with an edit field, unsorted, so entry N stays printer N.
    ExpectControl(c[2], 1000, L"COMBOBOX", L"", kChild | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 29,
                  34, 232, 74);
    ExpectControl(c[3], 1002, L"EDIT", L"", kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER, 29, 68,
                  232, 14);
    ExpectControl(c[4], -1, L"STATIC", L"Select printer to update", kChild | SS_LEFT | WS_GROUP, 29,
                  21, 231, 8);
    ExpectControl(c[5], -1, L"STATIC", L"Firmware version for this printer",
                  kChild | SS_LEFT | WS_GROUP, 29, 56, 231, 8);
    const std::uint32_t status = kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP;
    ExpectControl(c[6], 1004, L"STATIC", L"", status, 16, 91, 269, 8);
    ExpectControl(c[7], 1005, L"STATIC", L"", status, 16, 110, 269, 8);
    ExpectControl(c[8], 1006, L"STATIC", L"", status, 16, 129, 269, 8);
    EXPECT_EQ(c[2].m_style & CBS_SORT, 0u);
}

TEST_F(DialogTemplateTest, AboutBoxFrameCaptionAndFont) {
    const CTemplate dialog = Load(130);
    EXPECT_EQ(dialog.m_caption, L"About Brelwin");
    EXPECT_EQ(dialog.m_style, static_cast<std::uint32_t>(DS_SETFONT | DS_MODALFRAME | WS_POPUP |
                                                         WS_CAPTION | WS_SYSMENU))
        << std::hex << dialog.m_style;
    EXPECT_EQ(dialog.m_cx, 237);
    EXPECT_EQ(dialog.m_cy, 63);
    EXPECT_EQ(dialog.m_pointSize, 8);
    EXPECT_EQ(dialog.m_font, L"MS Shell Dlg");
}

TEST_F(DialogTemplateTest, AboutBoxControls) {
    const CTemplate dialog = Load(130);
    ASSERT_EQ(dialog.m_controls.size(), 3u);
    const auto& c = dialog.m_controls;
    ExpectControl(c[0], IDOK, L"BUTTON", L"OK", kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP,
                  180, 42, 50, 14);
    ExpectControl(c[1], 122, L"STATIC", L"Static", kChild | SS_LEFT | SS_NOPREFIX, 41, 24, 158, 10);
    // The icon keeps its size in the template (the control itself sizes to the image).
    ExpectControl(c[2], -1, L"STATIC", L"#128", kChild | SS_ICON, 12, 18, 21, 20);
}

// 16 to 48 pixels for the title bar, taskbar and folders; 256 (written as 0 in the directory) for
// large icon views and screens at 200 % and more.
TEST(ProgramIcon, HasTheFourImages) {
    CResourceModule module(ProgramPath());
    ASSERT_NE(module.Get(), nullptr);
    HRSRC group = ::FindResourceA(module.Get(), MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14));
    ASSERT_NE(group, nullptr);
    const auto* data =
        static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module.Get(), group)));
    const DWORD size = ::SizeofResource(module.Get(), group);
    ASSERT_GE(size, 6u);
    std::uint16_t count = 0;
    std::memcpy(&count, data + 4, 2);
    ASSERT_EQ(count, 4u);
    ASSERT_GE(size, 6u + 14u * count);
    std::vector<std::pair<int, int>> images; // size, bit count
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + 6 + 14 * i;
        std::uint16_t bits = 0;
        std::memcpy(&bits, entry + 6, 2);
        images.emplace_back(entry[0], bits);
    }
    EXPECT_EQ(images, (std::vector<std::pair<int, int>>{{16, 8}, {32, 32}, {48, 32}, {0, 32}}));
    // Windows picks the large image by size and loads it through the PNG decoder.
    HICON large = static_cast<HICON>(
        ::LoadImageA(module.Get(), MAKEINTRESOURCEA(128), IMAGE_ICON, 256, 256, 0));
    ASSERT_NE(large, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(large, &info));
    BITMAP bitmap{};
    ::GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 256);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(large);
}

INT_PTR CALLBACK InertDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The width a text takes on one line in a control's own font.
int TextWidth(HWND control, const std::string& text) {
    HDC dc = ::GetDC(control);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT extent{};
    const bool noPrefix = (::GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX) != 0;
    char className[16] = {};
    ::GetClassNameA(control, className, sizeof className);
    const UINT prefix = noPrefix && std::string(className) == "Static" ? DT_NOPREFIX : 0;
    ::DrawTextA(dc, text.c_str(), -1, &extent, DT_CALCRECT | DT_SINGLELINE | prefix);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    return extent.right - extent.left;
}

// The main dialog made from the program's template in this process, which is DPI-aware as the
// program is (the same manifest), on a screen at whatever DPI the run is for: a second run sets
// Wine's LogPixels to 192 (SARNOK_WINE_DPI). The dialog must scale whole, its font with it, and
// each text it can show must fit its control's width: the template's labels and buttons, "Close"
// on the Cancel button and every status text on every status line.
TEST_F(DialogTemplateTest, EveryTextFitsItsControlAtTheScreensDpi) {
    char display[256];
    if (::GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) {
        GTEST_SKIP() << "no display: run under xvfb-run";
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    char wanted[16] = {};
    if (::GetEnvironmentVariableA("SARNOK_WINE_DPI", wanted, sizeof wanted) != 0) {
        ASSERT_EQ(dpi, std::atoi(wanted)) << "the screen is not at the DPI this run is for";
    }

    HMODULE module = m_module.Get();
    HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(5));
    ASSERT_NE(resource, nullptr);
    const auto* dialogTemplate =
        static_cast<LPCDLGTEMPLATEA>(::LockResource(::LoadResource(module, resource)));
    HWND dialog = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), dialogTemplate, nullptr,
                                               &InertDialog, 0);
    ASSERT_NE(dialog, nullptr) << "error " << ::GetLastError();

    // The template's 8-point font at this DPI: its character height is 8/72 of an inch.
    HDC dc = ::GetDC(dialog);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(dialog, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    ::SelectObject(dc, previous);
    ::ReleaseDC(dialog, dc);
    EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, ::MulDiv(8, dpi, 72), 1)
        << "at " << dpi << " DPI";

    const auto expectFits = [&](HWND control, const std::string& text) {
        RECT client{};
        ::GetClientRect(control, &client);
        EXPECT_LE(TextWidth(control, text), client.right)
            << "\"" << text << "\" in control " << ::GetDlgCtrlID(control) << " at " << dpi
            << " DPI";
    };
    int checked = 0;
    for (HWND control = ::GetWindow(dialog, GW_CHILD); control != nullptr;
         control = ::GetWindow(control, GW_HWNDNEXT)) {
        char text[512] = {};
        if (::GetWindowTextA(control, text, sizeof text) > 0) {
            expectFits(control, text);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 4) << "the template's buttons and labels";
    char close[64] = {};
    ASSERT_GT(::LoadStringA(module, 123, close, sizeof close), 0);
    expectFits(::GetDlgItem(dialog, IDCANCEL), close);
    // All but the About box's caption (101), the same-version question of a message box (121),
    // the About box's placeholder (122) and the button's "Close" (123); the unfinished update's
    // text (130) as it is shown, with its time.
    for (UINT id = 102; id <= 130; ++id) {
        char text[512] = {};
        if (id == 121 || id == 122 || id == 123) {
            continue;
        }
        ASSERT_GT(::LoadStringA(module, id, text, sizeof text), 0) << "string " << id;
        std::string shown = text;
        const std::size_t time = shown.find("%s");
        if (time != std::string::npos) {
            shown.replace(time, 2, "2026-12-10 08:00");
        }
        for (const int line : {1004, 1005, 1006}) {
            expectFits(::GetDlgItem(dialog, line), shown);
        }
    }
    ::DestroyWindow(dialog);
}

} // namespace
} // namespace sarnok::test
