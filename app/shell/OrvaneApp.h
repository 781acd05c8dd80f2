#pragma once

#include "shell/AutostartEntry.h"
#include "shell/Notices.h"

#include "platform/InstanceLock.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;
class XEngine;

namespace orvane {

class InstanceChannel;
class WindowHistory;
class MainFrame;
class TrafficModel;

// What the program takes from its surroundings; tests replace parts of it.
struct ShellOptions {
    QStringList arguments;                  // the command line, program name first
    std::string lockPath;                   // empty: the per-user lock file
    AutostartEntry autostart;               // the login entry
    std::function<bool()> trayAvailable;    // empty: ask the desktop
    std::function<bool()> privileged;       // empty: ask the system
    Notices* notices = nullptr;             // null: message boxes
    std::chrono::steady_clock::time_point startedAt = std::chrono::steady_clock::now();
};

// The program: start-up checks, the engine, the stores, the traffic model and the windows,
// made in a fixed order and torn down in the reverse one (shutdown()).
class OrvaneApp {
public:
    static constexpr const char* kInstanceId = "{A7C3B9QX-KTLM-4816-2093-0B6E41D07F58}";

    // engine: the engine to show (tests); null: the system's engine, started and stopped here.
    explicit OrvaneApp(ShellOptions options, XEngine* engine = nullptr);
    ~OrvaneApp();
    OrvaneApp(const OrvaneApp&) = delete;
    OrvaneApp& operator=(const OrvaneApp&) = delete;

    // Runs start-up. False when this copy must end at once because another one runs (which
    // is asked to show its window); the engine is then never touched.
    bool start();
    // Windows, engine (every thread joined), model, configuration store (user.ini written),
    // data-file store, lock: in this order. Runs once; nothing for a refused copy.
    void shutdown();

    static bool wantsHiddenStart(const QStringList& arguments);

    MainFrame* frame() const { return m_frame.get(); }
    TrafficModel* model() const { return m_model.get(); }
    XEngine* engine() const { return m_engine; }
    bool privileged() const { return m_privileged; }
    bool refused() const { return m_refused; }

private:
    void wireEngine();
    void watchTerminationSignals();
    void reportFirstFrame();
    void reportUnusableDataFiles();

    ShellOptions m_options;
    MessageBoxNotices m_messageBoxes;
    Notices* m_notices;
    platform::InstanceLock m_lock;
    std::unique_ptr<XEngine> m_ownEngine;
    XEngine* m_engine;
    std::unique_ptr<TrafficModel> m_model;
    std::unique_ptr<MainFrame> m_frame;
    std::unique_ptr<QSocketNotifier> m_signals;
    std::unique_ptr<InstanceChannel> m_channel;
    std::unique_ptr<WindowHistory> m_history;  // only with an engine of its own
    std::string m_lockPath;
    bool m_privileged = true;
    bool m_refused = false;
    bool m_shutDown = false;
};

} // namespace orvane
