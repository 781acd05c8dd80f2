#include "HistoryTestSupport.h"

#include <sqlite3.h>
#include <unistd.h>

#include <random>

#include "history/Schema.h"

namespace historytest {

TempDir::TempDir()
{
    std::random_device rd;
    m_path = std::filesystem::temp_directory_path() /
             ("lvx-history-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

XLedgerRow row(const std::string& program, uint32_t address, uint64_t received, uint64_t sent, uint8_t protocol,
               uint16_t port, const std::string& dns)
{
    XLedgerRow r;
    r.program = program;
    r.path = "/usr/bin/" + program;
    r.remoteAddress = address;
    r.protocol = protocol;
    r.remotePortClass = port;
    r.dnsName = dns;
    r.bytes[0] = received;
    r.bytes[1] = sent;
    r.packets[0] = received / 1000 + 1;
    r.packets[1] = sent / 1000 + 1;
    return r;
}

XLedger ledger(std::vector<XLedgerRow> rows, std::vector<XLedgerDisk> disk)
{
    XLedger l;
    l.rows = std::move(rows);
    l.disk = std::move(disk);
    return l;
}

history::RecorderOptions options(const TempDir& dir, FakeClock& clock)
{
    history::RecorderOptions o;
    o.path = dir.file("history.sqlite");
    o.clock = &clock;
    o.flushInterval = std::chrono::hours(1);
    o.location = [](uint32_t address) { return (address >> 24) == 10 ? std::string("test net") : std::string(); };
    return o;
}

bool recordThreePrograms(const std::string& path, int64_t at)
{
    FakeClock clock(at);
    history::RecorderOptions o;
    o.path = path;
    o.clock = &clock;
    o.flushInterval = std::chrono::hours(1);
    history::Recorder recorder(o);
    recorder.start();
    recorder.add(ledger({row("firefox", 0x0A000001, 5000000, 100000), row("firefox", 0x0A000002, 1000000, 50000),
                         row("curl", 0x0A000002, 20000, 3000), row("ssh", 0x0A000003, 4000, 4000)}));
    const bool written = recorder.flushAndWait(std::chrono::seconds(10));
    recorder.stop();
    return written;
}

TierSum tierSum(const std::string& path, history::Tier tier, int64_t from, int64_t to)
{
    TierSum sum;
    history::Database db;
    if (!db.open(path, history::Database::Mode::ReadOnly))
        return sum;
    history::Statement st = db.prepare(std::string("SELECT key, received, sent, disk_read FROM ") +
                                       history::tierTable(tier));
    while (st.step() == SQLITE_ROW) {
        const int64_t start = history::Schema::keyStart(st.int64(0));
        if (start < from || start >= to)
            continue;
        sum.received += st.int64(1);
        sum.sent += st.int64(2);
        sum.diskRead += st.int64(3);
        ++sum.rows;
    }
    return sum;
}

std::string integrityCheck(const std::string& path)
{
    history::Database db;
    if (!db.open(path, history::Database::Mode::ReadOnly))
        return "cannot open";
    history::Statement st = db.prepare("PRAGMA integrity_check");
    return st.step() == SQLITE_ROW ? st.text(0) : db.lastError();
}

} // namespace historytest
