// sarnok-check / SarnokCheck.exe: checks a firmware folder before it goes out.
//   sarnok-check [FOLDER]                                 every problem a workstation would meet
//   sarnok-check [FOLDER] --printer MODEL MAJOR.MINOR [--wow64]   what the dialog would decide
//   sarnok-check [FOLDER] --sums                          the checksum lines for each section
// Exit status: 0 nothing found, 1 problems found, 2 usage error or unreadable catalogue.
#include "PackageCheck.h"

#if defined(_WIN32)
#include "Win32Digest.h"
#include "Win32PackageFiles.h"
#include "Win32ProfileReader.h"
#else
#include "OpenSslDigest.h"
#include "PosixPackageFiles.h"
#include "catalogue/IniFile.h"
#endif

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kNothingFound = 0;
constexpr int kProblemsFound = 1;
constexpr int kUsageError = 2;

#if defined(_WIN32)
constexpr const char* kProgram = "SarnokCheck";
#else
constexpr const char* kProgram = "sarnok-check";
#endif

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: %s [FOLDER]\n"
                 "       %s [FOLDER] --printer MODEL MAJOR.MINOR [--wow64]\n"
                 "       %s [FOLDER] --sums\n"
                 "Checks FOLDER (default: the current folder), which holds firmwareInfo.ini and\n"
                 "the firmware files, as a workstation would read it.\n"
                 "  --printer  what the program would decide for such a printer\n"
                 "  --wow64    the program runs as a 32-bit program on 64-bit Windows\n"
                 "  --sums     the Sha256 and IntermediateSha256 lines to add to each section\n"
                 "Exit status: 0 nothing found, 1 problems found, 2 usage error or a catalogue\n"
                 "that cannot be read. Nothing is ever written.\n",
                 kProgram, kProgram, kProgram);
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    PrintUsage(stderr);
    return kUsageError;
}

// The program's paths use backslashes; shown to a Linux user they use slashes.
std::string Shown(std::string path) {
#if !defined(_WIN32)
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
#endif
    return path;
}

bool ParseNumber(std::string_view text, std::int32_t* value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string folder = ".";
    bool haveFolder = false;
    bool sums = false;
    bool printer = false;
    bool wow64 = false;
    std::string model;
    std::int32_t major = 0;
    std::int32_t minor = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            PrintUsage(stdout);
            return kNothingFound;
        }
        if (arg == "--sums") {
            sums = true;
        } else if (arg == "--wow64") {
            wow64 = true;
        } else if (arg == "--printer") {
            if (i + 2 >= args.size()) {
                return UsageError("--printer needs a model name and a version MAJOR.MINOR");
            }
            model = args[++i];
            const std::string version = args[++i];
            const std::size_t point = version.find('.');
            if (point == std::string::npos ||
                !ParseNumber(std::string_view(version).substr(0, point), &major) ||
                !ParseNumber(std::string_view(version).substr(point + 1), &minor)) {
                return UsageError("the version \"" + version + "\" is not MAJOR.MINOR");
            }
            printer = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else if (haveFolder) {
            return UsageError("only one folder can be checked at a time");
        } else {
            folder = arg;
            haveFolder = true;
        }
    }
    if (printer && sums) {
        return UsageError("--printer and --sums cannot be used together");
    }
    if (wow64 && !printer) {
        return UsageError("--wow64 goes with --printer");
    }

#if defined(_WIN32)
    sarnok::win32::CWin32ProfileReader profile;
    sarnok::win32::CWin32PackageFiles files;
    sarnok::win32::CWin32Digest digest;
#else
    sarnok::CIniFile profile;
    sarnok::posix::CPosixPackageFiles files;
    sarnok::posix::COpenSslDigest digest;
#endif
    const std::optional<std::string> fullFolder = files.FullFolderPath(folder);
    if (!fullFolder) {
        std::fprintf(stderr, "%s: \"%s\" is not a folder\n", kProgram, folder.c_str());
        return kUsageError;
    }
    sarnok::check::CPackageCheck check({profile, files, digest}, *fullFolder);
    if (!check.Load()) {
        std::fprintf(stderr, "%s: cannot read %s\n", kProgram,
                     Shown(check.CataloguePath()).c_str());
        return kUsageError;
    }

    if (printer) {
        std::printf("%s\n", check.Decide(model, major, minor, wow64).c_str());
        return kNothingFound;
    }
    if (sums) {
        std::vector<sarnok::check::CFinding> problems;
        for (const std::string& line : check.Sums(&problems)) {
            std::printf("%s\n", line.c_str());
        }
        for (const auto& problem : problems) {
            std::fprintf(stderr, "%s\n", sarnok::check::FormatFinding(problem).c_str());
        }
        return problems.empty() ? kNothingFound : kProblemsFound;
    }

    const std::vector<sarnok::check::CFinding> findings = check.Check();
    for (const auto& finding : findings) {
        std::printf("%s\n", sarnok::check::FormatFinding(finding).c_str());
    }
    if (findings.empty()) {
        std::printf("%s: no problems found\n", Shown(check.CataloguePath()).c_str());
        return kNothingFound;
    }
    std::printf("%s: %zu problem%s found\n", Shown(check.CataloguePath()).c_str(), findings.size(),
                findings.size() == 1 ? "" : "s");
    return kProblemsFound;
}
