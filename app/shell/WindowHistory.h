#pragma once

#include <QTimer>

#include <memory>

class XEngine;
class HistoryRecording;

namespace orvane {

// The window's recording of lasting history: the engine's counts handed to the recorder once
// a second from the GUI thread (a merge in memory; the database is written on the recorder's
// own thread). user.ini says where ("history_file", empty: the usual place) and whether at all
// ("history_off" = 1). When another program records into the same file, this one leaves its
// counts out and says so in its log. GUI thread only.
class WindowHistory {
public:
    static constexpr const char* kFileKey = "history_file";
    static constexpr const char* kOffKey = "history_off";

    WindowHistory();
    ~WindowHistory();  // stop() must have run: it needs the engine
    WindowHistory(const WindowHistory&) = delete;
    WindowHistory& operator=(const WindowHistory&) = delete;

    // After engine.start(). engine must outlive stop().
    void start(XEngine& engine);
    // After engine.stop(): takes the engine's last counts, writes everything and waits for it.
    void stop();

    bool recording() const;

private:
    XEngine* m_engine = nullptr;
    std::unique_ptr<HistoryRecording> m_recording;
    QTimer m_feed;
};

} // namespace orvane
