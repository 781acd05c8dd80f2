#include "history/Privacy.h"

#include <sqlite3.h>

#include <filesystem>
#include <unordered_set>
#include <vector>

#include "history/Database.h"
#include "history/HostEntries.h"
#include "history/Schema.h"
#include "history/Tier.h"

namespace history {

namespace {

// Freed pages are overwritten while the change runs, so that the removed names and bytes do
// not stay readable in the file.
class SecureChange {
public:
    explicit SecureChange(Database& db) : m_db(db), m_was(db.queryInt("PRAGMA secure_delete", 0))
    {
        m_db.exec("PRAGMA secure_delete=ON");
    }
    ~SecureChange()
    {
        if (!m_was)
            m_db.exec("PRAGMA secure_delete=OFF");
    }
    // Rebuilds the file, which leaves no old copy of a row in the slack of a page either,
    // and empties the log. A reader holding an old snapshot makes either wait for a later
    // checkpoint: not a failure of the change itself.
    void finish()
    {
        m_db.exec("VACUUM");
        m_db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }

private:
    Database& m_db;
    int64_t m_was;
};

bool failed(Database& db, std::string* message, const std::string& what)
{
    if (message)
        *message = what + ": " + db.lastError();
    db.rollback();
    return false;
}

std::string dotted(uint32_t a)
{
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." + std::to_string((a >> 8) & 255) + "." +
           std::to_string(a & 255);
}

} // namespace

bool openForChanges(Database& db, const std::string& path, std::string* error, const char* vfs)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (error)
            *error = "no history at " + path;
        return false;
    }
    if (!db.open(path, Database::Mode::ReadWrite, error, vfs))
        return false;
    db.exec("PRAGMA busy_timeout=5000");
    std::string why;
    switch (Schema::migrate(db, &why)) {
    case Schema::Outcome::Current:
    case Schema::Outcome::Migrated: return true;
    case Schema::Outcome::Newer: why = "made by a newer version of Lumivex"; break;
    case Schema::Outcome::Failed: break;
    }
    if (error)
        *error = path + ": " + why;
    db.close();
    return false;
}

bool forgetProgram(Database& db, const std::string& name, const std::string& path, std::string* message)
{
    SecureChange secure(db);
    if (!db.begin(true))
        return failed(db, message, "cannot start the change");
    const std::string match = path.empty() ? "name = ?1" : "name = ?1 AND path = ?2";
    int64_t rows = 0;
    for (Tier tier : kAllTiers) {
        for (const char* table : {tierTable(tier), tierHostsTable(tier)}) {
            Statement drop = db.prepare(std::string("DELETE FROM ") + table + " WHERE (key & " +
                                        std::to_string(Schema::kProgramMask) + ") IN (SELECT id FROM programs WHERE " + match + ")");
            drop.bind(1, name);
            if (!path.empty())
                drop.bind(2, path);
            if (!drop.run())
                return failed(db, message, "cannot remove the program's buckets");
            if (table == tierTable(tier))
                rows += db.changes();
        }
    }
    Statement names = db.prepare("DELETE FROM programs WHERE " + match);
    names.bind(1, name);
    if (!path.empty())
        names.bind(2, path);
    if (!names.run())
        return failed(db, message, "cannot remove the program's name");
    const int programs = db.changes();
    if (!db.commit())
        return failed(db, message, "cannot commit the change");
    secure.finish();
    if (message)
        *message = programs == 0 ? "no program " + name + " in the history"
                                 : "forgot " + std::to_string(programs) + " program(s) named " + name + ": " +
                                       std::to_string(rows) + " bucket rows removed";
    return true;
}

