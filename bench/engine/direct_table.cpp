#include "direct_table.h"

#include <filesystem>
#include <stdexcept>

namespace ks::bench {

namespace {

bool Unique(const std::vector<Segment>& key) {
    return (key.front().flags & 1U) == 0;
}

}  // namespace

DirectTable::DirectTable(const std::string& path, const TableSpec& shape,
                         const DirectSettings& settings)
    : m_spec(shape), m_settings(settings) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(path + suffix);
    }
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) {
        throw std::runtime_error("cannot open " + path);
    }
    Exec("PRAGMA page_size=4096");
    Exec("PRAGMA journal_mode=WAL");
    Exec(std::string("PRAGMA synchronous=") + m_settings.synchronous);
    Exec("PRAGMA cache_size=-" + std::to_string(m_settings.cacheKib));
    std::string columns = "id INTEGER PRIMARY KEY, data BLOB NOT NULL";
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        columns += ", k" + std::to_string(k) + " BLOB NOT NULL";
    }
    Exec("CREATE TABLE r(" + columns + ")");
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        const std::string column = "k" + std::to_string(k);
        const bool unique = Unique(shape.keys[k]);
        Exec(std::string(unique ? "CREATE UNIQUE INDEX" : "CREATE INDEX") + " i" + column +
             " ON r(" + column + (unique ? ")" : ", id)"));
        // Duplicates keep insertion order: the row id breaks ties.
        const std::string order = " ORDER BY " + column + ", id LIMIT 1";
        const std::string select = "SELECT id, data, " + column + " FROM r ";
        KeyStatements statements;
        statements.equal = Prepare(select + "WHERE " + column + " = ?1" + order);
        statements.greaterOrEqual = Prepare(select + "WHERE " + column + " >= ?1" + order);
        statements.first = Prepare(select + order);
        statements.next = Prepare(select + "WHERE (" + column + ", id) > (?1, ?2)" + order);
        statements.scan =
            Prepare(select + "WHERE (" + column + ", id) > (?1, ?2) ORDER BY " + column + ", id");
        m_keys.push_back(statements);
    }
    std::string names = "data";
    std::string values = "?1";
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        names += ", k" + std::to_string(k);
        values += ", ?" + std::to_string(k + 2);
    }
    m_insert = Prepare("INSERT INTO r(" + names + ") VALUES(" + values + ")");
    m_delete = Prepare("DELETE FROM r WHERE id = ?1");
    std::string assignments = "data = ?1";
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        assignments += ", k" + std::to_string(k) + " = ?" + std::to_string(k + 3);
    }
    m_update = Prepare("UPDATE r SET " + assignments + " WHERE id = ?2");
}

DirectTable::~DirectTable() {
    Flush();
    for (auto& statements : m_keys) {
        sqlite3_finalize(statements.equal);
        sqlite3_finalize(statements.greaterOrEqual);
        sqlite3_finalize(statements.first);
        sqlite3_finalize(statements.next);
        sqlite3_finalize(statements.scan);
    }
    sqlite3_finalize(m_insert);
    sqlite3_finalize(m_delete);
    sqlite3_finalize(m_update);
    sqlite3_close(m_db);
}

void DirectTable::Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message != nullptr ? message : "?";
        sqlite3_free(message);
        throw std::runtime_error(sql + ": " + text);
    }
}

sqlite3_stmt* DirectTable::Prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(m_db));
    }
    return statement;
}

void DirectTable::BeginRead() {
    if (!m_settings.heldCursor || m_pending > 0) {
        return;
    }
    if (m_reads >= m_settings.bundleOperations) {
        Flush();
    }
    if (m_reads++ == 0) {
        Exec("BEGIN");
    }
}

void DirectTable::BeginWrite() {
    if (m_reads > 0) {
        Flush();
    }
    if (m_pending == 0) {
        Exec("BEGIN IMMEDIATE");
    }
}

bool DirectTable::Fetch(sqlite3_stmt* statement, int key, std::string& record) {
    const bool found = sqlite3_step(statement) == SQLITE_ROW;
    if (found) {
        m_key = key;
        m_id = sqlite3_column_int64(statement, 0);
        record.assign(static_cast<const char*>(sqlite3_column_blob(statement, 1)),
                      static_cast<std::size_t>(sqlite3_column_bytes(statement, 1)));
        m_keyValue.assign(static_cast<const char*>(sqlite3_column_blob(statement, 2)),
                          static_cast<std::size_t>(sqlite3_column_bytes(statement, 2)));
        m_hasCurrent = true;
    }
    if (found && statement == m_keys[static_cast<std::size_t>(key)].scan) {
        m_held = statement;
    } else {
        sqlite3_reset(statement);
    }
    return found;
}

