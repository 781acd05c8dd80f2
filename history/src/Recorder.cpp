#include "history/Recorder.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <filesystem>
#include <mutex>

#include "BucketWriter.h"
#include "LocalTime.h"
#include "PendingBuckets.h"
#include "corekit/XLog.h"
#include "corekit/XThread.h"
#include "history/Database.h"
#include "history/HistoryPath.h"
#include "history/Privacy.h"
#include "history/Schema.h"
#include "platform/InstanceLock.h"

namespace history {

namespace {

constexpr int64_t kDayMs = 86400 * 1000;
// A reader looks for the lock this often, so that it takes over soon after the writer ends.
constexpr std::chrono::milliseconds kReaderRetry{10000};

int64_t floorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool isCorruption(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// <file>.corrupt-YYYYMMDD-HHMMSS (local time), numbered when that name is taken.
std::string asideName(const std::string& path)
{
    const std::tm local = localTimeOf(std::time(nullptr));
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = path + ".corrupt-" + stamp;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(name, ec); ++n)
        name = path + ".corrupt-" + stamp + "-" + std::to_string(n);
    return name;
}

} // namespace

const char* roleName(RecorderStats::Role role)
{
    switch (role) {
    case RecorderStats::Role::Starting: return "starting";
    case RecorderStats::Role::Writer: return "recording";
    case RecorderStats::Role::Reader: return "another process records";
    case RecorderStats::Role::Failing: return "cannot write, retrying";
    case RecorderStats::Role::Refused: return "file of a newer version, not recording";
    case RecorderStats::Role::Off: return "off";
    }
    return "";
}

struct Recorder::Impl : public XThread {
    struct Request {
        enum Kind { ForgetProgram, ForgetHost, Clear } kind;
        std::string name, path;
        uint32_t address = 0;
        Done done;
    };

    explicit Impl(RecorderOptions o)
        : options(std::move(o)), clock(options.clock ? *options.clock : systemRecorderClock())
    {
        stats.path = options.path;
    }

    RecorderOptions options;
    RecorderClock& clock;

    // Shared with the callers, under mutex.
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable flushed;
    PendingBuckets pending;
    Timeline timeline;
    RecorderStats stats;
    std::deque<Request> requests;
    std::vector<std::string> notes;  // messages from callers' threads, logged by the thread
    bool stopAsked = false;
    bool flushAsked = false;
    uint64_t flushRequests = 0, flushesDone = 0;
    bool lastFlushOk = false;
    bool enabled = true;
    bool accepting = true;  // false while another process records, or the file is refused

    bool started = false, joined = false;

    // The recorder's thread only.
    Database db;
    std::unique_ptr<BucketWriter> writer;
    platform::InstanceLock lock;
    bool checkAtOpen = true;
    bool walNoted = false;
    bool failing = false;
    bool timeSettled = false;
    int64_t shiftSeconds = 0;
    int64_t capBaseMs = 0, capSteadyMs = 0;

    void message(const std::string& text)
    {
        XLog::debug(1, "history: " + text);
        if (options.onMessage)
            options.onMessage("history: " + text);
    }

    void setRole(RecorderStats::Role role)
    {
        std::lock_guard<std::mutex> lk(mutex);
        stats.role = enabled ? role : RecorderStats::Role::Off;
    }

    void failed(const std::string& why)
    {
        {
            std::lock_guard<std::mutex> lk(mutex);
            ++stats.writeFailures;
            stats.lastError = why;
            if (enabled)
                stats.role = RecorderStats::Role::Failing;
        }
        if (!failing)
            message("cannot write " + options.path + ": " + why +
                    "; the buckets wait in memory and every flush tries again");
        failing = true;
    }

    void closeDatabase()
    {
        writer.reset();
        db.close();
    }

    // The file's layout is newer than this program knows: never written, not even its mode.
    void refuse()
    {
        closeDatabase();
        {
            std::lock_guard<std::mutex> lk(mutex);
            accepting = false;
            pending.clear();
            stats.role = RecorderStats::Role::Refused;
        }
        message(options.path + " was made by a newer version of Lumivex; it is read, not recorded into");
    }

