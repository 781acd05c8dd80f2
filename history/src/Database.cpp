#include "history/Database.h"

#include <sqlite3.h>

#include <utility>

namespace history {

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement&& other) noexcept : m_stmt(std::exchange(other.m_stmt, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

Statement& Statement::bind(int index, int64_t value)
{
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

Statement& Statement::bind(int index, std::string_view text)
{
    sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes)
{
    // A zero-length blob, not NULL, for an empty value.
    sqlite3_bind_blob64(m_stmt, index, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    return *this;
}

int Statement::step()
{
    return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE;
}

bool Statement::run()
{
    int rc = step();
    while (rc == SQLITE_ROW)
        rc = step();
    reset();
    return rc == SQLITE_DONE;
}

void Statement::reset()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

int64_t Statement::int64(int column) const
{
    return m_stmt ? sqlite3_column_int64(m_stmt, column) : 0;
}

std::string Statement::text(int column) const
{
    if (!m_stmt)
        return {};
    const unsigned char* p = sqlite3_column_text(m_stmt, column);
    const int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::string(reinterpret_cast<const char*>(p), size_t(n)) : std::string();
}

std::string_view Statement::blob(int column) const
{
    if (!m_stmt)
        return {};
    const void* p = sqlite3_column_blob(m_stmt, column);
    const int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::string_view(static_cast<const char*>(p), size_t(n)) : std::string_view();
}

bool Statement::isNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Database::~Database()
{
    close();
}

Database::Database(Database&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}

Database& Database::operator=(Database&& other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

bool Database::open(const std::string& path, Mode mode, std::string* error, const char* vfs)
{
    close();
    int flags = SQLITE_OPEN_NOMUTEX;  // one thread per connection
    switch (mode) {
    case Mode::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
    case Mode::ReadWrite: flags |= SQLITE_OPEN_READWRITE; break;
    case Mode::ReadWriteCreate: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, vfs);
    if (rc != SQLITE_OK) {
        if (error)
            *error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 1);
    // A file is data, never code: no functions with side effects from its schema, no
    // writes to the schema table, and pages checked as they are read.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    exec("PRAGMA cell_size_check=ON");
    return true;
}

void Database::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Database::exec(const char* sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement Database::prepare(std::string_view sql)
{
    sqlite3_stmt* stmt = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db, sql.data(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return Statement();
    }
    return Statement(stmt);
}

int64_t Database::queryInt(const char* sql, int64_t fallback)
{
    Statement st = prepare(sql);
    if (st.step() != SQLITE_ROW)
        return fallback;
    return st.int64(0);
}

bool Database::begin(bool immediate)
{
    return exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

bool Database::commit()
{
    return exec("COMMIT");
}

void Database::rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

int Database::lastCode() const
{
    return m_db ? sqlite3_extended_errcode(m_db) : SQLITE_CANTOPEN;
}

std::string Database::lastError() const
{
    return m_db ? sqlite3_errmsg(m_db) : "no database open";
}

int64_t Database::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int Database::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

} // namespace history
