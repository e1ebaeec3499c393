#include "Win32UpdateLock.h"

#include <sddl.h>

#include <string>

namespace sarnok::win32 {

namespace {

// SYSTEM and the Administrators group only: nobody else opens the namespace, nor the mutex in
// it.
constexpr const char* kLockSddl = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";

using PFN_CreateBoundaryDescriptorW = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using PFN_AddSIDToBoundaryDescriptor = BOOL(WINAPI*)(HANDLE*, PSID);
using PFN_DeleteBoundaryDescriptor = VOID(WINAPI*)(HANDLE);
using PFN_CreatePrivateNamespaceW = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using PFN_OpenPrivateNamespaceW = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
using PFN_ClosePrivateNamespace = BOOLEAN(WINAPI*)(HANDLE, ULONG);

template <typename Function>
Function Kernel32(const char* name) {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<Function>(
                                   reinterpret_cast<void*>(::GetProcAddress(kernel, name)));
}

std::string Failure(const char* call, DWORD error) {
    return std::string(call) + " failed (error " + std::to_string(error) + ")";
}

// The descriptor of kLockSddl, freed with the object.
class CLockSecurity {
public:
    CLockSecurity() {
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorA(kLockSddl, SDDL_REVISION_1,
                                                                   &m_descriptor, nullptr)) {
            m_attributes.nLength = sizeof m_attributes;
            m_attributes.lpSecurityDescriptor = m_descriptor;
        }
    }
    ~CLockSecurity() {
        if (m_descriptor != nullptr) {
            ::LocalFree(m_descriptor);
        }
    }
    CLockSecurity(const CLockSecurity&) = delete;
    CLockSecurity& operator=(const CLockSecurity&) = delete;
    // Null when the descriptor could not be built: nothing is then made with a weaker one.
    SECURITY_ATTRIBUTES* Attributes() { return m_descriptor != nullptr ? &m_attributes : nullptr; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes{};
};

} // namespace

ENamespaceAnswer CWin32LockObjects::OpenNamespace(std::string* why) {
    if (m_namespace != nullptr) {
        return ENamespaceAnswer::Open;
    }
    const auto createBoundary =
        Kernel32<PFN_CreateBoundaryDescriptorW>("CreateBoundaryDescriptorW");
    const auto addSid = Kernel32<PFN_AddSIDToBoundaryDescriptor>("AddSIDToBoundaryDescriptor");
    const auto deleteBoundary = Kernel32<PFN_DeleteBoundaryDescriptor>("DeleteBoundaryDescriptor");
    const auto createNamespace = Kernel32<PFN_CreatePrivateNamespaceW>("CreatePrivateNamespaceW");
    const auto openNamespace = Kernel32<PFN_OpenPrivateNamespaceW>("OpenPrivateNamespaceW");
    if (createBoundary == nullptr || addSid == nullptr || deleteBoundary == nullptr ||
        createNamespace == nullptr || openNamespace == nullptr ||
        Kernel32<PFN_ClosePrivateNamespace>("ClosePrivateNamespace") == nullptr) {
        *why = "this system has no private namespaces";
        return ENamespaceAnswer::Unsupported;
    }
    HANDLE boundary = createBoundary(kLockNamespace, 0);
    if (boundary == nullptr) {
        // Wine answers so, and its AddSIDToBoundaryDescriptor ends the process: never called
        // without a descriptor.
        *why = Failure("CreateBoundaryDescriptorW", ::GetLastError());
        return ENamespaceAnswer::Unsupported;
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    CLockSecurity security;
    ENamespaceAnswer answer = ENamespaceAnswer::Failed;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize)) {
        *why = Failure("CreateWellKnownSid", ::GetLastError());
    } else if (!addSid(&boundary, administrators)) {
        *why = Failure("AddSIDToBoundaryDescriptor", ::GetLastError());
    } else if (security.Attributes() == nullptr) {
        *why = Failure("ConvertStringSecurityDescriptorToSecurityDescriptorA", ::GetLastError());
    } else {
        HANDLE made = createNamespace(security.Attributes(), boundary, kLockNamespace);
        DWORD error = ::GetLastError();
        const char* call = "CreatePrivateNamespaceW";
        if (made == nullptr && error == ERROR_ALREADY_EXISTS) {
            made = openNamespace(boundary, kLockNamespace);
            error = ::GetLastError();
            call = "OpenPrivateNamespaceW";
        }
        if (made != nullptr) {
            m_namespace = made;
            answer = ENamespaceAnswer::Open;
        } else {
            // Outside the boundary (an unelevated token has Administrators for deny only) or
            // outside the namespace's DACL: not a process that may flash a printer.
            answer =
                error == ERROR_ACCESS_DENIED ? ENamespaceAnswer::Denied : ENamespaceAnswer::Failed;
            *why = Failure(call, error);
        }
    }
    deleteBoundary(boundary);
    return answer;
}

EMutexAnswer CWin32LockObjects::CreateOwnedMutex(bool inNamespace) {
    if (m_mutex != nullptr) {
        return EMutexAnswer::Owned;
    }
    CLockSecurity security;
    if (inNamespace && security.Attributes() == nullptr) {
        return EMutexAnswer::Failed;
    }
    HANDLE mutex = ::CreateMutexA(inNamespace ? security.Attributes() : nullptr, TRUE,
                                  inNamespace ? kNamespacedLockName : kUpdateLockName);
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        // Made by a process of another user with a security that keeps us out, or an object
        // of another kind (an event anyone may create) squatting on the Global\ name: either way
        // the name is not free, and going on unlocked is what the squatter would want.
        return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE ? EMutexAnswer::Exists
                                                                             : EMutexAnswer::Failed;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // Another process made it and holds it; the initial ownership was not granted.
        ::CloseHandle(mutex);
        return EMutexAnswer::Exists;
    }
    m_mutex = mutex;
    return EMutexAnswer::Owned;
}

void CWin32LockObjects::CloseAll() {
    if (m_mutex != nullptr) {
        ::ReleaseMutex(m_mutex);
        ::CloseHandle(m_mutex);
        m_mutex = nullptr;
    }
    if (m_namespace != nullptr) {
        if (const auto close = Kernel32<PFN_ClosePrivateNamespace>("ClosePrivateNamespace")) {
            close(m_namespace, 0);
        }
        m_namespace = nullptr;
    }
}

} // namespace sarnok::win32