    // Another process holds the lock: this one leaves its traffic out until it gets it.
    void becomeReader()
    {
        bool first;
        {
            std::lock_guard<std::mutex> lk(mutex);
            first = stats.role != RecorderStats::Role::Reader;
            accepting = false;
            pending.clear();
            stats.role = enabled ? RecorderStats::Role::Reader : RecorderStats::Role::Off;
        }
        if (first)
            message(options.path + " is recorded by another Lumivex process (" + lockPathFor(options.path) +
                    " is held); this one leaves its traffic out, so nothing is counted twice, and takes over when that one ends");
    }

    bool moveAside(const std::string& why)
    {
        closeDatabase();
        namespace fs = std::filesystem;
        const std::string aside = asideName(options.path);
        std::error_code ec;
        fs::rename(options.path, aside, ec);
        if (ec) {
            failed("it is damaged (" + why + ") and cannot be moved aside: " + ec.message());
            return false;
        }
        // The log belongs to the damaged file: applied to a new one it would damage that too.
        std::error_code walError;
        if (fs::exists(options.path + "-wal", walError))
            fs::rename(options.path + "-wal", aside + "-wal", walError);
        fs::remove(options.path + "-shm", walError);
        message(options.path + " failed its integrity check (" + why + "); moved aside as " + aside +
                "; a new history starts");
        return true;
    }

