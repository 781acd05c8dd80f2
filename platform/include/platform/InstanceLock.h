#pragma once

#include <string>

namespace platform {

// An exclusive, non-blocking lock on a file, held until release() or destruction; the
// operating system drops it when the process ends, however it ends. One holder at a time,
// across processes and within one.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result { Acquired, HeldElsewhere, Unavailable };
    // Creates the file when missing and locks it without waiting. Unavailable: the file
    // could not be opened or locked for another reason, or it is not a regular file of this
    // user's own (see error).
    Result acquire(const std::string& path, std::string* error = nullptr);
    void release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The lock file for a program identifier, in a folder only this user can write to, so that no
// other user can create or hold it first: $XDG_RUNTIME_DIR, else the per-user folder
// lumivex-<uid> in the temporary folder (made when missing), else lumivex in the user's cache
// folder; each used only when it is a real folder owned by this user that nobody else may
// write to. Empty, with the reason in problem, when none is.
std::string instanceLockPath(const std::string& name, std::string* problem = nullptr);

} // namespace platform
