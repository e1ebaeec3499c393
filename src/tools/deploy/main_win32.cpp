// SarnokDeploy.exe: updates the card printers' firmware without a person at the workstation, for
// Intune, Configuration Manager and scripts. The same core and Win32 adapters as Sarnok.exe; the
// texts come from this program's own copy of the string table.
#include "DeployCommands.h"
#include "Win32Clock.h"
#include "Win32Digest.h"
#include "Win32FirmwareFile.h"
#include "Win32LibraryLoader.h"
#include "Win32ProfileReader.h"
#include "Win32Spooler.h"
#include "Win32StatusLibrary.h"
#include "Win32SystemServices.h"
#include "Win32UpdateLock.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace sarnok;
using namespace sarnok::win32;

constexpr const char* kCatalogueName = "firmwareInfo.ini";
constexpr const char* kLogFolders[] = {"Brelwin", "Logs"};
constexpr const char* kLogName = "SarnokDeploy.log";

std::string LoadResourceString(unsigned id) {
    char buffer[1024];
    const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string AnsiToUtf8(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    const int wide =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), utf16.data(),
                          wide);
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The machine's ProgramData folder from the shell, in the 8-bit code page; empty when unknown.
std::string ProgramDataFolder() {
    PWSTR path = nullptr;
    std::string result;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path))) {
        const int size = ::WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            result.resize(static_cast<std::size_t>(size));
            ::WideCharToMultiByte(CP_ACP, 0, path, -1, result.data(), size, nullptr, nullptr);
            result.resize(static_cast<std::size_t>(size - 1));
        }
    }
    ::CoTaskMemFree(path);
    return result;
}

class CWin32DeployPlatform : public deploy::IDeployPlatform {
public:
    const char* Program() override { return "SarnokDeploy"; }

    deploy::CDeployEnvironment Environment() override {
        return {[this](IMainView& view) {
                    return CPorts{view,    m_spooler, m_statusLibrary, m_loader, m_files,
                                  m_clock, m_system,  m_profile,       &m_digest};
                },
                LoadResourceString, m_clock, AnsiToUtf8};
    }

    bool CatalogueReadable(std::string* path) override {
        std::string executable;
        if (!m_system.GetExecutablePath(&executable)) {
            *path = kCatalogueName;
            return false;
        }
        *path = executable.substr(0, executable.find_last_of("\\/") + 1) + kCatalogueName;
        HANDLE file = ::CreateFileA(path->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        ::CloseHandle(file);
        return true;
    }

    bool AcquireUpdateLock() override {
        // A mutex that cannot be made at all does not stop an update, as it does not stop the
        // dialog: only one that another program holds does.
        return m_lock.Acquire() != CUpdateLock::EResult::Taken;
    }

    std::FILE* OpenLog(const std::string& option, std::string* path) override {
        if (!option.empty()) {
            *path = option;
        } else {
            std::string folder = ProgramDataFolder();
            if (folder.empty()) {
                *path = std::string("ProgramData\\") + kLogFolders[0] + "\\" + kLogFolders[1] +
                        "\\" + kLogName;
                return nullptr;
            }
            for (const char* name : kLogFolders) {
                folder += "\\";
                folder += name;
                ::CreateDirectoryA(folder.c_str(), nullptr);
            }
            *path = folder + "\\" + kLogName;
        }
        return std::fopen(path->c_str(), "ab");
    }

    std::string Now() override {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        char text[32];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                      now.wDay, now.wHour, now.wMinute, now.wSecond);
        return text;
    }

private:
    CWin32Spooler m_spooler;
    CWin32StatusLibrary m_statusLibrary;
    CWin32LibraryLoader m_loader;
    CWin32FirmwareFile m_files;
    CWin32Clock m_clock;
    CWin32SystemServices m_system;
    CWin32ProfileReader m_profile;
    CWin32Digest m_digest;
    CUpdateLock m_lock;
};

} // namespace

int main(int argc, char** argv) {
    // As in the dialog: the current folder leaves the library search path before any library
    // is loaded by name.
    ::SetDllDirectoryA("");
    CWin32DeployPlatform platform;
    return deploy::RunDeploy(std::vector<std::string>(argv + 1, argv + argc), platform);
}
