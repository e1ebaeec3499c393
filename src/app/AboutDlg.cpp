#include "app/AboutDlg.h"

#include "app/VersionReader.h"
#include "res/resource.h"

namespace sarnok {

CAboutDlg::CAboutDlg(IAboutView& view, ISystemServices& system, IVersionApi& versionApi)
    : m_view(view), m_system(system), m_versionApi(versionApi) {}

bool CAboutDlg::OnInitDialog() {
    m_view.SetCaption(m_view.LoadText(IDS_ABOUTBOX));
    m_versionText.clear();

    // The path is read whole however long it is: a cut path would name another file.
    std::string path;
    if (m_system.GetExecutablePath(&path)) {
        CVersionReader reader(m_versionApi);
        if (reader.Load(path)) {
            m_versionText += ' ';
            m_versionText += reader.GetValue("ProductVersion");
            const std::size_t end = m_versionText.find_last_not_of(" \t\r\n\v\f");
            m_versionText.erase(end == std::string::npos ? 0 : end + 1);
        }
    }
    return true;
}

} // namespace sarnok
