// The About window: dialog template 130 around the core's CAboutDlg.
#pragma once

#include "Dialog.h"
#include "app/AboutDlg.h"

namespace sarnok::win32 {

class CAboutBox : public CDialog, public IAboutView {
public:
    CAboutBox(HINSTANCE instance, HWND parent, ISystemServices& system, IVersionApi& versionApi);

    // ---- IAboutView ----
    std::string LoadText(unsigned id) override;
    void SetCaption(const std::string& text) override;

protected:
    bool OnInitDialog() override;

private:
    CAboutDlg m_about;
};

} // namespace sarnok::win32
