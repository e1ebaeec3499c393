#include "app/PathText.h"

namespace sarnok {

std::string RemoveFileSpec(std::string_view path) {
    const std::size_t last = path.rfind('\\');
    if (last == std::string_view::npos) {
        // "C:file" keeps its drive; a bare name has no folder at all.
        if (path.size() >= 2 && path[1] == ':') {
            return std::string(path.substr(0, 2));
        }
        return std::string();
    }
    const bool driveRoot = last == 2 && path[1] == ':';
    const bool slashRoot = last == 0;
    const bool uncPrefix = last == 1 && path[0] == '\\';
    if (driveRoot || slashRoot || uncPrefix) {
        return std::string(path.substr(0, last + 1));
    }
    return std::string(path.substr(0, last));
}

bool StaysInFolder(std::string_view name) {
    if (!name.empty() && (name.front() == '\\' || name.front() == '/')) {
        return false;
    }
    if (name.size() >= 2 && name[1] == ':') {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("\\/", start);
        const std::string_view part = name.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.find_first_not_of(". ") == std::string_view::npos &&
            part.find("..") != std::string_view::npos) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::vector<std::string> LibraryPaths(std::string_view name, bool defaultFoldersSet,
                                      std::string_view executablePath,
                                      std::string_view systemFolder) {
    if (defaultFoldersSet) {
        return {std::string(name)};
    }
    std::vector<std::string> paths;
    for (const std::string& folder : {RemoveFileSpec(executablePath), std::string(systemFolder)}) {
        // "C:" alone would be the drive's current folder, which is no place of ours.
        if (folder.empty() || folder.back() == ':') {
            continue;
        }
        paths.push_back(folder.back() == '\\' ? folder + std::string(name)
                                              : folder + "\\" + std::string(name));
    }
    return paths;
}

} // namespace sarnok
