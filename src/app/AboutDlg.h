// The About box's logic: its caption and the version line read from the program's own
// version block.
#pragma once

#include "ports/SystemServices.h"

#include <string>

namespace sarnok {

// The About box window as its initialisation sees it.
class IAboutView {
public:
    virtual ~IAboutView() = default;
    virtual std::string LoadText(unsigned id) = 0;
    virtual void SetCaption(const std::string& text) = 0;
};

class CAboutDlg {
public:
    CAboutDlg(IAboutView& view, ISystemServices& system, IVersionApi& versionApi);

    // Sets the caption and m_versionText; the window then shows m_versionText in control 122.
    // Always true, so the default button takes the focus.
    bool OnInitDialog();

    std::string m_versionText;

private:
    IAboutView& m_view;
    ISystemServices& m_system;
    IVersionApi& m_versionApi;
};

} // namespace sarnok
