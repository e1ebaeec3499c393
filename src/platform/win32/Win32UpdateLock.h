// One firmware update at a time per workstation: a mutex in a private namespace bounded by the
// Administrators group, held by the dialog for a click and by the deployment console while it
// runs. Where the system cannot make the namespace, the mutex has the Global\ name instead.
#pragma once

#include "app/UpdateLockPath.h"
#include "ports/UpdateLock.h"

#include <windows.h>

namespace sarnok::win32 {

inline constexpr const char* kUpdateLockName = "Global\\Brelwin.CardPrinterFirmwareUpdate";
inline constexpr const wchar_t* kLockNamespace = L"Brelwin";
inline constexpr const char* kNamespacedLockName = "Brelwin\\CardPrinterFirmwareUpdate";

// The namespace and the mutex over kernel32, the namespace calls looked up when they are first
// needed: Windows has had them since Vista, Wine 8 has none that work.
class CWin32LockObjects : public ILockObjects {
public:
    CWin32LockObjects() = default;
    ~CWin32LockObjects() override { CloseAll(); }
    CWin32LockObjects(const CWin32LockObjects&) = delete;
    CWin32LockObjects& operator=(const CWin32LockObjects&) = delete;

    ENamespaceAnswer OpenNamespace(std::string* why) override;
    EMutexAnswer CreateOwnedMutex(bool inNamespace) override;
    void CloseAll() override;

private:
    HANDLE m_namespace = nullptr;
    HANDLE m_mutex = nullptr;
};

class CUpdateLock : public CUpdateLockPath {
public:
    CUpdateLock() : CUpdateLockPath(m_objects) {}
    // Given back while the objects it is made of still exist.
    ~CUpdateLock() override { Release(); }
    CUpdateLock(const CUpdateLock&) = delete;
    CUpdateLock& operator=(const CUpdateLock&) = delete;

    using EResult = ELockState;

private:
    CWin32LockObjects m_objects;
};

} // namespace sarnok::win32
