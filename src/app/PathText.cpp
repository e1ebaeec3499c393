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

} // namespace sarnok
