#include "Win32UpdateLock.h"

namespace sarnok::win32 {

CUpdateLock::~CUpdateLock() {
    if (m_hMutex != nullptr) {
        ::ReleaseMutex(m_hMutex);
        ::CloseHandle(m_hMutex);
    }
}

ELockState CUpdateLock::Acquire() {
    if (m_hMutex != nullptr) {
        return EResult::Held;
    }
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, kUpdateLockName);
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        // Made by a process of another user with a security that keeps us out, or an object
        // of another kind (an event anyone may create) squatting on the name: either way the
        // name is not free, and going on unlocked is what the squatter would want.
        return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE ? EResult::Taken
                                                                             : EResult::Unavailable;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // Another process made it and holds it; the initial ownership was not granted.
        ::CloseHandle(mutex);
        return EResult::Taken;
    }
    m_hMutex = mutex;
    return EResult::Held;
}

} // namespace sarnok::win32
