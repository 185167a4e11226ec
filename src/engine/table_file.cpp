#include "engine/table_file.h"

#include <algorithm>
#include <utility>

#include "engine/key_bytes.h"
#include "engine/table_schema.h"
#include "ks/engine/btr_codes.h"

namespace ks::engine {
namespace fs = std::filesystem;

namespace {

// Columns of the keys in the order the insert and update statements bind them.
std::string KeyColumnList(const FileSpec& shape) {
    std::string list;
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        list += ", " + KeyColumn(k);
        if (shape.keys[k].Duplicates()) {
            list += ", " + SeqColumn(k);
        }
    }
    return list;
}

std::size_t KeyColumnCount(const FileSpec& shape) {
    std::size_t count = 0;
    for (const auto& key : shape.keys) {
        count += key.Duplicates() ? 2U : 1U;
    }
    return count;
}

std::string Placeholders(int first, std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i) {
        list += ", ?" + std::to_string(static_cast<std::size_t>(first) + i);
    }
    return list;
}

}  // namespace

// Outside a transaction of the caller, a write joins the open bundle or opens one; inside,
// it joins the caller's transaction. Each write is one statement of SQLite, which undoes a
// failed statement on its own: the bundle or transaction keeps the writes before it.
class TableFile::WriteScope {
  public:
    explicit WriteScope(TableFile& file) : m_file(file) {
        m_file.DropScans();
        if (m_file.m_inTransaction) {
            if (m_file.m_transactionLost) {
                throw SqliteError(SQLITE_IOERR, "the transaction was lost after a failed write");
            }
            m_file.TouchTransaction();
        } else if (!m_file.m_bundleOpen) {
            // A read transaction is not turned into a write one: SQLite refuses that when
            // another process committed since the window's first read.
            m_file.EndReadWindow();
            StatementUse begin(m_file.m_begin);
            begin->Run();
            m_file.m_bundleOpen = true;
            m_file.m_bundleWrites = 0;
            m_file.m_bundleStart = std::chrono::steady_clock::now();
            m_file.m_sequenceLoaded = false;
            m_opened = true;
        }
        try {
            m_file.LoadSequence();
        } catch (...) {
            Abandon();
            throw;
        }
    }
    ~WriteScope() {
        if (!m_done) {
            Abandon();
        }
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

    void Done() {
        if (m_file.m_inTransaction) {
            m_file.m_transactionWrote = true;
        } else {
            ++m_file.m_bundleWrites;
        }
        m_done = true;
    }

  private:
    void Abandon() {
        sqlite3* db = m_file.m_db.Get();
        if (!m_file.m_inTransaction) {
            if (sqlite3_get_autocommit(db) != 0) {
                // SQLite gave the whole bundle up after an I/O failure: its earlier writes
                // are gone as after a crash. The failure in flight is this call's answer; the
                // earlier writes had been answered 0.
                m_file.m_writesRefused = m_file.m_writesRefused || m_file.m_bundleWrites > 0;
                m_file.m_bundleOpen = false;
                m_file.m_bundleWrites = 0;
            } else if (m_opened) {
                StatementUse rollback(m_file.m_rollback);
                rollback->StepCode();
                m_file.m_bundleOpen = false;
            }
        } else if (sqlite3_get_autocommit(db) != 0) {
            // SQLite gave up the caller's transaction after an I/O or lock failure: the
            // writes it had answered 0 for are gone, so later writes are refused and its end
            // reports the loss.
            m_file.m_transactionLost = true;
            m_file.m_transactionBegun = false;
        }
    }

    TableFile& m_file;
    bool m_opened = false;
    bool m_done = false;
};

TableFile::TableFile(fs::path path, SqliteDb db, FileSpec shape)
    : m_path(std::move(path)), m_db(std::move(db)), m_spec(std::move(shape)) {}

TableFile::~TableFile() {
    if (m_bundleOpen || m_readOpen) {
        // The engine commits bundles before it lets a file go; this is the last resort.
        try {
            CommitBundle();
        } catch (...) {
        }
    }
    if (m_inTransaction && sqlite3_get_autocommit(m_db.Get()) == 0) {
        sqlite3_exec(m_db.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    // Statements go before the connection.
    m_scans.clear();
    m_byId.clear();
    m_begin = {};
    m_beginDeferred = {};
    m_commit = {};
    m_rollback = {};
    m_insert = {};
    m_update = {};
    m_delete = {};
    m_readKeys = {};
    m_count = {};
    m_loadSequence = {};
    m_saveSequence = {};
    m_setMark = {};
    m_readDataVersion = {};
}

void TableFile::PrepareStatements() {
    sqlite3* db = m_db.Get();
    m_begin = SqliteStatement(db, "BEGIN IMMEDIATE");
    m_beginDeferred = SqliteStatement(db, "BEGIN");
    m_commit = SqliteStatement(db, "COMMIT");
    m_rollback = SqliteStatement(db, "ROLLBACK");
    const std::string keyColumns = KeyColumnList(m_spec);
    const std::size_t keyCount = KeyColumnCount(m_spec);
    m_insert = SqliteStatement(db, "INSERT INTO ks_record(id, data" + keyColumns +
                                       ") VALUES(?1, ?2" + Placeholders(3, keyCount) + ")");
    std::string assignments = "data = ?2";
    int index = 3;
    for (std::size_t k = 0; k < m_spec.keys.size(); ++k) {
        assignments += ", " + KeyColumn(k) + " = ?" + std::to_string(index++);
        if (m_spec.keys[k].Duplicates()) {
            assignments += ", " + SeqColumn(k) + " = ?" + std::to_string(index++);
        }
    }
    m_update = SqliteStatement(db, "UPDATE ks_record SET " + assignments + " WHERE id = ?1");
    m_delete = SqliteStatement(db, "DELETE FROM ks_record WHERE id = ?1");
    m_readKeys = SqliteStatement(db, "SELECT data" + keyColumns + " FROM ks_record WHERE id = ?1");
    m_count = SqliteStatement(db, "SELECT count(*) FROM ks_record");
    m_loadSequence = SqliteStatement(db, "SELECT next_sequence FROM ks_file");
    m_saveSequence = SqliteStatement(db, "UPDATE ks_file SET next_sequence = ?1");
    m_setMark = SqliteStatement(
        db, "PRAGMA user_version=" + std::to_string(static_cast<std::int32_t>(m_mark)));
    m_readDataVersion = SqliteStatement(db, "PRAGMA data_version");
    m_byId.resize(m_spec.keys.size());
}

bool TableFile::ReadOnly() const {
    return m_db.ReadOnly();
}

void TableFile::LoadSequence() {
    if (m_sequenceLoaded) {
        return;
    }
    StatementUse use(m_loadSequence);
    if (use->Step()) {
        // Another process may have written since: never hand out a number twice.
        m_nextSequence = std::max(m_nextSequence, use->ColumnInt(0));
    }
    m_sequenceLoaded = true;
}

void TableFile::SaveSequence() {
    StatementUse use(m_saveSequence);
    use->BindInt(1, m_nextSequence);
    use->Run();
}

std::vector<std::string> TableFile::IndexKeys(std::string_view record) const {
    std::vector<std::string> keys;
    keys.reserve(m_spec.keys.size());
    for (const auto& key : m_spec.keys) {
        keys.push_back(FoldKeyOfRecord(key, record));
    }
    return keys;
}

void TableFile::BindKeys(SqliteStatement& statement, int firstIndex,
                         const std::vector<std::string>& keys,
                         const std::vector<std::int64_t>& sequences) {
    int index = firstIndex;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        statement.BindBlobInPlace(index++, keys[k]);
        if (m_spec.keys[k].Duplicates()) {
            statement.BindInt(index++, sequences[k]);
        }
    }
}

std::int16_t TableFile::Insert(std::string_view record, std::int64_t& id) {
    return InsertWith(record, nullptr, id);
}

std::int16_t TableFile::InsertOrdered(std::string_view record,
                                      const std::vector<std::int64_t>& order, std::int64_t& id) {
    return InsertWith(record, &order, id);
}

std::int16_t TableFile::InsertWith(std::string_view record, const std::vector<std::int64_t>* order,
                                   std::int64_t& id) {
    WriteScope scope(*this);
    id = m_nextSequence++;
    const std::vector<std::string> keys = IndexKeys(record);
    std::vector<std::int64_t> sequences(keys.size(), id);
    if (order != nullptr) {
        for (std::size_t k = 0; k < keys.size() && k < order->size(); ++k) {
            if (m_spec.keys[k].Duplicates()) {
                sequences[k] = (*order)[k];
                // A later insert goes after every duplicate placed here.
                m_nextSequence = std::max(m_nextSequence, (*order)[k] + 1);
            }
        }
    }
    {
        StatementUse use(m_insert);
        use->BindInt(1, id);
        use->BindBlobInPlace(2, record);
        BindKeys(m_insert, 3, keys, sequences);
        const int code = use->StepCode();
        if ((code & 0xFF) == SQLITE_CONSTRAINT) {
            return status::kDuplicateKey;
        }
        CheckSqlite(code, m_db.Get());
    }
    m_sequenceChanged = true;
    scope.Done();
    return status::kSuccess;
}

std::int16_t TableFile::Update(std::int64_t id, std::string_view record, bool& found) {
    WriteScope scope(*this);
    std::vector<std::string> oldKeys;
    std::vector<std::int64_t> sequences;
    {
        StatementUse use(m_readKeys);
        use->BindInt(1, id);
        found = use->Step();
        if (!found) {
            return status::kSuccess;
        }
        int column = 1;
        for (const auto& key : m_spec.keys) {
            oldKeys.push_back(use->ColumnBlob(column++));
            sequences.push_back(key.Duplicates() ? use->ColumnInt(column++) : 0);
        }
    }
    const std::vector<std::string> keys = IndexKeys(record);
    bool newSequence = false;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k] == oldKeys[k]) {
            continue;
        }
        if (!m_spec.keys[k].Modifiable()) {
            return status::kModifiableKeyChanged;
        }
        // A record whose key changes goes after the duplicates it joins.
        sequences[k] = m_nextSequence;
        newSequence = true;
    }
    if (newSequence) {
        ++m_nextSequence;
    }
    {
        StatementUse use(m_update);
        use->BindInt(1, id);
        use->BindBlobInPlace(2, record);
        BindKeys(m_update, 3, keys, sequences);
        const int code = use->StepCode();
        if ((code & 0xFF) == SQLITE_CONSTRAINT) {
            return status::kDuplicateKey;
        }
        CheckSqlite(code, m_db.Get());
    }
    m_sequenceChanged = m_sequenceChanged || newSequence;
    scope.Done();
    return status::kSuccess;
}

