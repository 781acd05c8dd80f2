#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/IoEventSource.h"

// An event source that opens (or refuses to) and then waits for stop(); tests feed events
// straight into the trace's callbacks.
class FakeIoEventSource : public platform::IoEventSource {
public:
    explicit FakeIoEventSource(bool opens = true, std::string name = "fake") : m_opens(opens), m_name(std::move(name)) {}
    bool open(std::string* error) override
    {
        if (!m_opens && error)
            *error = "refused";
        return m_opens;
    }
    void run(platform::IoEventSink&) override
    {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_cond.wait(guard, [this] { return m_stopped; });
    }
    void stop() override
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stopped = true;
        m_cond.notify_all();
    }
    platform::IoSourceStats stats() const override { return {}; }
    std::string name() const override { return m_name; }

private:
    bool m_opens;
    std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_stopped = false;
};
