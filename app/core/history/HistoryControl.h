#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace orvane {

// What the window's own recording of history offers the history page and the program menu.
// GUI thread, except the functions flusher() hands out.
class HistoryControl {
public:
    enum class State {
        Recording,     // this window writes
        OtherRecords,  // another program holds the database: this one leaves its counts out
        Off,           // the user turned recording off
        Failing,       // cannot write now (full disk, read-only folder, newer file); retrying
        Starting,      // not opened yet
    };

    virtual ~HistoryControl() = default;

    virtual State state() const = 0;
    // The recording switch, at once: on starts (or resumes) recording, off stops taking the
    // engine's counts and drops what waits.
    virtual void setRecordingOn(bool on) = 0;
    // A recorder of this window is there to take the privacy calls below.
    virtual bool hasRecorder() const = 0;

    // Privacy, through the recorder: what waits in memory goes at once, the database is changed
    // on the recorder's thread, which calls done(ok, message) (on that thread). False (done not
    // called) without a recorder.
    using Done = std::function<void(bool ok, const std::string& message)>;
    virtual bool forgetProgram(const std::string& name, const std::string& path, Done done) = 0;
    virtual bool forgetHost(uint32_t address, Done done) = 0;
    virtual bool clearAll(Done done) = 0;

    // A function that has what was counted written, waiting up to its argument, callable from
    // any thread while this control lives; empty when nothing is recorded here.
    using Flusher = std::function<bool(std::chrono::milliseconds)>;
    virtual Flusher flusher() = 0;
};

} // namespace orvane