bool TableFile::Delete(std::int64_t id) {
    WriteScope scope(*this);
    StatementUse use(m_delete);
    use->BindInt(1, id);
    use->Run();
    if (sqlite3_changes(m_db.Get()) == 0) {
        return false;
    }
    scope.Done();
    return true;
}

void TableFile::CommitWithMark() {
    if (m_sequenceChanged) {
        SaveSequence();
        m_sequenceChanged = false;
    }
    {
        StatementUse mark(m_setMark);
        mark->Run();
    }
    StatementUse commit(m_commit);
    commit->Run();
}

bool TableFile::CommitBundle(int unansweredWrites) {
    DropScans();
    if (!m_bundleOpen) {
        EndReadWindow();
        return false;
    }
    m_bundleOpen = false;
    const int writes = std::exchange(m_bundleWrites, 0);
    try {
        CommitWithMark();
    } catch (...) {
        if (sqlite3_get_autocommit(m_db.Get()) == 0) {
            StatementUse rollback(m_rollback);
            rollback->StepCode();
        }
        m_writesRefused = m_writesRefused || writes > unansweredWrites;
        throw;
    }
    return true;
}

void TableFile::JoinTransaction() {
    CommitBundle();
    m_inTransaction = true;
    m_transactionBegun = false;
    m_transactionLost = false;
    m_transactionWrote = false;
}

