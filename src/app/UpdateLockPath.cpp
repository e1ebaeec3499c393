#include "app/UpdateLockPath.h"

namespace sarnok {

ELockState CUpdateLockPath::Acquire() {
    if (m_held) {
        return ELockState::Held;
    }
    m_fallbackReason.clear();
    std::string why;
    bool inNamespace = false;
    switch (m_objects.OpenNamespace(&why)) {
    case ENamespaceAnswer::Open:
        inNamespace = true;
        break;
    case ENamespaceAnswer::Denied:
        // The Global\ name would let any user stop this process; it goes on unlocked.
        m_objects.CloseAll();
        return ELockState::Unavailable;
    case ENamespaceAnswer::Unsupported:
    case ENamespaceAnswer::Failed:
        m_fallbackReason = why.empty() ? "the private namespace could not be made" : why;
        break;
    }
    switch (m_objects.CreateOwnedMutex(inNamespace)) {
    case EMutexAnswer::Owned:
        m_held = true;
        return ELockState::Held;
    case EMutexAnswer::Exists:
        m_objects.CloseAll();
        return ELockState::Taken;
    case EMutexAnswer::Failed:
        break;
    }
    m_objects.CloseAll();
    return ELockState::Unavailable;
}

void CUpdateLockPath::Release() {
    if (m_held) {
        m_objects.CloseAll();
        m_held = false;
    }
}

} // namespace sarnok
