#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "capengine/XLedger.h"
#include "history/Database.h"
#include "history/Recorder.h"
#include "history/Tier.h"
#include "history/Timeline.h"

namespace historytest {

// A folder of its own for one test, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Clocks a test sets: wall and steady move together unless the test jumps the wall clock.
class FakeClock : public history::RecorderClock {
public:
    explicit FakeClock(int64_t wallSeconds) : m_wall(wallSeconds * 1000), m_steady(1000000) {}
    history::ClockReading now() override
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        return {m_wall, m_steady};
    }
    void advance(int64_t seconds)
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_wall += seconds * 1000;
        m_steady += seconds * 1000;
    }
    // Moves both clocks on to wall time t (seconds).
    void set(int64_t t)
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_steady += t * 1000 - m_wall;
        m_wall = t * 1000;
    }
    void jumpWall(int64_t seconds)
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_wall += seconds * 1000;
    }
    int64_t wallSeconds()
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        return m_wall / 1000;
    }

private:
    std::mutex m_mutex;
    int64_t m_wall, m_steady;
};

// 2025-03-31 23:30:00 UTC: an hour, a day and a month end within the next 30 minutes.
constexpr int64_t kMonthEnd = 1743463800;

XLedgerRow row(const std::string& program, uint32_t address, uint64_t received, uint64_t sent,
               uint8_t protocol = 6, uint16_t port = 443, const std::string& dns = {});
XLedger ledger(std::vector<XLedgerRow> rows, std::vector<XLedgerDisk> disk = {});

// Options for a recorder of a test: a file in dir, the test's clock, flushes only when asked.
history::RecorderOptions options(const TempDir& dir, FakeClock& clock);

// Writes a small history into path at wall time at (seconds): firefox with two hosts
// (10.0.0.1, 10.0.0.2), curl with one (10.0.0.2), ssh with one (10.0.0.3). False when the
// recorder could not write it.
bool recordThreePrograms(const std::string& path, int64_t at);

// Sums of a usage table's columns (received, sent, disk_read) and its row count.
struct TierSum {
    int64_t received = 0, sent = 0, diskRead = 0, rows = 0;
};
TierSum tierSum(const std::string& path, history::Tier tier, int64_t from = INT64_MIN, int64_t to = INT64_MAX);
std::string integrityCheck(const std::string& path);

} // namespace historytest
