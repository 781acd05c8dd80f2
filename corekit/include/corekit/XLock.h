#pragma once

#include <mutex>

// A non-recursive lock embedded by value in the objects it guards.
// Any thread may call lock/unlock; never lock the same XLock twice on one thread.
class XLock {
public:
    XLock() = default;
    virtual ~XLock() = default;
    XLock(const XLock&) = delete;
    XLock& operator=(const XLock&) = delete;

    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    bool try_lock() { return m_mutex.try_lock(); }

private:
    std::mutex m_mutex;
};

// Scope guard for XLock (std::lock_guard works as well; this keeps call sites short).
class XLockGuard {
public:
    explicit XLockGuard(XLock& lock) : m_lock(lock) { m_lock.lock(); }
    ~XLockGuard() { m_lock.unlock(); }
    XLockGuard(const XLockGuard&) = delete;
    XLockGuard& operator=(const XLockGuard&) = delete;

private:
    XLock& m_lock;
};
