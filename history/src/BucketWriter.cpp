#include "BucketWriter.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <limits>

#include "history/Schema.h"

namespace history {

namespace {

struct RowSum {
    std::vector<HostEntry> entries;
    uint64_t diskRead = 0, diskWritten = 0;
};

std::string purgeKey(Tier tier)
{
    return std::string("purged_before_") + tierName(tier);
}

std::string completeKey(Tier tier)
{
    return std::string("complete_until_") + tierName(tier);
}

} // namespace

BucketWriter::BucketWriter(Database& db, Settings settings) : m_db(db), m_settings(std::move(settings)) {}

Statement& BucketWriter::statement(Statement& slot, const std::string& sql)
{
    if (!slot.valid())
        slot = m_db.prepare(sql);
    slot.reset();
    return slot;
}

void BucketWriter::forgetIds()
{
    m_programIds.clear();
    m_hostIds.clear();
}

void BucketWriter::checkForOtherWriters()
{
    const int64_t version = m_db.queryInt("PRAGMA data_version", -1);
    if (version != m_dataVersion)
        forgetIds();
    m_dataVersion = version;
}

int64_t BucketWriter::meta(const std::string& key, int64_t fallback)
{
    Statement& st = statement(m_getMeta, "SELECT value FROM meta WHERE key = ?1");
    st.bind(1, key);
    const int64_t value = st.step() != SQLITE_ROW || st.isNull(0) ? fallback : st.int64(0);
    st.reset();
    return value;
}

bool BucketWriter::setMeta(const std::string& key, int64_t value)
{
    Statement& st = statement(m_setMeta, "INSERT OR REPLACE INTO meta (key, value) VALUES (?1, ?2)");
    st.bind(1, key).bind(2, value);
    return st.run();
}

int64_t BucketWriter::recordedUntilMs()
{
    return meta("recorded_until_ms", 0);
}

int64_t BucketWriter::programId(const ProgramKey& key)
{
    if (const auto it = m_programIds.find(key); it != m_programIds.end())
        return it->second;
    Statement& find = statement(m_findProgram, "SELECT id FROM programs WHERE name = ?1 AND path = ?2");
    find.bind(1, key.name).bind(2, key.path);
    int64_t id = -1;
    const int rc = find.step();
    if (rc == SQLITE_ROW)
        id = find.int64(0);
    find.reset();
    if (rc == SQLITE_DONE) {
        Statement& insert = statement(m_insertProgram, "INSERT INTO programs (name, path) VALUES (?1, ?2)");
        insert.bind(1, key.name).bind(2, key.path);
        if (!insert.run())
            return -1;
        id = m_db.lastInsertId();
    } else if (rc != SQLITE_ROW) {
        return -1;
    }
    // Ids must fit the row key; past its room every new program is "other programs".
    if (id < 1 || id > Schema::kProgramMask) {
        Statement& drop = statement(m_dropProgram, "DELETE FROM programs WHERE id = ?1");
        drop.bind(1, id);
        if (!drop.run())
            return -1;
        id = 0;
    }
    m_programIds.emplace(key, id);
    return id;
}

int64_t BucketWriter::hostId(uint32_t address, const std::string& dnsName)
{
    std::vector<std::pair<std::string, int64_t>>& known = m_hostIds[address];
    for (const auto& [name, id] : known)
        if (name == dnsName)
            return id;
    auto loc = m_locations.find(address);
    if (loc == m_locations.end())
        loc = m_locations.emplace(address, m_settings.location ? m_settings.location(address) : std::string()).first;
    Statement& find = statement(m_findHost, "SELECT id FROM hosts WHERE address = ?1 AND dns_name = ?2 AND location = ?3");
    find.bind(1, int64_t(address)).bind(2, dnsName).bind(3, loc->second);
    int64_t id = -1;
    const int rc = find.step();
    if (rc == SQLITE_ROW)
        id = find.int64(0);
    find.reset();
    if (rc == SQLITE_DONE) {
        Statement& insert = statement(m_insertHost, "INSERT INTO hosts (address, dns_name, location) VALUES (?1, ?2, ?3)");
        insert.bind(1, int64_t(address)).bind(2, dnsName).bind(3, loc->second);
        if (!insert.run())
            return -1;
        id = m_db.lastInsertId();
    } else if (rc != SQLITE_ROW) {
        return -1;
    }
    if (id < 1 || id > int64_t(UINT32_MAX))
        return -1;
    known.emplace_back(dnsName, id);
    return id;
}

bool BucketWriter::writeRow(Tier tier, int64_t start, int64_t program, const std::vector<HostEntry>& entries,
                            uint64_t diskRead, uint64_t diskWritten, bool replace, Outcome& outcome)
{
    const std::string table = tierTable(tier);
    const std::string hostsTable = tierHostsTable(tier);
    const int64_t key = Schema::rowKey(start, program);
    std::vector<HostEntry> merged;
    if (!replace) {
        Statement& read = statement(m_readRow[int(tier)], "SELECT u.received, u.sent, u.packets_received, u.packets_sent,"
                                                          " u.disk_read, u.disk_written, h.hosts FROM " + table +
                                                          " u LEFT JOIN " + hostsTable + " h ON h.key = u.key WHERE u.key = ?1");
        read.bind(1, key);
        const int rc = read.step();
        if (rc == SQLITE_ROW) {
            diskRead = addCount(diskRead, uint64_t(std::max<int64_t>(0, read.int64(4))));
            diskWritten = addCount(diskWritten, uint64_t(std::max<int64_t>(0, read.int64(5))));
            if (!decodeEntries(read.blob(6), merged)) {
                // A damaged host list: its hosts are lost, its bytes are not.
                HostEntry other;
                other.received = uint64_t(std::max<int64_t>(0, read.int64(0)));
                other.sent = uint64_t(std::max<int64_t>(0, read.int64(1)));
                other.packetsReceived = uint64_t(std::max<int64_t>(0, read.int64(2)));
                other.packetsSent = uint64_t(std::max<int64_t>(0, read.int64(3)));
                merged.assign(1, other);
                ++outcome.rowsRepaired;
            }
        }
        read.reset();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return false;
    }
    mergeEntries(merged, entries);
    outcome.hostsFolded += uint64_t(foldHosts(merged, m_settings.hostsPerProgram));
    const HostEntry sum = totalOf(merged);
    Statement& write = statement(m_writeRow[int(tier)], "INSERT OR REPLACE INTO " + table +
                                  " (key, received, sent, packets_received, packets_sent, disk_read, disk_written)"
                                  " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    write.bind(1, key)
        .bind(2, int64_t(sum.received))
        .bind(3, int64_t(sum.sent))
        .bind(4, int64_t(sum.packetsReceived))
        .bind(5, int64_t(sum.packetsSent))
        .bind(6, int64_t(diskRead))
        .bind(7, int64_t(diskWritten));
    if (!write.run())
        return false;
    if (merged.empty()) {
        Statement& drop = statement(m_dropHosts[int(tier)], "DELETE FROM " + hostsTable + " WHERE key = ?1");
        drop.bind(1, key);
        return drop.run();
    }
    Statement& hosts = statement(m_writeHosts[int(tier)], "INSERT OR REPLACE INTO " + hostsTable + " (key, hosts) VALUES (?1, ?2)");
    hosts.bind(1, key).bindBlob(2, encodeEntries(merged));
    return hosts.run();
}

int64_t BucketWriter::completeUntil(Tier tier)
{
    if (tier == Tier::FiveMinutes)
        return std::numeric_limits<int64_t>::max();
    return meta(completeKey(tier), std::numeric_limits<int64_t>::min());
}

bool BucketWriter::rollUp(Tier tier, int64_t to, Outcome& outcome)
{
    const int64_t from = completeUntil(tier);
    if (to <= from)
        return true;
    const Tier source = Tier(int(tier) - 1);
    Statement& scan = statement(m_rollUp[int(tier)], std::string("SELECT u.key, u.disk_read, u.disk_written, h.hosts FROM ") +
                                                         tierTable(source) + " u LEFT JOIN " + tierHostsTable(source) +
                                                         " h ON h.key = u.key WHERE u.key >= ?1 AND u.key < ?2");
    scan.bind(1, from == std::numeric_limits<int64_t>::min() ? from : Schema::rowKey(from, 0)).bind(2, Schema::rowKey(to, 0));
    std::map<std::pair<int64_t, int64_t>, RowSum> rows;  // (bucket start, program)
    std::vector<HostEntry> entries;
    int rc;
    while ((rc = scan.step()) == SQLITE_ROW) {
        const int64_t key = scan.int64(0);
        RowSum& sum = rows[{bucketStart(tier, Schema::keyStart(key)), Schema::keyProgram(key)}];
        sum.diskRead = addCount(sum.diskRead, uint64_t(std::max<int64_t>(0, scan.int64(1))));
        sum.diskWritten = addCount(sum.diskWritten, uint64_t(std::max<int64_t>(0, scan.int64(2))));
        if (decodeEntries(scan.blob(3), entries))
            mergeEntries(sum.entries, entries);
        else
            ++outcome.rowsRepaired;
    }
    scan.reset();
    if (rc != SQLITE_DONE)
        return false;
    // Built from the finer tier, which holds everything of these buckets: a row that is
    // there already is replaced, not added to.
    for (const auto& [where, sum] : rows)
        if (!writeRow(tier, where.first, where.second, sum.entries, sum.diskRead, sum.diskWritten, true, outcome))
            return false;
    return setMeta(completeKey(tier), to);
}

bool BucketWriter::purge(int64_t now)
{
    for (Tier tier : kAllTiers) {
        int64_t cut = m_settings.retention.purgeBefore(tier, now);
        // Never what the next tier has not been built from yet.
        if (tier != Tier::Month)
            cut = std::min(cut, completeUntil(Tier(int(tier) + 1)));
        if (cut == std::numeric_limits<int64_t>::min())
            continue;
        for (const char* table : {tierTable(tier), tierHostsTable(tier)}) {
            Statement& drop = statement(m_purge[int(tier)][table == tierTable(tier) ? 0 : 1],
                                        std::string("DELETE FROM ") + table + " WHERE key < ?1");
            drop.bind(1, Schema::rowKey(cut, 0));
            if (!drop.run())
                return false;
        }
        if (cut > meta(purgeKey(tier), std::numeric_limits<int64_t>::min()) && !setMeta(purgeKey(tier), cut))
            return false;
    }
    return true;
}

bool BucketWriter::write(const PendingBuckets& batch, int64_t shiftSeconds, int64_t retentionNow,
                         int64_t untilMs, Outcome& outcome, std::string* error)
{
    const auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + m_db.lastError();
        outcome.errorCode = m_db.lastCode();
        m_db.rollback();
        forgetIds();
        return false;
    };
    if (!m_db.begin(true))
        return fail("cannot start the transaction");
    // Under the write lock: no other connection can commit between this and the writes.
    checkForOtherWriters();
    Outcome local;
    std::array<int64_t, kTiers> complete{};
    for (Tier tier : kAllTiers)
        complete[size_t(tier)] = completeUntil(tier);
    std::map<std::tuple<int, int64_t, int64_t>, RowSum> rows;
    for (const auto& [start5, bucket] : batch.buckets()) {
        const int64_t start = start5 + shiftSeconds;
        for (const auto& [key, program] : bucket.programs) {
            const int64_t pid = programId(key);
            if (pid < 0)
                return fail("cannot name a program");
            std::vector<HostEntry> entries;
            entries.reserve(program.hosts.size());
            for (const auto& [hostKey, host] : program.hosts) {
                HostEntry e;
                if (hostKey != 0) {
                    const int64_t hid = hostId(uint32_t(hostKey >> 32), host.dnsName);
                    if (hid < 0)
                        return fail("cannot name a host");
                    e.host = uint32_t(hid);
                    e.service = uint32_t(hostKey & 0xFFFFFFFFu);
                }
                e.received = host.received;
                e.sent = host.sent;
                e.packetsReceived = host.packetsReceived;
                e.packetsSent = host.packetsSent;
                entries.push_back(e);
            }
            std::sort(entries.begin(), entries.end(), [](const HostEntry& a, const HostEntry& b) {
                return a.host != b.host ? a.host < b.host : a.service < b.service;
            });
            // The 5-minute bucket; and, should a coarser bucket have been built already (a
            // clock far behind the history at start), that bucket as well.
            for (Tier tier : kAllTiers) {
                const int64_t bucket = bucketStart(tier, start);
                if (tier != Tier::FiveMinutes && bucket >= complete[size_t(tier)])
                    continue;
                RowSum& sum = rows[{int(tier), bucket, pid}];
                mergeEntries(sum.entries, entries);
                sum.diskRead = addCount(sum.diskRead, program.diskRead);
                sum.diskWritten = addCount(sum.diskWritten, program.diskWritten);
            }
        }
    }
    for (const auto& [where, sum] : rows) {
        const auto& [tier, start, pid] = where;
        if (!writeRow(Tier(tier), start, pid, sum.entries, sum.diskRead, sum.diskWritten, false, local))
            return fail("cannot write a bucket");
    }
    // Hours, days and months that have ended are built from the tier below, once: the hour
    // from its twelve 5-minute buckets, the day from its hours, the month from its days.
    // The recording time never goes back, so nothing more can arrive for them.
    const auto boundary = [](Tier tier, int64_t t) {
        return t == std::numeric_limits<int64_t>::min() ? t : bucketStart(tier, t);
    };
    const int64_t until = untilMs / 1000;
    if (!rollUp(Tier::Hour, boundary(Tier::Hour, until), local) ||
        !rollUp(Tier::Day, boundary(Tier::Day, completeUntil(Tier::Hour)), local) ||
        !rollUp(Tier::Month, boundary(Tier::Month, completeUntil(Tier::Day)), local))
        return fail("cannot build the ended hours, days and months");
    if (!purge(retentionNow))
        return fail("cannot remove expired buckets");
    if (untilMs > recordedUntilMs() && !setMeta("recorded_until_ms", untilMs))
        return fail("cannot note the recorded time");
    if (!m_db.commit())
        return fail("cannot commit");
    outcome.hostsFolded += local.hostsFolded;
    outcome.rowsRepaired += local.rowsRepaired;
    m_dataVersion = m_db.queryInt("PRAGMA data_version", -1);
    return true;
}

} // namespace history
