#pragma once

#include <thread>

// Base class for the engine's long-lived threads. start() runs the virtual run() once on a
// new thread; the derived class ends run() on its own stop flag. join() waits for the thread
// and must be called (by the owner, from another thread) before the object is destroyed.
class XThread {
public:
    XThread() = default;
    virtual ~XThread();
    XThread(const XThread&) = delete;
    XThread& operator=(const XThread&) = delete;

    // Starts the thread; a second call while one is running does nothing. Returns at once.
    void start();
    // Waits for run() to return. Safe to call when never started or already joined.
    void join();
    bool isStarted() const { return m_thread.joinable(); }

protected:
    virtual void run() = 0;

private:
    std::thread m_thread;
};
