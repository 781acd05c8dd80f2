#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "capengine/XLedger.h"
#include "history/RecorderStats.h"
#include "history/Tier.h"
#include "history/Timeline.h"

namespace history {

struct RecorderOptions {
    // The database file (historyPath() finds the usual one). Its folder is made when missing.
    std::string path;
    // How often what was fed is written, in one transaction. At most this much is lost when
    // the process is killed; a stop writes everything.
    std::chrono::milliseconds flushInterval{60000};
    Retention retention;
    // Per program and bucket, the hosts kept by name; the rest are folded into one
    // "other hosts" row that keeps their bytes.
    int hostsPerProgram = 200;
    // Host rows kept in memory while the database cannot be written. Beyond it the oldest
    // buckets' hosts are folded (bytes kept), then the oldest buckets dropped (counted).
    size_t maxPendingEntries = 100000;
    // Location text of a host-order address, stored with each host; may be empty. Called on
    // the recorder's thread.
    std::function<std::string(uint32_t)> location;
    // Every message the recorder logs (corekit's XLog gets them too), on the recorder's
    // thread: a front end may show them to its user.
    std::function<void(const std::string&)> onMessage;
    // Tests: the clocks, and a SQLite VFS to open the database through.
    RecorderClock* clock = nullptr;
    const char* vfs = nullptr;
};

// Writes what the engine counted per program and host into the history database: 5-minute
// buckets, from which each hour, day and month (UTC) is built once it has ended, each tier
// kept as long as options.retention says.
//
// Use: construct, start(), add() every engine tick with XEngine::takeLedger()'s deltas,
// stop() at exit (or let the destructor do it). Nothing the caller does waits for the disk:
// opening, checking, writing and retrying all happen on the recorder's own thread.
//
// One writer per database: the first process to take the lock beside it (lockPathFor())
// records; another one finds it held, logs so, leaves its own deltas out (so nothing is
// counted twice) and takes over when the lock comes free. A file that fails its check at
// open is moved aside as <file>.corrupt-YYYYMMDD-HHMMSS and a new one started. While the
// file cannot be written (disk full, read-only folder), buckets wait in memory, bounded,
// and every flush retries.
//
// Threads: start(), stop() and the destructor belong to the owning thread; add(), the
// privacy calls, flush requests and stats() may be called from any thread (add() from one at
// a time). Callbacks run on the recorder's thread.
class Recorder {
public:
    explicit Recorder(RecorderOptions options);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Starts the recorder's thread and returns at once. Once per object.
    void start();
    // Writes what is waiting and joins the thread. Waits for that last write; safe to call
    // twice and without start().
    void stop();

    // Adds one hand-out of the engine. Takes a lock for as long as the merge into memory
    // takes, never the disk's time.
    void add(const XLedger& ledger);

    // Recording off drops what waits and leaves deltas out from now on; on again records
    // from then on.
    void setEnabled(bool enabled);

    // Privacy. Each drops the matching deltas still in memory at once, then removes every
    // trace from the database (all tiers, the names, and the freed pages overwritten) on the
    // recorder's thread, whether or not this process is the writer; done(ok, message) follows.
    // An empty path forgets every program of that name.
    using Done = std::function<void(bool ok, const std::string& message)>;
    void forgetProgram(const std::string& name, const std::string& path, Done done = {});
    void forgetHost(uint32_t address, Done done = {});
    void clearAll(Done done = {});

    // Asks for a write now and waits up to timeout for it; true when everything fed before
    // the call is in the database (tests, and a front end that wants its data on disk).
    bool flushAndWait(std::chrono::milliseconds timeout);

    RecorderStats stats() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace history