bool DirectTable::GetEqual(int key, const std::string& value, std::string& record) {
    BeginRead();
    Drop();
    sqlite3_stmt* statement = m_keys[static_cast<std::size_t>(key)].equal;
    sqlite3_bind_blob(statement, 1, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    return Fetch(statement, key, record);
}

bool DirectTable::GetGreaterOrEqual(int key, const std::string& value, std::string& record) {
    BeginRead();
    Drop();
    sqlite3_stmt* statement = m_keys[static_cast<std::size_t>(key)].greaterOrEqual;
    sqlite3_bind_blob(statement, 1, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    return Fetch(statement, key, record);
}

bool DirectTable::GetFirst(int key, std::string& record) {
    BeginRead();
    Drop();
    return Fetch(m_keys[static_cast<std::size_t>(key)].first, key, record);
}

bool DirectTable::GetNext(std::string& record) {
    if (m_key < 0) {
        return false;
    }
    BeginRead();
    if (m_held != nullptr) {
        return Fetch(m_held, m_key, record);
    }
    sqlite3_stmt* statement = m_settings.heldCursor ? m_keys[static_cast<std::size_t>(m_key)].scan
                                                    : m_keys[static_cast<std::size_t>(m_key)].next;
    const std::string value = m_keyValue;
    sqlite3_bind_blob(statement, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, m_id);
    return Fetch(statement, m_key, record);
}

bool DirectTable::Insert(const std::string& record) {
    Drop();
    BeginWrite();
    sqlite3_bind_blob(m_insert, 1, record.data(), static_cast<int>(record.size()), SQLITE_STATIC);
    std::vector<std::string> values;
    values.reserve(m_spec.keys.size());
    for (std::size_t k = 0; k < m_spec.keys.size(); ++k) {
        values.push_back(KeyValue(m_spec, static_cast<int>(k), record));
        sqlite3_bind_blob(m_insert, static_cast<int>(k + 2), values.back().data(),
                          static_cast<int>(values.back().size()), SQLITE_STATIC);
    }
    const bool done = sqlite3_step(m_insert) == SQLITE_DONE;
    sqlite3_reset(m_insert);
    if (done) {
        m_key = 0;
        m_keyValue = values.front();
        m_id = sqlite3_last_insert_rowid(m_db);
        m_hasCurrent = true;
    }
    Written();
    return done;
}

bool DirectTable::DeleteCurrent() {
    if (!m_hasCurrent) {
        return false;
    }
    Drop();
    BeginWrite();
    sqlite3_bind_int64(m_delete, 1, m_id);
    const bool done = sqlite3_step(m_delete) == SQLITE_DONE;
    sqlite3_reset(m_delete);
    // The logical position stays, so that a get next returns the record that followed.
    m_hasCurrent = false;
    Written();
    return done;
}

bool DirectTable::UpdateCurrent(const std::string& record) {
    if (!m_hasCurrent) {
        return false;
    }
    Drop();
    BeginWrite();
    sqlite3_bind_blob(m_update, 1, record.data(), static_cast<int>(record.size()), SQLITE_STATIC);
    sqlite3_bind_int64(m_update, 2, m_id);
    std::vector<std::string> values;
    values.reserve(m_spec.keys.size());
    for (std::size_t k = 0; k < m_spec.keys.size(); ++k) {
        values.push_back(KeyValue(m_spec, static_cast<int>(k), record));
        sqlite3_bind_blob(m_update, static_cast<int>(k + 3), values.back().data(),
                          static_cast<int>(values.back().size()), SQLITE_STATIC);
    }
    const bool done = sqlite3_step(m_update) == SQLITE_DONE;
    sqlite3_reset(m_update);
    Written();
    return done;
}

void DirectTable::Drop() {
    if (m_held != nullptr) {
        sqlite3_reset(m_held);
        m_held = nullptr;
    }
}

void DirectTable::Written() {
    if (++m_pending >= m_settings.bundleOperations) {
        Flush();
    }
}

void DirectTable::Flush() {
    Drop();
    if (m_pending > 0 || m_reads > 0) {
        Exec("COMMIT");
        m_pending = 0;
        m_reads = 0;
    }
}

}  // namespace ks::bench
