#include "TrustedFolders.h"

namespace sarnok::deploy {

std::optional<std::string> TrustedFolder(ISecureFolders& folders, const std::string& base,
                                         const std::vector<std::string>& parts,
                                         const std::string& leafSddl, std::string* why) {
    std::string path = base;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        path += "\\" + parts[i];
        const std::string& sddl = i + 1 == parts.size() ? leafSddl : kProtectedFolderSddl;
        if (folders.CreateFolder(path, sddl)) {
            continue;
        }
        const CPathFacts facts = folders.Inspect(path);
        if (!facts.m_exists) {
            *why = "cannot create the folder " + path;
            return std::nullopt;
        }
        if (!facts.m_directory || facts.m_reparsePoint) {
            *why = path + " is not a plain folder (a file, a junction or a link)";
            return std::nullopt;
        }
        if (facts.m_owner == EOwner::Other) {
            *why = path + " is owned by an account other than SYSTEM, Administrators or this "
                          "program's";
            return std::nullopt;
        }
        if (!folders.ProtectFolder(path, sddl)) {
            *why = "cannot protect the folder " + path;
            return std::nullopt;
        }
    }
    return path;
}

std::FILE* OpenTrustedAppend(ISecureFolders& folders, const std::string& path, std::string* why) {
    CFileFacts facts;
    std::FILE* file = folders.OpenAppend(path, &facts);
    if (file == nullptr) {
        *why = "cannot open " + path;
        return nullptr;
    }
    if (!facts.m_plain || facts.m_reparsePoint || facts.m_links != 1) {
        std::fclose(file);
        *why = path + " is not a plain file with one name (a link or a reparse point)";
        return nullptr;
    }
    return file;
}

} // namespace sarnok::deploy
