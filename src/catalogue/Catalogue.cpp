// The catalogue lookup: which firmware the selected printer's current version leads to.
#include "app/CfuuDlg.h"
#include "app/PathText.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/Checksum.h"
#include "res/resource.h"

#include <cstring>
#include <string_view>

namespace sarnok {

namespace {

// The catalogue's path beside the executable, or nothing when it cannot be formed: the
// executable's name must fit the module-path buffer, its folder must not be empty and the
// whole path must fit the same buffer.
bool CataloguePath(ISystemServices& system, std::string* path) {
    std::string executable;
    if (!system.GetExecutablePath(&executable) || executable.size() > kModulePathBufferSize - 1) {
        return false;
    }
    std::string folder = RemoveFileSpec(executable);
    if (folder.empty() ||
        folder.size() + 1 + std::strlen(kCatalogueFileName) > kModulePathBufferSize - 1) {
        return false;
    }
    *path = folder + "\\" + kCatalogueFileName;
    return true;
}

} // namespace

EEntryUse ClassifyEntry(std::string_view section, std::string_view version,
                        std::string_view intermediateVersion) {
    if (version.empty() && intermediateVersion.empty()) {
        return EEntryUse::None;
    }
    if (version == section) {
        return EEntryUse::SameVersion;
    }
    return version.empty() ? EEntryUse::NoVersion : EEntryUse::Usable;
}

std::int32_t CfuuDlg::GetFirmwareInfo(const char* section, char* fileName, char* version,
                                      char* intermediateFileName, char* intermediateVersion,
                                      std::uint32_t size) {
    IMainView& view = m_ports.m_view;
    std::string path;
    if (!CataloguePath(m_ports.m_system, &path)) {
        ShowText(1, IDS_INCORRECT_DATA);
        ShowText(2, IDS_CONTACT_PROVIDER);
        view.EnableUpdate(false);
        return 0;
    }

    IProfileReader& profile = m_ports.m_profile;
    const char* file = path.c_str();
    profile.GetString(section, kFilenameKey, fileName, size, file);
    const std::uint32_t versionLength =
        profile.GetString(section, kVersionKey, version, size, file);
    profile.GetString(section, kIntermediateFileNameKey, intermediateFileName, size, file);
    const std::uint32_t intermediateLength =
        profile.GetString(section, kIntermediateVersionKey, intermediateVersion, size, file);
    // The checksums belong to the files just read: a later change to the catalogue must not
    // decide whether these files go out.
    profile.GetString(section, kSha256Key, m_sha256.data(), kPathTextSize, file);
    profile.GetString(section, kIntermediateSha256Key, m_intermediateSha256.data(), kPathTextSize,
                      file);

    const EEntryUse use = ClassifyEntry(section, std::string_view(version, versionLength),
                                        std::string_view(intermediateVersion, intermediateLength));
    if (use == EEntryUse::None) {
        ShowText(1, IDS_NO_MATCHING_FIRMWARE);
        ShowText(2, IDS_CONTACT_PROVIDER);
        view.EnableUpdate(false);
        return -1;
    }

    if (use == EEntryUse::SameVersion) {
        m_sameVersion = true;
        // Only an explicit Yes sends the same firmware again.
        const EMessageAnswer answer =
            view.ShowMessageBox(Load(IDS_SAME_VERSION), "Warning", EMessageButtons::YesNoDefaultNo);
        if (answer != EMessageAnswer::Yes) {
            return 0;
        }
    }
    return static_cast<std::int32_t>(versionLength);
}

} // namespace sarnok
