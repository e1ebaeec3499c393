#include "Win32SecureFolders.h"

#include "Win32SystemServices.h"

#include <windows.h>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace sarnok::win32 {

namespace {

// A handle that is the path's last part itself, a junction or link included; folders too.
HANDLE OpenItself(const std::string& path, DWORD access) {
    return ::CreateFileA(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// An SDDL text as a security descriptor, released with LocalFree.
class CDescriptor {
public:
    explicit CDescriptor(const std::string& sddl) {
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                               &m_descriptor, nullptr);
    }
    ~CDescriptor() {
        if (m_descriptor != nullptr) {
            ::LocalFree(m_descriptor);
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    PSECURITY_DESCRIPTOR Get() const { return m_descriptor; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
};

// True when sid is the account this process runs as.
bool IsThisAccount(PSID sid) {
    const std::vector<std::uint8_t> user = ProcessTokenUser();
    return !user.empty() &&
           ::EqualSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, sid) != FALSE;
}

// NT SERVICE\TrustedInstaller, which owns what Windows installs.
bool IsTrustedInstaller(PSID sid) {
    PSID trusted = nullptr;
    if (::ConvertStringSidToSidA("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                 &trusted) == FALSE) {
        return false;
    }
    const bool same = ::EqualSid(trusted, sid) != FALSE;
    ::LocalFree(trusted);
    return same;
}

ETrustee TrusteeOf(PSID sid) {
    if (sid == nullptr || ::IsValidSid(sid) == FALSE) {
        return ETrustee::Other;
    }
    if (::IsWellKnownSid(sid, WinLocalSystemSid) != FALSE) {
        return ETrustee::System;
    }
    if (::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) != FALSE) {
        return ETrustee::Administrators;
    }
    if (::IsWellKnownSid(sid, WinBuiltinUsersSid) != FALSE) {
        return ETrustee::Users;
    }
    if (::IsWellKnownSid(sid, WinAuthenticatedUserSid) != FALSE) {
        return ETrustee::AuthenticatedUsers;
    }
    if (::IsWellKnownSid(sid, WinWorldSid) != FALSE) {
        return ETrustee::Everyone;
    }
    if (::IsWellKnownSid(sid, WinInteractiveSid) != FALSE) {
        return ETrustee::Interactive;
    }
    if (IsTrustedInstaller(sid)) {
        return ETrustee::TrustedInstaller;
    }
    return IsThisAccount(sid) ? ETrustee::ThisAccount : ETrustee::Other;
}

// "DOMAIN\name", or the SID's text where the account is unknown.
std::string AccountText(PSID sid) {
    char name[256];
    char domain[256];
    DWORD nameSize = sizeof name;
    DWORD domainSize = sizeof domain;
    SID_NAME_USE use{};
    if (::LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use) != FALSE) {
        return domainSize > 0 ? std::string(domain) + "\\" + name : std::string(name);
    }
    char* text = nullptr;
    if (::ConvertSidToStringSidA(sid, &text) == FALSE) {
        return {};
    }
    std::string sidText(text);
    ::LocalFree(text);
    return sidText;
}

void ReadSecurity(HANDLE object, CPathFacts* facts) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                          &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return;
    }
    if (owner != nullptr) {
        facts->m_owner = TrusteeOf(owner);
        facts->m_ownerName = AccountText(owner);
    }
    facts->m_daclRead = true;
    facts->m_nullDacl = dacl == nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (::GetAce(dacl, i, &ace) == FALSE) {
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_ACE_TYPE) {
            // Both have the same layout: header, mask, then the SID.
            auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            facts->m_dacl.push_back({header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                                     TrusteeOf(reinterpret_cast<PSID>(&entry->SidStart)),
                                     entry->Mask});
        } else {
            // An allow of a kind not read here (an object or callback ACE) counts as anyone's.
            facts->m_dacl.push_back({true, ETrustee::Everyone, 0xffffffffU});
        }
    }
    ::LocalFree(descriptor);
}

