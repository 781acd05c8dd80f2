#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace history {

// A prepared statement of one Database; finalized when it goes. Column and bind indices as in
// SQLite (bind from 1, columns from 0). A statement that failed to prepare is invalid: step()
// answers SQLITE_MISUSE and reads answer 0 or empty.
class Statement {
public:
    Statement() = default;
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return m_stmt != nullptr; }

    Statement& bind(int index, int64_t value);
    Statement& bind(int index, std::string_view text);
    Statement& bindBlob(int index, std::string_view bytes);

    // One step: SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps to the end; true when it ended with SQLITE_DONE. Resets for the next use.
    bool run();
    // Ready for the next bindings and steps.
    void reset();

    int64_t int64(int column) const;
    std::string text(int column) const;
    // Valid until the next step, reset or destruction.
    std::string_view blob(int column) const;
    bool isNull(int column) const;

private:
    friend class Database;
    explicit Statement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    sqlite3_stmt* m_stmt = nullptr;
};

// One connection to a database file, closed when it goes. One thread at a time.
// Every connection refuses what a damaged or hostile file could use against its reader:
// the schema's SQL runs without untrusted functions, and writes that would corrupt the file
// (writable_schema and the like) are off.
class Database {
public:
    enum class Mode { ReadOnly, ReadWrite, ReadWriteCreate };

    Database() = default;
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // False, with the reason in error, when the file cannot be opened. vfs names a registered
    // SQLite VFS (tests inject faults through one); null for the default.
    bool open(const std::string& path, Mode mode, std::string* error = nullptr, const char* vfs = nullptr);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }

    // Runs one or more statements without results; false (error in lastError()) on failure.
    bool exec(const char* sql);
    // An invalid statement on failure (see lastError()).
    Statement prepare(std::string_view sql);
    // A pragma or query that answers one integer; fallback when it answers nothing or fails.
    int64_t queryInt(const char* sql, int64_t fallback = 0);

    // Explicit transactions. rollback() is safe when none is open (SQLite may already have
    // rolled back after a failed write).
    bool begin(bool immediate = true);
    bool commit();
    void rollback();

    int lastCode() const;
    std::string lastError() const;
    int64_t lastInsertId() const;
    int changes() const;

private:
    sqlite3* m_db = nullptr;
};

} // namespace history
