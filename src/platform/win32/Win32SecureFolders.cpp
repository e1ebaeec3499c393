#include "Win32SecureFolders.h"

#include "Win32SystemServices.h"

#include <windows.h>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <cstdint>
#include <vector>

namespace sarnok::win32 {

namespace {

// A folder's handle that is the path's last part itself, a junction or link included.
HANDLE OpenFolder(const std::string& path, DWORD access) {
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

} // namespace

CPathFacts CWin32SecureFolders::Inspect(const std::string& path) {
    CPathFacts facts;
    HANDLE folder = OpenFolder(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (folder == INVALID_HANDLE_VALUE) {
        // There but not to be opened: nothing this program can trust.
        facts.m_exists = ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        return facts;
    }
    facts.m_exists = true;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(folder, &info) != FALSE) {
        facts.m_directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.m_reparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
        owner != nullptr) {
        if (::IsWellKnownSid(owner, WinLocalSystemSid) != FALSE) {
            facts.m_owner = EOwner::System;
        } else if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) != FALSE) {
            facts.m_owner = EOwner::Administrators;
        } else if (IsThisAccount(owner)) {
            facts.m_owner = EOwner::ThisAccount;
        }
    }
    if (descriptor != nullptr) {
        ::LocalFree(descriptor);
    }
    ::CloseHandle(folder);
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

bool CWin32SecureFolders::ProtectFolder(const std::string& path, const std::string& sddl) {
    const CDescriptor descriptor(sddl);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (descriptor.Get() == nullptr ||
        ::GetSecurityDescriptorDacl(descriptor.Get(), &present, &dacl, &defaulted) == FALSE ||
        present == FALSE) {
        return false;
    }
    HANDLE folder = OpenFolder(path, WRITE_DAC | READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The handle, not the name: what was inspected cannot be swapped for a link in between.
    BY_HANDLE_FILE_INFORMATION info{};
    bool set = ::GetFileInformationByHandle(folder, &info) != FALSE &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (set) {
        set = ::SetSecurityInfo(folder, SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
    }
    ::CloseHandle(folder);
    return set;
}

std::FILE* CWin32SecureFolders::OpenAppend(const std::string& path, CFileFacts* facts) {
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
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
    }
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

} // namespace sarnok::win32