    // Opens the file, checks it and brings it to the current layout. False when it cannot
    // be written now. Nothing is written to the file before it has passed its check.
    bool openDatabase()
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::string error;
            if (!db.open(options.path, Database::Mode::ReadWriteCreate, &error, options.vfs)) {
                failed(error);
                return false;
            }
            db.exec("PRAGMA busy_timeout=5000");
            std::string corrupt;
            const auto check = [&](const char* sql) {
                Statement st = db.prepare(sql);
                const int rc = st.step();
                if (rc == SQLITE_ROW)
                    return st.text(0);
                if (isCorruption(db.lastCode()))
                    corrupt = db.lastError();
                else
                    failed(db.lastError());
                return std::string();
            };
            const std::string version = check("PRAGMA user_version");
            if (version.empty() && corrupt.empty()) {
                closeDatabase();
                return false;
            }
            if (corrupt.empty() && std::atoll(version.c_str()) > Schema::kVersion) {
                refuse();
                return false;
            }
            if (corrupt.empty() && checkAtOpen) {
                const std::string verdict = check("PRAGMA quick_check");
                if (verdict.empty() && corrupt.empty()) {
                    closeDatabase();
                    return false;
                }
                if (!verdict.empty() && verdict != "ok")
                    corrupt = verdict;
            }
            if (corrupt.empty() && version == "0" && db.queryInt("SELECT count(*) FROM sqlite_schema", -1) == 0) {
                // A new file: pages large enough for a program's busiest day (200 hosts, a few
                // kilobytes) to stay in one page, where 4 KB pages leave a third of the file
                // empty and spill the rest into overflow pages.
                db.exec("PRAGMA page_size=16384");
            }
            if (corrupt.empty()) {
                // WAL: readers never wait for the writer; FULL: a committed flush survives a
                // power cut.
                const std::string mode = check("PRAGMA journal_mode=WAL");
                if (mode.empty() && corrupt.empty()) {
                    closeDatabase();
                    return false;
                }
                if (!mode.empty() && mode != "wal" && !walNoted) {
                    message(options.path + " cannot use a write-ahead log here (journal mode " + mode + ")");
                    walNoted = true;
                }
            }
            if (corrupt.empty()) {
                db.exec("PRAGMA synchronous=FULL");
                // The log is copied into the file every 4 MB and kept from growing past 8 MB.
                db.exec("PRAGMA wal_autocheckpoint=256");
                db.exec("PRAGMA journal_size_limit=8388608");
                std::string why;
                int code = 0;
                switch (Schema::migrate(db, &why, &code)) {
                case Schema::Outcome::Current:
                case Schema::Outcome::Migrated: checkAtOpen = false; return true;
                case Schema::Outcome::Newer: refuse(); return false;
                case Schema::Outcome::Failed:
                    if (!isCorruption(code)) {
                        failed(why);
                        closeDatabase();
                        return false;
                    }
                    corrupt = why;
                    break;
                }
            }
            if (attempt == 1 || !moveAside(corrupt))
                return false;
        }
        return false;
    }

    // The time rules of a new writer: never write before what the file already holds (a
    // clock set back between two runs), and never let a clock far ahead expire what is kept.
    void settleTime()
    {
        const int64_t until = writer->recordedUntilMs();
        int64_t first;
        {
            std::lock_guard<std::mutex> lk(mutex);
            first = !pending.empty() ? pending.earliestMs() : clock.now().wallMs;
        }
        if (until > first && until - first <= kDayMs) {
            const int64_t behind = (until - first + 999) / 1000;
            shiftSeconds = (behind + kFiveMinutes - 1) / kFiveMinutes * kFiveMinutes;
            message("the clock is " + std::to_string(behind) + " s behind the recorded history; this run records " +
                    std::to_string(shiftSeconds) + " s later than its clock says");
        }
        capBaseMs = until > 0 ? until : first;
        capSteadyMs = clock.now().steadyMs;
        timeSettled = true;
    }

    bool ensureWriter()
    {
        if (writer)
            return true;
        {
            std::lock_guard<std::mutex> lk(mutex);
            if (stats.role == RecorderStats::Role::Refused)
                return false;
        }
        if (options.path.empty()) {
            failed("no place for the history (no HOME, no XDG_DATA_HOME)");
            return false;
        }
        if (!lock.held()) {
            std::string error;
            if (!makeParentFolder(options.path, &error)) {
                failed(error);
                return false;
            }
            const bool wasReader = [&] {
                std::lock_guard<std::mutex> lk(mutex);
                return stats.role == RecorderStats::Role::Reader;
            }();
            switch (lock.acquire(lockPathFor(options.path), &error)) {
            case platform::InstanceLock::Result::HeldElsewhere: becomeReader(); return false;
            case platform::InstanceLock::Result::Unavailable: failed("cannot take the lock: " + error); return false;
            case platform::InstanceLock::Result::Acquired: break;
            }
            if (wasReader) {
                std::lock_guard<std::mutex> lk(mutex);
                accepting = true;
            }
            if (wasReader)
                message("the other process ended; this one records into " + options.path + " from now on");
        }
        if (!openDatabase())
            return false;
        BucketWriter::Settings settings;
        settings.retention = options.retention;
        settings.hostsPerProgram = options.hostsPerProgram;
        settings.location = options.location;
        writer = std::make_unique<BucketWriter>(db, std::move(settings));
        if (!timeSettled)
            settleTime();
        setRole(RecorderStats::Role::Writer);
        return true;
    }

    // Writes what waits. True when nothing of this process's is left unwritten.
    bool flushOnce()
    {
        {
            std::lock_guard<std::mutex> lk(mutex);
            if (!enabled)
                return true;
        }
        if (!ensureWriter()) {
            std::lock_guard<std::mutex> lk(mutex);
            return stats.role == RecorderStats::Role::Reader;
        }
        PendingBuckets batch;
        {
            std::lock_guard<std::mutex> lk(mutex);
            batch = pending.take();
        }
        if (batch.empty())
            return true;
        const int64_t latest = batch.latestMs() + shiftSeconds * 1000;
        const int64_t cap = capBaseMs + std::max<int64_t>(0, clock.now().steadyMs - capSteadyMs) + kDayMs;
        const int64_t retentionNow = floorDiv(std::min(latest, cap), 1000);
        BucketWriter::Outcome outcome;
        std::string error;
        if (writer->write(batch, shiftSeconds, retentionNow, latest, outcome, &error)) {
            {
                std::lock_guard<std::mutex> lk(mutex);
                ++stats.flushes;
                stats.hostsFolded += outcome.hostsFolded;
                stats.rowsRepaired += outcome.rowsRepaired;
                stats.lastError.clear();
                if (enabled)
                    stats.role = RecorderStats::Role::Writer;
            }
            if (failing)
                message("writing " + options.path + " again");
            failing = false;
            return true;
        }
        const int code = outcome.errorCode;
        {
            std::lock_guard<std::mutex> lk(mutex);
            pending.putBack(std::move(batch));
            squeeze();
        }
        failed(error);
        // Reopened at the next flush; checked again first when the file itself is at fault.
        if (isCorruption(code))
            checkAtOpen = true;
        closeDatabase();
        return false;
    }

    // Under mutex.
    void squeeze()
    {
        const PendingBuckets::Squeeze s = pending.bound(options.maxPendingEntries);
        stats.bucketsCoarsened += s.coarsened;
        stats.bucketsDropped += s.dropped;
        stats.bytesDropped += s.bytesDropped;
        stats.pendingEntries = pending.entries();
        stats.pendingBuckets = pending.bucketCount();
    }

    void handle(Request& request)
    {
        std::error_code ec;
        if (!std::filesystem::exists(options.path, ec)) {
            if (request.done)
                request.done(true, "nothing recorded yet");
            return;
        }
        Database own;
        Database* target = writer ? &db : &own;
        std::string text;
        bool ok = writer || openForChanges(own, options.path, &text, options.vfs);
        if (ok) {
            switch (request.kind) {
            case Request::ForgetProgram: ok = history::forgetProgram(*target, request.name, request.path, &text); break;
            case Request::ForgetHost: ok = history::forgetHost(*target, request.address, &text); break;
            case Request::Clear: ok = history::clearHistory(*target, &text); break;
            }
        }
        if (writer)
            writer->forgetIds();
        message(text);
        if (request.done)
            request.done(ok, text);
    }

    void run() override
    {
        // Opened, checked and locked at once, so that the role is known (and logged) from
        // the start; a failure is retried at every flush.
        ensureWriter();
        const auto interval = [&] {
            std::lock_guard<std::mutex> guard(mutex);
            return stats.role == RecorderStats::Role::Reader ? std::min(options.flushInterval, kReaderRetry)
                                                              : options.flushInterval;
        };
        auto nextFlush = std::chrono::steady_clock::now() + interval();
        for (;;) {
            std::unique_lock<std::mutex> lk(mutex);
            wake.wait_until(lk, nextFlush, [&] { return stopAsked || flushAsked || !requests.empty() || !notes.empty(); });
            const bool stopping = stopAsked;
            const bool asked = flushAsked;
            flushAsked = false;
            const uint64_t target = flushRequests;
            std::deque<Request> todo;
            todo.swap(requests);
            std::vector<std::string> said;
            said.swap(notes);
            lk.unlock();

            for (const std::string& note : said)
                message(note);
            for (Request& request : todo)
                handle(request);
            const auto now = std::chrono::steady_clock::now();
            if (stopping || asked || now >= nextFlush) {
                const bool ok = flushOnce();
                {
                    std::lock_guard<std::mutex> guard(mutex);
                    flushesDone = std::max(flushesDone, target);
                    lastFlushOk = ok;
                    stats.pendingEntries = pending.entries();
                    stats.pendingBuckets = pending.bucketCount();
                }
                flushed.notify_all();
                nextFlush = std::chrono::steady_clock::now() + interval();
            }
            if (stopping)
                break;
        }
        lost();
        closeDatabase();
        lock.release();
    }

    // At the end: what could not be written is gone, and said so.
    void lost()
    {
        uint64_t buckets, bytes;
        {
            std::lock_guard<std::mutex> lk(mutex);
            buckets = pending.bucketCount();
            bytes = pending.networkBytes();
            stats.bucketsDropped += buckets;
            stats.bytesDropped += bytes;
            pending.clear();
        }
        if (buckets)
            message(std::to_string(buckets) + " buckets (" + std::to_string(bytes) + " bytes) could not be written to " +
                    options.path + " and are lost");
    }
};