void TableFile::TouchTransaction() {
    if (!m_inTransaction || m_transactionBegun || m_transactionLost) {
        return;
    }
    // A read-only connection cannot take the write lock, and has nothing to protect.
    StatementUse begin(ReadOnly() ? m_beginDeferred : m_begin);
    begin->Run();
    m_transactionBegun = true;
    m_sequenceLoaded = false;
}

void TableFile::CommitTransaction() {
    DropScans();
    if (m_transactionLost) {
        RollbackTransaction();
        throw SqliteError(SQLITE_IOERR, "the transaction was lost after a failed write");
    }
    if (m_transactionWrote) {
        CommitWithMark();
    } else if (m_transactionBegun) {
        StatementUse commit(m_commit);
        commit->Run();
    }
    m_inTransaction = false;
    m_transactionBegun = false;
    m_transactionWrote = false;
    m_sequenceLoaded = false;
}

void TableFile::RollbackTransaction() {
    DropScans();
    m_inTransaction = false;
    m_transactionBegun = false;
    m_transactionLost = false;
    m_transactionWrote = false;
    m_sequenceLoaded = false;
    if (sqlite3_get_autocommit(m_db.Get()) == 0) {
        StatementUse rollback(m_rollback);
        rollback->Run();
    }
}

}  // namespace ks::engine