// Renames what the handle is, never what a name leads to at the time of the rename.
bool RenameHandle(HANDLE object, const std::string& newPath, bool replace) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, newPath.c_str(), -1, nullptr, 0);
    if (length <= 1) {
        return false;
    }
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) +
                                     static_cast<std::size_t>(length) * sizeof(WCHAR));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    ::MultiByteToWideChar(CP_ACP, 0, newPath.c_str(), -1, info->FileName, length);
    info->FileNameLength = static_cast<DWORD>(length - 1) * sizeof(WCHAR);
    return ::SetFileInformationByHandle(object, FileRenameInfo, info,
                                        static_cast<DWORD>(buffer.size())) != FALSE;
}

} // namespace

bool CWin32SecureFolders::Elevated() {
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) {
        return false;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation,
                                                &size) != FALSE &&
                          elevation.TokenIsElevated != 0;
    ::CloseHandle(token);
    return elevated;
}

CPathFacts CWin32SecureFolders::Inspect(const std::string& path) {
    CPathFacts facts;
    HANDLE object = OpenItself(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (object == INVALID_HANDLE_VALUE) {
        // There but not to be opened: nothing this program can trust.
        facts.m_exists = ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        return facts;
    }
    facts.m_exists = true;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(object, &info) != FALSE) {
        facts.m_directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.m_reparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    ReadSecurity(object, &facts);
    ::CloseHandle(object);
    return facts;
}

bool CWin32SecureFolders::CreateFolder(const std::string& path, const std::string& sddl) {
    const CDescriptor descriptor(sddl);
    if (descriptor.Get() == nullptr) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    return ::CreateDirectoryA(path.c_str(), &attributes) != FALSE;
}

bool CWin32SecureFolders::Protect(const std::string& path, const std::string& sddl) {
    const CDescriptor descriptor(sddl);
    if (descriptor.Get() == nullptr) {
        return false;
    }
    HANDLE object = OpenItself(path, WRITE_DAC | READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (object == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The handle, not the name: what was inspected cannot be swapped for a link in between.
    // SetKernelObjectSecurity sets this object's DACL alone; SetSecurityInfo would also carry
    // its inheritable entries into every file and folder a user may have left inside.
    BY_HANDLE_FILE_INFORMATION info{};
    bool set = ::GetFileInformationByHandle(object, &info) != FALSE &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (set) {
        set = ::SetKernelObjectSecurity(
                  object, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                  descriptor.Get()) != FALSE;
    }
    ::CloseHandle(object);
    return set;
}

bool CWin32SecureFolders::SetAside(const std::string& path, const std::string& newPath) {
    HANDLE object = OpenItself(path, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    if (object == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool renamed = RenameHandle(object, newPath, false);
    ::CloseHandle(object);
    return renamed;
}

std::FILE* CWin32SecureFolders::OpenAppend(const std::string& path, CFileFacts* facts) {
    // DELETE, so that a full log is renamed through this very handle.
    HANDLE file = ::CreateFileA(
        path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file, &info) != FALSE) {
        facts->m_plain = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                         ::GetFileType(file) == FILE_TYPE_DISK;
        facts->m_reparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        facts->m_links = info.nNumberOfLinks;
        facts->m_size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
    CPathFacts security;
    ReadSecurity(file, &security);
    facts->m_owner = security.m_owner;
    const int descriptor =
        ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
    if (descriptor == -1) {
        ::CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = ::_fdopen(descriptor, "ab");
    if (stream == nullptr) {
        ::_close(descriptor);
    }
    return stream;
}

bool CWin32SecureFolders::RenameOpen(std::FILE* file, const std::string& newPath) {
    std::fflush(file);
    const intptr_t handle = ::_get_osfhandle(::_fileno(file));
    return handle != -1 && RenameHandle(reinterpret_cast<HANDLE>(handle), newPath, true);
}

} // namespace sarnok::win32
