#include "engine/sqlite_handle.h"

#include <cerrno>
#include <utility>

namespace ks::engine {
namespace {

// SQLite answers SQLITE_FULL only when its own pages do not fit; a write, a truncate or the
// growth of the log's index that the disk refuses for lack of room comes back as an I/O error
// whose system error says so. The operator must read "disk full", not "restore this file".
int WithDiskFull(int code, sqlite3* db) {
    if ((code & 0xFF) == SQLITE_IOERR && db != nullptr) {
        const int cause = sqlite3_system_errno(db);
        if (cause == ENOSPC || cause == EDQUOT) {
            return SQLITE_FULL;
        }
    }
    return code;
}

}  // namespace

SqliteError::SqliteError(int code, const std::string& message)
    : std::runtime_error(message), m_code(code & 0xFF) {}

void CheckSqlite(int code, sqlite3* db) {
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) {
        return;
    }
    std::string message = sqlite3_errstr(code);
    if (db != nullptr) {
        message += ": ";
        message += sqlite3_errmsg(db);
    }
    throw SqliteError(WithDiskFull(code, db), message);
}

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : m_db(db) {
    CheckSqlite(sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                   SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr),
                db);
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr)), m_db(other.m_db) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_db = other.m_db;
    }
    return *this;
}

void SqliteStatement::BindBlob(int index, std::string_view bytes) {
    CheckSqlite(sqlite3_bind_blob64(m_stmt, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT),
                m_db);
}

void SqliteStatement::BindBlobInPlace(int index, std::string_view bytes) {
    CheckSqlite(sqlite3_bind_blob64(m_stmt, index, bytes.data(), bytes.size(), SQLITE_STATIC),
                m_db);
}

void SqliteStatement::BindInt(int index, std::int64_t value) {
    CheckSqlite(sqlite3_bind_int64(m_stmt, index, value), m_db);
}

void SqliteStatement::BindText(int index, std::string_view text) {
    CheckSqlite(
        sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
        m_db);
}

int SqliteStatement::StepCode() {
    return sqlite3_step(m_stmt);
}

bool SqliteStatement::Step() {
    const int code = sqlite3_step(m_stmt);
    CheckSqlite(code, m_db);
    return code == SQLITE_ROW;
}

void SqliteStatement::Run() {
    while (Step()) {
    }
}

std::int64_t SqliteStatement::ColumnInt(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::string_view SqliteStatement::ColumnView(int column) const {
    const void* bytes = sqlite3_column_blob(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    if (bytes == nullptr || size <= 0) {
        return {};
    }
    return {static_cast<const char*>(bytes), static_cast<std::size_t>(size)};
}

std::string SqliteStatement::ColumnBlob(int column) const {
    const void* bytes = sqlite3_column_blob(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    if (bytes == nullptr || size <= 0) {
        return {};
    }
    return {static_cast<const char*>(bytes), static_cast<std::size_t>(size)};
}

std::string SqliteStatement::ColumnText(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    if (text == nullptr || size <= 0) {
        return {};
    }
    return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)};
}

void SqliteStatement::Reset() {
    if (m_stmt != nullptr) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

SqliteDb::SqliteDb(const std::filesystem::path& path, int flags, const std::string& vfs) {
    // SQLite counts its memory under a lock of the whole library at every allocation, for
    // statistics nobody here reads. The setting holds only when made before SQLite's first
    // use in the process; later it is refused, harmlessly.
    static const bool noMemoryStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    static_cast<void>(noMemoryStatistics);
    // SQLite as built here reads a name starting with "file:" as a URI, whose parameters
    // (immutable, mode, vfs) would change how the table is opened, or name another file; a
    // name starting with "./" or "/" is always a plain file name.
    const std::filesystem::path name = path.is_relative() ? "." / path : path;
    const int code = sqlite3_open_v2(name.c_str(), &m_db, flags | SQLITE_OPEN_NOMUTEX,
                                     vfs.empty() ? nullptr : vfs.c_str());
    if (code != SQLITE_OK) {
        const std::string message = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
        const int cause = WithDiskFull(code, m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw SqliteError(cause, message);
    }
    sqlite3_extended_result_codes(m_db, 1);
    // A table may come from another machine, or be damaged anywhere: SQLite's defences for
    // files of unknown origin. Nothing the engine writes needs what they turn off (a writable
    // schema, triggers, views, functions run by the schema), and a damaged page is refused
    // when it is read rather than followed.
    for (const int option : {SQLITE_DBCONFIG_DEFENSIVE, SQLITE_DBCONFIG_TRUSTED_SCHEMA,
                             SQLITE_DBCONFIG_ENABLE_TRIGGER, SQLITE_DBCONFIG_ENABLE_VIEW}) {
        const int on = option == SQLITE_DBCONFIG_DEFENSIVE ? 1 : 0;
        sqlite3_db_config(m_db, option, on, nullptr);
    }
    const int checked = sqlite3_exec(m_db, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);
    if (checked != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw SqliteError(checked, message);
    }
}

SqliteDb::~SqliteDb() {
    Close();
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        Close();
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

void SqliteDb::Exec(std::string_view sql) {
    const std::string text(sql);
    CheckSqlite(sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, nullptr), m_db);
}

std::int64_t SqliteDb::QueryInt(std::string_view sql) {
    SqliteStatement statement(m_db, sql);
    return statement.Step() ? statement.ColumnInt(0) : 0;
}

bool SqliteDb::ReadOnly() const {
    return sqlite3_db_readonly(m_db, "main") == 1;
}

void SqliteDb::Close() {
    if (m_db != nullptr) {
        // Statements are owned elsewhere and finalized first; close_v2 tolerates stragglers.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

}  // namespace ks::engine
