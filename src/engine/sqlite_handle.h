// Thin owners of an SQLite connection and of a prepared statement. Every failing SQLite call
// throws SqliteError with the result code, so that the record engine maps it to one status at
// its single entry instead of testing a code after every step.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ks::engine {

class SqliteError : public std::runtime_error {
  public:
    SqliteError(int code, const std::string& message);
    // The primary result code (SQLITE_BUSY, SQLITE_FULL...).
    int Code() const { return m_code; }

  private:
    int m_code;
};

class SqliteStatement {
  public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool Prepared() const { return m_stmt != nullptr; }

    void BindBlob(int index, std::string_view bytes);
    // Without a copy: the bytes must stay as they are until the statement is reset (the end
    // of a StatementUse), for a statement stepped at once.
    void BindBlobInPlace(int index, std::string_view bytes);
    void BindInt(int index, std::int64_t value);
    void BindText(int index, std::string_view text);

    // True when a row is available, false when the statement has run to its end.
    bool Step();
    // Runs a statement that returns no row (or whose rows are not wanted).
    void Run();
    // The raw result of one step, for the callers that treat a constraint as an outcome.
    int StepCode();

    std::int64_t ColumnInt(int column) const;
    std::string ColumnBlob(int column) const;
    // The bytes of a BLOB column, valid until the statement steps or is reset.
    std::string_view ColumnView(int column) const;
    std::string ColumnText(int column) const;

    // Resets the statement: its read lock is released and it can run again.
    void Reset();

  private:
    sqlite3_stmt* m_stmt = nullptr;
    sqlite3* m_db = nullptr;
};

// Resets a cached statement when leaving the scope of one use, also on an exception, so that
// a statement never holds a lock between two engine calls.
class StatementUse {
  public:
    explicit StatementUse(SqliteStatement& statement) : m_statement(statement) {}
    ~StatementUse() { m_statement.Reset(); }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    SqliteStatement* operator->() { return &m_statement; }

  private:
    SqliteStatement& m_statement;
};

class SqliteDb {
  public:
    SqliteDb() = default;
    // `flags` are the sqlite3_open_v2 flags; `vfs` empty means the default one.
    SqliteDb(const std::filesystem::path& path, int flags, const std::string& vfs);
    ~SqliteDb();
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    sqlite3* Get() const { return m_db; }
    void Exec(std::string_view sql);
    // The single integer a pragma or a query answers.
    std::int64_t QueryInt(std::string_view sql);
    bool ReadOnly() const;
    void Close();

  private:
    sqlite3* m_db = nullptr;
};

// Throws SqliteError for a result code that is not OK, ROW or DONE.
void CheckSqlite(int code, sqlite3* db);

}  // namespace ks::engine
