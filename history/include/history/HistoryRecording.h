#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "history/RecorderStats.h"
#include "history/Tier.h"

class XEngine;

namespace history {
class Recorder;
}

// What a run records into the lasting history, and where.
struct HistoryRecordingSettings {
    std::string path;  // the database; empty: the usual place (history::historyPath())
    bool enabled = true;  // false: nothing is recorded
    // How often what was counted is written (one transaction); a stop always writes.
    std::chrono::milliseconds flushInterval{60000};
    // Location text of a host-order address, kept with each host; may be empty. Called on
    // the recorder's thread.
    std::function<std::string(uint32_t)> location;
    // How long each tier is kept (a coarser one never shorter than a finer one), and the hosts
    // kept by name per program and bucket (the rest folded into "other hosts", bytes kept).
    history::Retention retention;
    int hostsPerProgram = 200;
};

// A front end's recording of lasting history: the engine's ledger handed to a recorder once
// a second, the recorder writing on its own thread. Both front ends record through it:
//
//     HistoryRecording recording;
//     recording.start(engine, settings);     // after engine.start()
//     ... each second: engine.sample(now); recording.feed();
//     engine.stop(); engine.sample(now);     // the last events' counts
//     recording.stop();                      // writes everything, at every kind of stop
//
// Only one process records into a database at a time; another one running meanwhile (the
// window, a second console) leaves its counts out and says so in its log. Threads: every
// call from the thread that drives the engine.
class HistoryRecording {
public:
    HistoryRecording();
    ~HistoryRecording();  // stop()
    HistoryRecording(const HistoryRecording&) = delete;
    HistoryRecording& operator=(const HistoryRecording&) = delete;

    // Starts recording what engine counts and returns at once (the database is opened on the
    // recorder's thread). False, with the reason in why, when nothing is recorded: recording
    // off, or no place for the database. engine must outlive stop().
    bool start(XEngine& engine, const HistoryRecordingSettings& settings, std::string* why = nullptr);
    // After each engine.sample(): hands what it collected to the recorder. Never waits for
    // the disk.
    void feed();
    // Hands over what the engine's last sample() collected, writes everything and ends the
    // recorder's thread, waiting for that last write; logs the recorder's counters. Safe to
    // call twice and without start().
    void stop();

    bool active() const { return m_recorder != nullptr; }
    // The recorder's state and counters; false when not recording.
    bool stats(history::RecorderStats& out) const;
    // Recording off drops what waits and leaves the engine's counts out from now on; on
    // again records from then on.
    void setEnabled(bool enabled);

    // The recorder's privacy calls (history::Recorder::forgetProgram ...): what waits in memory
    // is dropped at once, the database changed on the recorder's thread, done(ok, message)
    // called there. False (done not called) when not recording.
    using Done = std::function<void(bool ok, const std::string& message)>;
    bool forgetProgram(const std::string& name, const std::string& path, Done done);
    bool forgetHost(uint32_t address, Done done);
    bool clearAll(Done done);
    // Has what was counted written and waits up to timeout for it (false when not recording,
    // or not written in time). Unlike the calls above, any thread may make it while
    // recording, e.g. a reader about to query the newest buckets; it does not feed() first.
    bool flushAndWait(std::chrono::milliseconds timeout);

private:
    XEngine* m_engine = nullptr;
    std::unique_ptr<history::Recorder> m_recorder;
};
