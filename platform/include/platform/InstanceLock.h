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
    // could not be opened or locked for another reason (see error).
    Result acquire(const std::string& path, std::string* error = nullptr);
    void release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The lock file for a program identifier: $XDG_RUNTIME_DIR/<name>.lock (a per-user folder),
// else <temporary folder>/<name>-<uid>.lock.
std::string instanceLockPath(const std::string& name);

} // namespace platform
