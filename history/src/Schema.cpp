#include "history/Schema.h"

#include "history/Database.h"

namespace history {

namespace {

std::string usageTables(const char* name)
{
    return std::string("CREATE TABLE ") + name +
           " (key INTEGER PRIMARY KEY,"
           " received INTEGER NOT NULL DEFAULT 0, sent INTEGER NOT NULL DEFAULT 0,"
           " packets_received INTEGER NOT NULL DEFAULT 0, packets_sent INTEGER NOT NULL DEFAULT 0,"
           " disk_read INTEGER NOT NULL DEFAULT 0, disk_written INTEGER NOT NULL DEFAULT 0);\n"
           "CREATE TABLE " + name + "_hosts (key INTEGER PRIMARY KEY, hosts BLOB NOT NULL);\n";
}

} // namespace

const std::vector<Schema::Step>& Schema::steps()
{
    static const std::vector<Step> all = {
        {1, "CREATE TABLE meta (key TEXT PRIMARY KEY, value) WITHOUT ROWID;\n"
            "CREATE TABLE programs (id INTEGER PRIMARY KEY, name TEXT NOT NULL, path TEXT NOT NULL,"
            " UNIQUE (name, path));\n"
            "CREATE TABLE hosts (id INTEGER PRIMARY KEY, address INTEGER NOT NULL,"
            " dns_name TEXT NOT NULL, location TEXT NOT NULL, UNIQUE (address, dns_name, location));\n" +
                usageTables("usage_5min") + usageTables("usage_hour") + usageTables("usage_day") +
                usageTables("usage_month")},
    };
    return all;
}

Schema::Outcome Schema::migrate(Database& db, const std::vector<Step>& steps, std::string* error, int* errorCode)
{
    const auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        if (errorCode)
            *errorCode = db.lastCode();
        db.rollback();
        return Outcome::Failed;
    };
    const int target = steps.empty() ? 0 : steps.back().version;
    // Read inside the write transaction, so that two processes opening a new file at once
    // do not both create it.
    if (!db.begin(true))
        return fail("cannot start the schema transaction: " + db.lastError());
    const int64_t current = db.queryInt("PRAGMA user_version", -1);
    if (current < 0)
        return fail("cannot read the schema version: " + db.lastError());
    if (current > target) {
        db.rollback();
        return Outcome::Newer;
    }
    if (current == target) {
        db.rollback();
        return Outcome::Current;
    }
    for (const Step& step : steps) {
        if (step.version <= current)
            continue;
        if (!db.exec(step.sql.c_str()))
            return fail("schema step " + std::to_string(step.version) + " failed: " + db.lastError());
    }
    if (!db.exec(("PRAGMA user_version = " + std::to_string(target)).c_str()))
        return fail("cannot set the schema version: " + db.lastError());
    if (!db.commit())
        return fail("cannot commit the schema: " + db.lastError());
    return Outcome::Migrated;
}

} // namespace history
