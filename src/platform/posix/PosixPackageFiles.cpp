#include "PosixPackageFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace sarnok::posix {

namespace {

// The program forms Windows paths; here a backslash is the folder separator.
std::string HostPath(std::string path) {
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
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
