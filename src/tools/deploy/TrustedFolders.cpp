#include "TrustedFolders.h"

#include "LogRecord.h"

namespace sarnok::deploy {

namespace {

std::string OwnerText(const CPathFacts& facts) {
    return facts.m_ownerName.empty() ? std::string("an unknown account") : facts.m_ownerName;
}

// Why SYSTEM cannot use what is at path; empty when it can.
std::string Distrust(const CPathFacts& facts, bool elevated, const std::string& path) {
    if (!facts.m_directory || facts.m_reparsePoint) {
        return path + " is not a plain folder (a file, a junction or a link)";
    }
    if (!OwnerTrusted(facts.m_owner, elevated)) {
        return path + " is owned by " + OwnerText(facts) + ", not by SYSTEM or Administrators";
    }
    return {};
}

std::string DistrustFile(const CPathFacts& facts, bool elevated, const std::string& path) {
    if (facts.m_directory || facts.m_reparsePoint) {
        return path + " is not a plain file (a folder, a junction or a link)";
    }
    if (!OwnerTrusted(facts.m_owner, elevated)) {
        return path + " is owned by " + OwnerText(facts) + ", not by SYSTEM or Administrators";
    }
    return {};
}

} // namespace

CTrustedFolder TrustedFolder(ISecureFolders& folders, const std::string& base,
                             const std::vector<std::string>& parts,
                             const std::vector<std::string>& leafFiles, const std::string& stamp) {
    CTrustedFolder result;
    const bool elevated = folders.Elevated();
    std::string path = base;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string parent = path;
        path += "\\" + parts[i];
        const bool leaf = i + 1 == parts.size();
        const CPathFacts facts = folders.Inspect(path);
        if (!facts.m_exists) {
            if (!elevated) {
                return result; // nothing to read yet, and only SYSTEM or an administrator makes it
            }
            if (!folders.CreateFolder(path, kProtectedFolderSddl)) {
                result.m_why = "cannot create the folder " + path;
                return result;
            }
            continue;
        }
        std::string distrust = Distrust(facts, elevated, path);
        if (distrust.empty() && elevated && !folders.Protect(path, kProtectedFolderSddl)) {
            distrust = "cannot give " + path + " its protected permissions";
        }
        // Only once the folder is closed to users do its files stay as they are inspected.
        for (std::size_t f = 0; leaf && distrust.empty() && f < leafFiles.size(); ++f) {
            const std::string file = path + "\\" + leafFiles[f];
            const CPathFacts fileFacts = folders.Inspect(file);
            if (!fileFacts.m_exists) {
                continue;
            }
            distrust = DistrustFile(fileFacts, elevated, file);
            if (distrust.empty() && elevated && !folders.Protect(file, kProtectedFileSddl)) {
                distrust = "cannot give " + file + " its protected permissions";
            }
        }
        if (distrust.empty()) {
            continue;
        }
        if (!elevated) {
            // Unelevated, a folder closed to users looks like one it cannot trust: it reads
            // nothing there, and has nothing to warn of.
            return result;
        }
        // A tree a user may have filled is never taken over: it goes aside whole, as it is.
        const std::string aside = parent + "\\" + parts[i] + ".untrusted-" + stamp;
        if (!folders.SetAside(path, aside)) {
            result.m_why = distrust + "; it could not be renamed";
            return result;
        }
        result.m_setAside.push_back({path, aside, OwnerText(facts), distrust});
        if (!folders.CreateFolder(path, kProtectedFolderSddl)) {
            result.m_why = "cannot create the folder " + path;
            return result;
        }
    }
    result.m_path = path;
    return result;
}

std::optional<std::string> UserWritableFolder(const CPathFacts& facts, bool elevated) {
    if (!facts.m_exists) {
        return std::string("it does not exist");
    }
    if (!facts.m_directory || facts.m_reparsePoint) {
        return std::string("it is not a plain folder (a file, a junction or a link)");
    }
    if (!OwnerTrusted(facts.m_owner, elevated)) {
        return "it is owned by " + OwnerText(facts) +
               ", not by SYSTEM, Administrators or TrustedInstaller";
    }
    if (!facts.m_daclRead) {
        return std::string("its permissions cannot be read");
    }
    if (facts.m_nullDacl) {
        return std::string("it has no DACL: everyone may change it");
    }
    for (const CAccessEntry& entry : facts.m_dacl) {
        if (!entry.m_allow || (entry.m_mask & kFolderWriteRights) == 0) {
            continue;
        }
        const char* who = entry.m_trustee == ETrustee::Users                ? "Users"
                          : entry.m_trustee == ETrustee::AuthenticatedUsers ? "Authenticated Users"
                          : entry.m_trustee == ETrustee::Everyone           ? "Everyone"
                          : entry.m_trustee == ETrustee::Interactive        ? "Interactive"
                                                                            : nullptr;
        if (who != nullptr) {
            return std::string("it lets ") + who + " create or change files in it";
        }
    }
    return std::nullopt;
}

std::FILE* OpenTrustedAppend(ISecureFolders& folders, const std::string& path,
                             const std::string& rotated, std::string* why) {
    const bool elevated = folders.Elevated();
    for (int attempt = 0; attempt < 2; ++attempt) {
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
        if (!OwnerTrusted(facts.m_owner, elevated)) {
            std::fclose(file);
            *why = path + " is owned by an account other than SYSTEM or Administrators";
            return nullptr;
        }
        // Renamed by the handle just checked: a name swapped for a link in between would
        // otherwise move whatever file the link leads to.
        if (attempt == 0 && LogIsFull(facts.m_size) && folders.RenameOpen(file, rotated)) {
            std::fclose(file);
            continue;
        }
        return file;
    }
    *why = "cannot open " + path + " again after renaming it";
    return nullptr;
}

} // namespace sarnok::deploy
