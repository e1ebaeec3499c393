#include "PosixPackageFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace sarnok::posix {

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

// The entry of a folder whose name differs from name at most in case; the name itself when it
// exists as written (a folder on Linux may hold names that Windows could not tell apart).
std::string EntryIgnoringCase(const std::string& folder, const std::string& name) {
    struct stat facts {};
    const std::string asWritten = (folder == "/" ? "" : folder) + "/" + name;
    if (name == "." || name == ".." || ::lstat(asWritten.c_str(), &facts) == 0) {
        return name;
    }
    std::string found;
    if (DIR* entries = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(entries)) {
            const std::string candidate = entry->d_name;
            if (SameNameIgnoringCase(candidate, name) && (found.empty() || candidate < found)) {
                found = candidate;
            }
        }
        ::closedir(entries);
    }
    return found.empty() ? name : found;
}

// The program forms Windows paths: a backslash is a folder separator, and Windows finds a file
// whatever the case of its name. So a package checked here gets the answer it gets there.
std::string HostPath(const std::string& path) {
    std::string host = !path.empty() && (path[0] == '/' || path[0] == '\\') ? "/" : "";
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            const std::string folder = host.empty() ? "." : host;
            if (!host.empty() && host.back() != '/') {
                host += '/';
            }
            host += EntryIgnoringCase(folder, path.substr(start, end - start));
        }
        start = end + 1;
    }
    return host;
}

} // namespace

std::optional<std::string> CPosixPackageFiles::FullFolderPath(const std::string& folder) {
    char resolved[PATH_MAX];
    struct stat facts {};
    if (::realpath(HostPath(folder).c_str(), resolved) == nullptr ||
        ::stat(resolved, &facts) != 0 || !S_ISDIR(facts.st_mode)) {
        return std::nullopt;
    }
    std::string path(resolved);
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

CFileFacts CPosixPackageFiles::Inspect(const std::string& path) {
    struct stat facts {};
    if (::stat(HostPath(path).c_str(), &facts) != 0 || !S_ISREG(facts.st_mode)) {
        return {};
    }
    return {true, static_cast<std::uint64_t>(facts.st_size)};
}

bool CPosixPackageFiles::DigestFile(const std::string& path, IDigest& digest,
                                    CSha256Digest* result) {
    const int file = ::open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return false;
    }
    struct stat facts {};
    bool done = false;
    if (::fstat(file, &facts) == 0 && S_ISREG(facts.st_mode)) {
        const auto size = static_cast<std::size_t>(facts.st_size);
        if (size == 0) {
            done = digest.Sha256(nullptr, 0, result);
        } else if (void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file, 0);
                   view != MAP_FAILED) {
            done = digest.Sha256(static_cast<const std::uint8_t*>(view), size, result);
            ::munmap(view, size);
        }
    }
    ::close(file);
    return done;
}

} // namespace sarnok::posix
