#pragma once

#include "core/history/HistoryControl.h"

#include <QTimer>

#include <memory>

class XEngine;
class HistoryRecording;

namespace orvane {

// The window's recording of lasting history: the engine's counts handed to the recorder once
// a second from the GUI thread (a merge in memory; the database is written on the recorder's
// own thread). user.ini says where, whether at all, how long and how many hosts
// (HistorySettings). When another program records into the same file, this one leaves its
// counts out and says so in its log. GUI thread only (but for the flusher's function).
class WindowHistory : public HistoryControl {
public:
    WindowHistory();
    ~WindowHistory() override;  // stop() must have run: it needs the engine
    WindowHistory(const WindowHistory&) = delete;
    WindowHistory& operator=(const WindowHistory&) = delete;

    // After engine.start(). engine must outlive stop(). With recording off, nothing starts
    // until setRecordingOn(true).
    void start(XEngine& engine);
    // After engine.stop(): takes the engine's last counts, writes everything and waits for it.
    void stop();

    bool recording() const;

    // HistoryControl
    State state() const override;
    void setRecordingOn(bool on) override;
    bool hasRecorder() const override { return recording(); }
    bool forgetProgram(const std::string& name, const std::string& path, Done done) override;
    bool forgetHost(uint32_t address, Done done) override;
    bool clearAll(Done done) override;
    Flusher flusher() override;

private:
    bool startRecording();

    XEngine* m_engine = nullptr;
    std::unique_ptr<HistoryRecording> m_recording;
    QTimer m_feed;
    bool m_on = false;
};

} // namespace orvane
