#include "AboutBox.h"

#include "res/resource.h"

namespace sarnok::win32 {

CAboutBox::CAboutBox(HINSTANCE instance, HWND parent, ISystemServices& system,
                     IVersionApi& versionApi)
    : CDialog(instance, IDD_ABOUTBOX, parent), m_about(*this, system, versionApi) {}

std::string CAboutBox::LoadText(unsigned id) {
    return LoadResourceText(id);
}

void CAboutBox::SetCaption(const std::string& text) {
    ::SetWindowTextA(Handle(), text.c_str());
}

bool CAboutBox::OnInitDialog() {
    const bool focusDefault = m_about.OnInitDialog();
    SetItemText(IDC_VERSION_LINE, m_about.m_versionText);
    return focusDefault;
}

} // namespace sarnok::win32
