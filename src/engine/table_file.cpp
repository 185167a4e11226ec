#include "engine/table_file.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "engine/btr_codes.h"
#include "engine/key_bytes.h"
#include "engine/position_block.h"
#include "engine/table_schema.h"

namespace ks::engine {
namespace fs = std::filesystem;

namespace {

constexpr const char* kFormatName = "ks-table";

// Columns of the keys in the order the insert and update statements bind them.
std::string KeyColumnList(const FileSpec& spec) {
    std::string list;
    for (std::size_t k = 0; k < spec.keys.size(); ++k) {
        list += ", " + KeyColumn(k);
        if (spec.keys[k].Duplicates()) {
            list += ", " + SeqColumn(k);
        }
    }
    return list;
}

std::size_t KeyColumnCount(const FileSpec& spec) {
    std::size_t count = 0;
    for (const auto& key : spec.keys) {
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

std::uint32_t BigEndian(const unsigned char* bytes, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

// A cheap look at the first bytes before SQLite opens the file: any other file, an empty one,
// another SQLite database or a file cut short is not a table file of ours.
std::int16_t CheckHeader(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error) {
        return status::kIoError;
    }
    std::ifstream in(path, std::ios::binary);
    unsigned char header[100] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) {
        return in.bad() ? status::kIoError : status::kNotATableFile;
    }
    static constexpr char kMagic[] = "SQLite format 3";  // with its ending 0: 16 bytes
    if (std::string_view(reinterpret_cast<const char*>(header), 16) !=
            std::string_view(kMagic, 16) ||
        static_cast<std::int32_t>(BigEndian(header + 68, 4)) != kTableApplicationId) {
        return status::kNotATableFile;
    }
    std::uint32_t pageSize = BigEndian(header + 16, 2);
    pageSize = pageSize == 1 ? 65536 : pageSize;
    const std::uint32_t pageCount = BigEndian(header + 28, 4);
    const bool countValid = BigEndian(header + 24, 4) == BigEndian(header + 92, 4);
    // A file left mid-write holds a journal that SQLite replays on open: its size may differ.
    fs::path journal = path;
    journal += "-journal";
    if (countValid && !fs::exists(journal, error) &&
        size < static_cast<std::uintmax_t>(pageCount) * pageSize) {
        return status::kNotATableFile;
    }
    return status::kSuccess;
}

std::int16_t OpenStatus(const SqliteError& error) {
    switch (error.Code()) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return status::kFileLocked;
        case SQLITE_CANTOPEN:
            return status::kFileNotFound;
        case SQLITE_IOERR:
        case SQLITE_NOMEM:
            return status::kIoError;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return status::kAccessDenied;
        default:  // a missing table or column, a damaged or foreign database
            return status::kNotATableFile;
    }
}

FileSpec ReadSpec(SqliteDb& db, std::int64_t& nextSequence) {
    FileSpec spec;
    {
        SqliteStatement header(db.Get(),
                               "SELECT format, version, record_length, page_size, file_flags, "
                               "next_sequence FROM ks_file");
        if (!header.Step() || header.ColumnText(0) != kFormatName ||
            header.ColumnInt(1) != kTableFormatVersion) {
            throw SqliteError(SQLITE_NOTADB, "not a table file");
        }
        spec.recordLength = static_cast<std::uint16_t>(header.ColumnInt(2));
        spec.pageSize = static_cast<std::uint16_t>(header.ColumnInt(3));
        spec.fileFlags = static_cast<std::uint16_t>(header.ColumnInt(4));
        nextSequence = header.ColumnInt(5);
        if (header.Step()) {
            throw SqliteError(SQLITE_NOTADB, "two file headers");
        }
    }
    SqliteStatement segments(db.Get(),
                             "SELECT key_number, segment_number, position, length, flags "
                             "FROM ks_key_segment ORDER BY key_number, segment_number");
    while (segments.Step()) {
        const auto keyNumber = static_cast<std::size_t>(segments.ColumnInt(0));
        const auto segmentNumber = static_cast<std::size_t>(segments.ColumnInt(1));
        if (keyNumber > spec.keys.size() || (keyNumber == spec.keys.size() && segmentNumber != 0) ||
            (keyNumber < spec.keys.size() &&
             segmentNumber != spec.keys[keyNumber].segments.size())) {
            throw SqliteError(SQLITE_NOTADB, "key segments out of order");
        }
        if (keyNumber == spec.keys.size()) {
            spec.keys.emplace_back();
        }
        KeySegment segment{static_cast<std::uint16_t>(segments.ColumnInt(2)),
                           static_cast<std::uint16_t>(segments.ColumnInt(3)),
                           static_cast<std::uint16_t>(segments.ColumnInt(4))};
        if (segment.position == 0 || segment.length == 0 ||
            segment.position + segment.length - 1U > spec.recordLength) {
            throw SqliteError(SQLITE_NOTADB, "key segment outside the record");
        }
        spec.keys[keyNumber].segments.push_back(segment);
    }
    if (spec.recordLength == 0) {
        throw SqliteError(SQLITE_NOTADB, "record length 0");
    }
    return spec;
}

}  // namespace

// Outside a transaction of the caller, one write is one commit; inside, it joins it.
class TableFile::WriteScope {
  public:
    explicit WriteScope(TableFile& file) : m_file(file), m_own(!file.m_inTransaction) {
        if (m_own) {
            StatementUse begin(m_file.m_begin);
            begin->Run();
            m_file.m_sequenceLoaded = false;
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

    void Commit() {
        if (m_own) {
            StatementUse commit(m_file.m_commit);
            commit->Run();
        }
        m_done = true;
    }

  private:
    // Undoes the write: the scope's own transaction is rolled back; the caller's stays open.
    void Abandon() {
        sqlite3* db = m_file.m_db.Get();
        if (m_own) {
            if (sqlite3_get_autocommit(db) == 0) {
                StatementUse rollback(m_file.m_rollback);
                rollback->StepCode();
            }
        } else if (sqlite3_get_autocommit(db) != 0) {
            // SQLite gave up the caller's transaction after an I/O or lock failure: later
            // writes must still not commit one by one, and its end must report the loss.
            m_file.m_transactionLost = true;
            StatementUse begin(m_file.m_beginDeferred);
            begin->StepCode();
        }
    }

    TableFile& m_file;
    bool m_own;
    bool m_done = false;
};

void TableFile::Create(const fs::path& path, const FileSpec& spec,
                       const TableOpenOptions& options) {
    fs::path building = path;
    building += ".ks-new";
    fs::remove(building);
    {
        SqliteDb db(building, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, options.vfs);
        if (!options.waitForDisk) {
            db.Exec("PRAGMA synchronous=OFF");
        }
        db.Exec("PRAGMA page_size=4096; PRAGMA journal_mode=DELETE; PRAGMA application_id=" +
                std::to_string(kTableApplicationId) +
                "; PRAGMA user_version=" + std::to_string(kTableFormatVersion));
        db.Exec("BEGIN");
        db.Exec(
            "CREATE TABLE ks_file(format TEXT NOT NULL, version INTEGER NOT NULL, "
            "record_length INTEGER NOT NULL, page_size INTEGER NOT NULL, "
            "file_flags INTEGER NOT NULL, next_sequence INTEGER NOT NULL);"
            "CREATE TABLE ks_key_segment(key_number INTEGER NOT NULL, "
            "segment_number INTEGER NOT NULL, position INTEGER NOT NULL, "
            "length INTEGER NOT NULL, flags INTEGER NOT NULL, "
            "PRIMARY KEY(key_number, segment_number))");
        std::string columns = "id INTEGER PRIMARY KEY, data BLOB NOT NULL";
        std::string indexes;
        for (std::size_t k = 0; k < spec.keys.size(); ++k) {
            columns += ", " + KeyColumn(k) + " BLOB NOT NULL";
            if (spec.keys[k].Duplicates()) {
                columns += ", " + SeqColumn(k) + " INTEGER NOT NULL";
                indexes += "CREATE INDEX ks_key" + std::to_string(k) + " ON ks_record(" +
                           KeyColumn(k) + ", " + SeqColumn(k) + ");";
            } else {
                indexes += "CREATE UNIQUE INDEX ks_key" + std::to_string(k) + " ON ks_record(" +
                           KeyColumn(k) + ");";
            }
        }
        db.Exec("CREATE TABLE ks_record(" + columns + ");" + indexes);
        SqliteStatement header(db.Get(), "INSERT INTO ks_file VALUES(?1, ?2, ?3, ?4, ?5, 1)");
        header.BindText(1, kFormatName);
        header.BindInt(2, kTableFormatVersion);
        header.BindInt(3, spec.recordLength);
        header.BindInt(4, spec.pageSize);
        header.BindInt(5, spec.fileFlags);
        header.Run();
        SqliteStatement segment(db.Get(), "INSERT INTO ks_key_segment VALUES(?1, ?2, ?3, ?4, ?5)");
        for (std::size_t k = 0; k < spec.keys.size(); ++k) {
            for (std::size_t s = 0; s < spec.keys[k].segments.size(); ++s) {
                const auto& part = spec.keys[k].segments[s];
                segment.Reset();
                segment.BindInt(1, static_cast<std::int64_t>(k));
                segment.BindInt(2, static_cast<std::int64_t>(s));
                segment.BindInt(3, part.position);
                segment.BindInt(4, part.length);
                segment.BindInt(5, part.flags);
                segment.Run();
            }
        }
        db.Exec("COMMIT");
    }
    fs::rename(building, path);
    // A journal left by a crash belongs to the file just replaced; replayed onto the new
    // file it would damage it.
    fs::path journal = path;
    journal += "-journal";
    fs::remove(journal);
}

std::int16_t TableFile::Open(const fs::path& path, const TableOpenOptions& options,
                             std::unique_ptr<TableFile>& out) {
    const std::int16_t headerStatus = CheckHeader(path);
    if (headerStatus != status::kSuccess) {
        return headerStatus;
    }
    try {
        SqliteDb db(path, SQLITE_OPEN_READWRITE, options.vfs);
        sqlite3_busy_timeout(db.Get(), options.busyTimeoutMs);
        if (!options.waitForDisk) {
            db.Exec("PRAGMA synchronous=OFF");
        }
        if (options.exclusive) {
            // Exclusive locking keeps the lock of the first write until the file is closed.
            db.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT");
        }
        std::int64_t nextSequence = 1;
        FileSpec spec = ReadSpec(db, nextSequence);
        std::unique_ptr<TableFile> file(new TableFile(path, std::move(db), std::move(spec)));
        file->m_nextSequence = nextSequence;
        file->PrepareStatements();
        out = std::move(file);
        return status::kSuccess;
    } catch (const SqliteError& error) {
        return OpenStatus(error);
    }
}

TableFile::TableFile(fs::path path, SqliteDb db, FileSpec spec)
    : m_path(std::move(path)), m_db(std::move(db)), m_spec(std::move(spec)) {}

TableFile::~TableFile() {
    if (m_inTransaction && sqlite3_get_autocommit(m_db.Get()) == 0) {
        sqlite3_exec(m_db.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    // Statements go before the connection.
    m_seek.clear();
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
    m_seek.resize(m_spec.keys.size());
    m_byId.resize(m_spec.keys.size());
}

bool TableFile::ReadOnly() const {
    return m_db.ReadOnly();
}

SqliteStatement& TableFile::SeekStatement(std::size_t keyNumber, Seek seek) {
    SqliteStatement& statement = m_seek[keyNumber][static_cast<std::size_t>(seek)];
    if (statement.Prepared()) {
        return statement;
    }
    const bool duplicates = m_spec.keys[keyNumber].Duplicates();
    const std::string k = KeyColumn(keyNumber);
    const std::string s = SeqColumn(keyNumber);
    const std::string select =
        "SELECT id, data, " + k + ", " + (duplicates ? s : "0") + " FROM ks_record ";
    const std::string ascending = " ORDER BY " + (duplicates ? k + ", " + s : k) + " LIMIT 1";
    const std::string descending =
        " ORDER BY " + (duplicates ? k + " DESC, " + s + " DESC" : k + " DESC") + " LIMIT 1";
    const std::string position = duplicates ? "(" + k + ", " + s + ")" : k;
    const std::string from = duplicates ? "(?1, ?2)" : "?1";
    std::string sql;
    switch (seek) {
        case Seek::kFirst:
            sql = select + ascending;
            break;
        case Seek::kLast:
            sql = select + descending;
            break;
        case Seek::kGreaterOrEqual:
            sql = select + "WHERE " + k + " >= ?1" + ascending;
            break;
        case Seek::kGreater:
            sql = select + "WHERE " + k + " > ?1" + ascending;
            break;
        case Seek::kLessOrEqual:
            sql = select + "WHERE " + k + " <= ?1" + descending;
            break;
        case Seek::kLess:
            sql = select + "WHERE " + k + " < ?1" + descending;
            break;
        case Seek::kNext:
            sql = select + "WHERE " + position + " > " + from + ascending;
            break;
        case Seek::kPrevious:
            sql = select + "WHERE " + position + " < " + from + descending;
            break;
    }
    statement = SqliteStatement(m_db.Get(), sql);
    return statement;
}

std::optional<FoundRecord> TableFile::Find(std::size_t keyNumber, Seek seek,
                                           std::string_view indexKey, std::int64_t sequence) {
    StatementUse use(SeekStatement(keyNumber, seek));
    if (seek != Seek::kFirst && seek != Seek::kLast) {
        use->BindBlob(1, indexKey);
    }
    if ((seek == Seek::kNext || seek == Seek::kPrevious) && m_spec.keys[keyNumber].Duplicates()) {
        use->BindInt(2, sequence);
    }
    if (!use->Step()) {
        return std::nullopt;
    }
    return FoundRecord{use->ColumnInt(0), use->ColumnInt(3), use->ColumnBlob(2),
                       use->ColumnBlob(1)};
}

std::optional<FoundRecord> TableFile::ReadById(std::size_t keyNumber, std::int64_t id) {
    SqliteStatement& statement = m_byId[keyNumber];
    if (!statement.Prepared()) {
        const bool duplicates = m_spec.keys[keyNumber].Duplicates();
        statement = SqliteStatement(m_db.Get(), "SELECT id, data, " + KeyColumn(keyNumber) + ", " +
                                                    (duplicates ? SeqColumn(keyNumber) : "0") +
                                                    " FROM ks_record WHERE id = ?1");
    }
    StatementUse use(statement);
    use->BindInt(1, id);
    if (!use->Step()) {
        return std::nullopt;
    }
    return FoundRecord{use->ColumnInt(0), use->ColumnInt(3), use->ColumnBlob(2),
                       use->ColumnBlob(1)};
}

std::uint32_t TableFile::RecordCount() {
    StatementUse use(m_count);
    return use->Step() ? static_cast<std::uint32_t>(use->ColumnInt(0)) : 0;
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
        keys.push_back(FoldKey(key, KeyOfRecord(key, record)));
    }
    return keys;
}

void TableFile::BindKeys(SqliteStatement& statement, int firstIndex,
                         const std::vector<std::string>& keys,
                         const std::vector<std::int64_t>& sequences) {
    int index = firstIndex;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        statement.BindBlob(index++, keys[k]);
        if (m_spec.keys[k].Duplicates()) {
            statement.BindInt(index++, sequences[k]);
        }
    }
}

std::int16_t TableFile::Insert(std::string_view record, std::int64_t& id) {
    WriteScope scope(*this);
    id = m_nextSequence++;
    const std::vector<std::string> keys = IndexKeys(record);
    const std::vector<std::int64_t> sequences(keys.size(), id);
    {
        StatementUse use(m_insert);
        use->BindInt(1, id);
        use->BindBlob(2, record);
        BindKeys(m_insert, 3, keys, sequences);
        const int code = use->StepCode();
        if ((code & 0xFF) == SQLITE_CONSTRAINT) {
            return status::kDuplicateKey;
        }
        CheckSqlite(code, m_db.Get());
    }
    SaveSequence();
    scope.Commit();
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
        use->BindBlob(2, record);
        BindKeys(m_update, 3, keys, sequences);
        const int code = use->StepCode();
        if ((code & 0xFF) == SQLITE_CONSTRAINT) {
            return status::kDuplicateKey;
        }
        CheckSqlite(code, m_db.Get());
    }
    if (newSequence) {
        SaveSequence();
    }
    scope.Commit();
    return status::kSuccess;
}

bool TableFile::Delete(std::int64_t id) {
    WriteScope scope(*this);
    std::vector<std::pair<std::size_t, std::string>> longKeys;
    for (std::size_t k = 0; k < m_spec.keys.size(); ++k) {
        if (m_spec.keys[k].Length() > kBlockKeyCapacity) {
            if (auto found = ReadById(k, id)) {
                longKeys.emplace_back(k, std::move(found->indexKey));
            }
        }
    }
    StatementUse use(m_delete);
    use->BindInt(1, id);
    use->Run();
    if (sqlite3_changes(m_db.Get()) == 0) {
        return false;
    }
    scope.Commit();
    for (auto& [k, key] : longKeys) {
        m_deletedLongKeys[{id, k}] = std::move(key);
    }
    return true;
}

std::optional<std::string> TableFile::DeletedKey(std::int64_t id, std::size_t keyNumber) const {
    const auto it = m_deletedLongKeys.find({id, keyNumber});
    if (it == m_deletedLongKeys.end()) {
        return std::nullopt;
    }
    return it->second;
}

void TableFile::BeginTransaction() {
    StatementUse begin(m_beginDeferred);
    begin->Run();
    m_inTransaction = true;
    m_transactionLost = false;
    m_sequenceLoaded = false;
}

void TableFile::CommitTransaction() {
    if (m_transactionLost) {
        RollbackTransaction();
        throw SqliteError(SQLITE_IOERR, "the transaction was lost after a failed write");
    }
    {
        StatementUse commit(m_commit);
        commit->Run();
    }
    m_inTransaction = false;
    m_sequenceLoaded = false;
}

void TableFile::RollbackTransaction() {
    m_inTransaction = false;
    m_transactionLost = false;
    m_sequenceLoaded = false;
    if (sqlite3_get_autocommit(m_db.Get()) == 0) {
        StatementUse rollback(m_rollback);
        rollback->Run();
    }
}

}  // namespace ks::engine