bool forgetHost(Database& db, uint32_t address, std::string* message)
{
    SecureChange secure(db);
    if (!db.begin(true))
        return failed(db, message, "cannot start the change");
    std::unordered_set<uint32_t> ids;
    {
        Statement st = db.prepare("SELECT id FROM hosts WHERE address = ?1");
        st.bind(1, int64_t(address));
        int rc;
        while ((rc = st.step()) == SQLITE_ROW)
            ids.insert(uint32_t(st.int64(0)));
        if (rc != SQLITE_DONE)
            return failed(db, message, "cannot find the host");
    }
    int64_t rows = 0;
    for (Tier tier : kAllTiers) {
        const std::string table = tierTable(tier);
        const std::string hostsTable = tierHostsTable(tier);
        struct Change {
            int64_t key;
            std::vector<HostEntry> entries;
            bool keepTotals;  // disk bytes remain
        };
        std::vector<Change> changes;
        {
            Statement scan = db.prepare("SELECT h.key, h.hosts, u.disk_read, u.disk_written FROM " + hostsTable + " h LEFT JOIN " +
                                        table + " u ON u.key = h.key");
            std::vector<HostEntry> entries;
            int rc;
            while ((rc = scan.step()) == SQLITE_ROW) {
                if (ids.empty() || !decodeEntries(scan.blob(1), entries))
                    continue;
                const size_t before = entries.size();
                std::erase_if(entries, [&](const HostEntry& e) { return ids.count(e.host) != 0; });
                if (entries.size() != before)
                    changes.push_back({scan.int64(0), entries, !entries.empty() || scan.int64(2) != 0 || scan.int64(3) != 0});
            }
            if (rc != SQLITE_DONE)
                return failed(db, message, "cannot read " + hostsTable);
        }
        Statement update = db.prepare("UPDATE " + table +
                                      " SET received = ?2, sent = ?3, packets_received = ?4, packets_sent = ?5 WHERE key = ?1");
        Statement setHosts = db.prepare("UPDATE " + hostsTable + " SET hosts = ?2 WHERE key = ?1");
        Statement dropRow = db.prepare("DELETE FROM " + table + " WHERE key = ?1");
        Statement dropHosts = db.prepare("DELETE FROM " + hostsTable + " WHERE key = ?1");
        for (const Change& c : changes) {
            const HostEntry sum = totalOf(c.entries);
            update.bind(1, c.key)
                .bind(2, int64_t(sum.received))
                .bind(3, int64_t(sum.sent))
                .bind(4, int64_t(sum.packetsReceived))
                .bind(5, int64_t(sum.packetsSent));
            bool ok = c.keepTotals ? update.run() : (dropRow.bind(1, c.key), dropRow.run());
            if (ok && c.entries.empty()) {
                dropHosts.bind(1, c.key);
                ok = dropHosts.run();
            } else if (ok) {
                setHosts.bind(1, c.key).bindBlob(2, encodeEntries(c.entries));
                ok = setHosts.run();
            }
            update.reset();
            if (!ok)
                return failed(db, message, "cannot rewrite " + table);
        }
        rows += int64_t(changes.size());
    }
    Statement names = db.prepare("DELETE FROM hosts WHERE address = ?1");
    names.bind(1, int64_t(address));
    if (!names.run())
        return failed(db, message, "cannot remove the host's names");
    if (!db.commit())
        return failed(db, message, "cannot commit the change");
    secure.finish();
    if (message)
        *message = ids.empty() ? "no host " + dotted(address) + " in the history"
                               : "forgot host " + dotted(address) + ": " + std::to_string(rows) + " bucket rows changed";
    return true;
}

bool clearHistory(Database& db, std::string* message)
{
    SecureChange secure(db);
    if (!db.begin(true))
        return failed(db, message, "cannot start the change");
    for (Tier tier : kAllTiers)
        if (!db.exec((std::string("DELETE FROM ") + tierTable(tier) + "; DELETE FROM " + tierHostsTable(tier)).c_str()))
            return failed(db, message, "cannot clear the buckets");
    if (!db.exec("DELETE FROM programs; DELETE FROM hosts; DELETE FROM meta WHERE key LIKE 'purged_before_%' OR key LIKE 'complete_until_%'"))
        return failed(db, message, "cannot clear the names");
    if (!db.commit())
        return failed(db, message, "cannot commit the change");
    secure.finish();
    if (message)
        *message = "history cleared";
    return true;
}

} // namespace history
