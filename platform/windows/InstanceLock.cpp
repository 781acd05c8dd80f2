// The single-instance lock as a named mutex: its existence is the lock, and the system removes
// it when the last handle closes, however the holder ended.
#include "platform/InstanceLock.h"

#include <windows.h>

#include <cstdint>

#include "platform/windows/WideText.h"

namespace platform {

namespace {

// A kernel object name: "Local\<name>" (this logon session) as given, or one made from a file
// path, whose backslashes a name may not hold.
std::wstring mutexName(const std::string& path)
{
    if (path.rfind("Local\\", 0) == 0 || path.rfind("Global\\", 0) == 0)
        return wideFromUtf8(path);
    std::wstring tail = wideFromUtf8(path);
    for (wchar_t& c : tail)
        if (c == L'\\')
            c = L'/';
    std::wstring name = L"Local\\lumivex-lock-" + tail;
    if (name.size() > MAX_PATH)
        name.resize(MAX_PATH);
    return name;
}

// Handles fit in 32 bits on 64-bit Windows (the system keeps them so for 32-bit processes),
// so the handle is kept in the descriptor field.
HANDLE handleOf(int value)
{
    return reinterpret_cast<HANDLE>(intptr_t(value));
}

} // namespace

InstanceLock::~InstanceLock()
{
    release();
}

InstanceLock::Result InstanceLock::acquire(const std::string& path, std::string* error)
{
    release();
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName(path).c_str());
    const DWORD rc = ::GetLastError();
    if (!mutex) {
        if (rc == ERROR_ACCESS_DENIED)
            return Result::HeldElsewhere;  // made by another user's copy
        if (error)
            *error = path + ": " + systemErrorText(rc);
        return Result::Unavailable;
    }
    if (rc == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return Result::HeldElsewhere;
    }
    m_fd = int(reinterpret_cast<intptr_t>(mutex));
    return Result::Acquired;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::CloseHandle(handleOf(m_fd));
        m_fd = -1;
    }
}

std::string instanceLockPath(const std::string& name, std::string*)
{
    // A kernel object name of this logon session.
    return "Local\\" + name;
}

} // namespace platform