Recorder::Recorder(RecorderOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

Recorder::~Recorder()
{
    stop();
}

void Recorder::start()
{
    {
        std::lock_guard<std::mutex> lk(m_impl->mutex);
        if (m_impl->started)
            return;
        m_impl->started = true;
    }
    m_impl->XThread::start();
}

void Recorder::stop()
{
    {
        std::lock_guard<std::mutex> lk(m_impl->mutex);
        if (!m_impl->started || m_impl->stopAsked)
            return;
        m_impl->stopAsked = true;
    }
    m_impl->wake.notify_all();
    m_impl->join();
    std::lock_guard<std::mutex> lk(m_impl->mutex);
    m_impl->joined = true;
}

void Recorder::add(const XLedger& ledger)
{
    Impl& d = *m_impl;
    const ClockReading reading = d.clock.now();
    std::lock_guard<std::mutex> lk(d.mutex);
    const int64_t placed = d.timeline.place(reading);
    if (d.timeline.jumped()) {
        ++d.stats.clockJumps;
        const int64_t jump = d.timeline.lastJumpMs() / 1000;
        d.notes.push_back(jump < 0 ? "the wall clock went back " + std::to_string(-jump) +
                                         " s; recording goes on from where it was, on the steady clock"
                                   : "the wall clock jumped " + std::to_string(jump) +
                                         " s ahead; recording follows it");
        d.wake.notify_one();
    }
    if (!d.enabled || !d.accepting) {
        ++d.stats.ledgersIgnored;
        return;
    }
    ++d.stats.ledgers;
    const int64_t bucket = bucketStart(Tier::FiveMinutes, floorDiv(placed, 1000));
    d.stats.hostsFolded += uint64_t(d.pending.add(bucket, placed, ledger, d.options.hostsPerProgram));
    d.squeeze();
}

void Recorder::setEnabled(bool enabled)
{
    std::lock_guard<std::mutex> lk(m_impl->mutex);
    m_impl->enabled = enabled;
    if (!enabled) {
        m_impl->pending.clear();
        m_impl->stats.role = RecorderStats::Role::Off;
        m_impl->stats.pendingEntries = m_impl->stats.pendingBuckets = 0;
    } else if (m_impl->stats.role == RecorderStats::Role::Off) {
        m_impl->stats.role = RecorderStats::Role::Starting;
    }
}

void Recorder::forgetProgram(const std::string& name, const std::string& path, Done done)
{
    std::lock_guard<std::mutex> lk(m_impl->mutex);
    m_impl->pending.forgetProgram(name, path);
    Impl::Request r{Impl::Request::ForgetProgram, name, path, 0, std::move(done)};
    m_impl->requests.push_back(std::move(r));
    m_impl->wake.notify_one();
}

void Recorder::forgetHost(uint32_t address, Done done)
{
    std::lock_guard<std::mutex> lk(m_impl->mutex);
    m_impl->pending.forgetHost(address);
    Impl::Request r{Impl::Request::ForgetHost, {}, {}, address, std::move(done)};
    m_impl->requests.push_back(std::move(r));
    m_impl->wake.notify_one();
}

void Recorder::clearAll(Done done)
{
    std::lock_guard<std::mutex> lk(m_impl->mutex);
    m_impl->pending.clear();
    Impl::Request r{Impl::Request::Clear, {}, {}, 0, std::move(done)};
    m_impl->requests.push_back(std::move(r));
    m_impl->wake.notify_one();
}

bool Recorder::flushAndWait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lk(m_impl->mutex);
    if (!m_impl->started || m_impl->stopAsked)
        return false;
    const uint64_t target = ++m_impl->flushRequests;
    m_impl->flushAsked = true;
    m_impl->wake.notify_one();
    const bool done = m_impl->flushed.wait_for(lk, timeout, [&] { return m_impl->flushesDone >= target; });
    return done && m_impl->lastFlushOk;
}

RecorderStats Recorder::stats() const
{
    std::lock_guard<std::mutex> lk(m_impl->mutex);
    return m_impl->stats;
}

} // namespace history
