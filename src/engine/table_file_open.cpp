// Making and opening a table file: the checks of its header and side files before SQLite
// sees it, the shape read back from its catalogue, and the status each failure is answered
// with. The records and transactions of an open table are in table_file.cpp.
#include <algorithm>
#include <cstring>
#include <random>
#include <system_error>

#include "engine/side_files.h"
#include "engine/sole_use.h"
#include "engine/table_file.h"
#include "engine/table_schema.h"
#include "ks/engine/btr_codes.h"
#include "ks/engine/file_kind.h"

namespace ks::engine {
namespace fs = std::filesystem;

namespace {

constexpr const char* kFormatName = "ks-table";

std::uint32_t BigEndian(const unsigned char* bytes, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

constexpr std::size_t kHeaderSize = 100;

// A file cut short: shorter than its header says, with no log beside it that holds the rest
// (a checkpoint killed half-way writes the first page before the file has grown).
bool CutShort(const fs::path& path, const unsigned char* header, std::int64_t fileSize) {
    std::uint32_t pageSize = BigEndian(header + 16, 2);
    pageSize = pageSize == 1 ? 65536 : pageSize;
    const std::uint32_t pageCount = BigEndian(header + 28, 4);
    const bool countValid = BigEndian(header + 24, 4) == BigEndian(header + 92, 4);
    std::error_code error;
    return countValid && !fs::exists(SideFile(path, kLogSuffix), error) &&
           !fs::exists(SideFile(path, kJournalSuffix), error) &&
           fileSize < static_cast<std::int64_t>(pageCount) * pageSize;
}

bool WriteAheadLogMode(const unsigned char* header) {
    return header[18] == 2 && header[19] == 2;
}

// A new session mark: random, never 0 and never the one before.
std::uint32_t NewMark(std::uint32_t previous) {
    std::random_device random;
    std::uint32_t mark = 0;
    while (mark == 0 || mark == previous) {
        mark = random();
    }
    return mark;
}

void Checkpoint(sqlite3* db) {
    int logFrames = -1;
    int done = -1;
    CheckSqlite(
        sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, &logFrames, &done), db);
    if (logFrames != 0) {
        throw SqliteError(SQLITE_BUSY, "the log could not be emptied");
    }
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
        case SQLITE_FULL:
            return status::kDiskFull;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return status::kAccessDenied;
        default:  // a missing table or column, a damaged or foreign database
            return status::kNotATableFile;
    }
}

// One table or index of a table file as the engine makes it. SQLite keeps each statement's
// text as it was run; the index it makes for a primary key has none.
struct SchemaEntry {
    std::string type;
    std::string name;
    std::string sql;
};

// Everything the engine puts in the schema of a table file of this shape, in creation order.
// A version 1 table gets the very statements of the first builds.
std::vector<SchemaEntry> SchemaOf(const FileSpec& shape, int version) {
    std::vector<SchemaEntry> schema{
        {"table", "ks_file",
         "CREATE TABLE ks_file(format TEXT NOT NULL, version INTEGER NOT NULL, "
         "record_length INTEGER NOT NULL, page_size INTEGER NOT NULL, "
         "file_flags INTEGER NOT NULL, next_sequence INTEGER NOT NULL)"},
        {"table", "ks_key_segment",
         std::string("CREATE TABLE ks_key_segment(key_number INTEGER NOT NULL, "
                     "segment_number INTEGER NOT NULL, position INTEGER NOT NULL, "
                     "length INTEGER NOT NULL, flags INTEGER NOT NULL, ") +
             (version == kFirstTableFormat ? "" : "type INTEGER NOT NULL, ") +
             "PRIMARY KEY(key_number, segment_number))"},
        {"index", "sqlite_autoindex_ks_key_segment_1", ""},
    };
    std::string columns = "id INTEGER PRIMARY KEY, data BLOB NOT NULL";
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        columns += ", " + KeyColumn(k) + " BLOB NOT NULL";
        if (shape.keys[k].Duplicates()) {
            columns += ", " + SeqColumn(k) + " INTEGER NOT NULL";
        }
    }
    schema.push_back({"table", "ks_record", "CREATE TABLE ks_record(" + columns + ")"});
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        const std::string name = "ks_key" + std::to_string(k);
        schema.push_back({"index", name,
                          shape.keys[k].Duplicates() ? "CREATE INDEX " + name + " ON ks_record(" +
                                                           KeyColumn(k) + ", " + SeqColumn(k) + ")"
                                                     : "CREATE UNIQUE INDEX " + name +
                                                           " ON ks_record(" + KeyColumn(k) + ")"});
    }
    return schema;
}

// A file whose schema holds anything the engine did not put there (a trigger, a view, another
// table or index, a changed column) is not one of its tables, whatever its header says.
void CheckSchema(SqliteDb& db, const FileSpec& shape, int version) {
    std::vector<SchemaEntry> expected = SchemaOf(shape, version);
    SqliteStatement found(db.Get(), "SELECT type, name, sql FROM sqlite_schema");
    std::size_t count = 0;
    while (found.Step()) {
        const SchemaEntry entry{found.ColumnText(0), found.ColumnText(1), found.ColumnText(2)};
        const auto same = std::find_if(expected.begin(), expected.end(), [&](const auto& ours) {
            return ours.type == entry.type && ours.name == entry.name && ours.sql == entry.sql;
        });
        if (same == expected.end()) {
            throw SqliteError(SQLITE_NOTADB, "the schema holds " + entry.type + " " + entry.name +
                                                 " that the engine did not make");
        }
        ++count;
    }
    if (count != expected.size()) {
        throw SqliteError(SQLITE_NOTADB, "the schema lacks a table or an index of the engine's");
    }
}

FileSpec ReadSpec(SqliteDb& db, std::int64_t& nextSequence, int& version) {
    FileSpec shape;
    {
        SqliteStatement header(db.Get(),
                               "SELECT format, version, record_length, page_size, file_flags, "
                               "next_sequence FROM ks_file");
        if (!header.Step() || header.ColumnText(0) != kFormatName) {
            throw SqliteError(SQLITE_NOTADB, "not a table file");
        }
        version = static_cast<int>(header.ColumnInt(1));
        if (version < kFirstTableFormat || version > kTableFormatVersion) {
            throw SqliteError(SQLITE_NOTADB, "a table format this build does not know");
        }
        shape.recordLength = static_cast<std::uint16_t>(header.ColumnInt(2));
        shape.pageSize = static_cast<std::uint16_t>(header.ColumnInt(3));
        shape.fileFlags = static_cast<std::uint16_t>(header.ColumnInt(4));
        nextSequence = header.ColumnInt(5);
        if (header.Step()) {
            throw SqliteError(SQLITE_NOTADB, "two file headers");
        }
    }
    SqliteStatement segments(db.Get(), std::string("SELECT key_number, segment_number, position, "
                                                   "length, flags, ") +
                                           (version == kFirstTableFormat ? "0" : "type") +
                                           " FROM ks_key_segment ORDER BY key_number, "
                                           "segment_number");
    while (segments.Step()) {
        const auto keyNumber = static_cast<std::size_t>(segments.ColumnInt(0));
        const auto segmentNumber = static_cast<std::size_t>(segments.ColumnInt(1));
        if (keyNumber > shape.keys.size() ||
            (keyNumber == shape.keys.size() && segmentNumber != 0) ||
            (keyNumber < shape.keys.size() &&
             segmentNumber != shape.keys[keyNumber].segments.size())) {
            throw SqliteError(SQLITE_NOTADB, "key segments out of order");
        }
        if (keyNumber == shape.keys.size()) {
            shape.keys.emplace_back();
        }
        KeySegment segment{static_cast<std::uint16_t>(segments.ColumnInt(2)),
                           static_cast<std::uint16_t>(segments.ColumnInt(3)),
                           static_cast<std::uint16_t>(segments.ColumnInt(4)),
                           static_cast<std::uint8_t>(segments.ColumnInt(5))};
        if (segment.position == 0 || segment.length == 0 ||
            segment.position + segment.length - 1U > shape.recordLength) {
            throw SqliteError(SQLITE_NOTADB, "key segment outside the record");
        }
        if (version > kFirstTableFormat && CheckSegment(segment) != status::kSuccess) {
            throw SqliteError(SQLITE_NOTADB, "a key segment this build cannot order");
        }
        shape.keys[keyNumber].segments.push_back(segment);
    }
    if (shape.recordLength == 0) {
        throw SqliteError(SQLITE_NOTADB, "record length 0");
    }
    return shape;
}

}  // namespace

int TableFormatOf(const FileSpec& shape) {
    constexpr std::uint16_t kNewFlags = key_flag::kExtendedType | key_flag::kAlternateCollation;
    bool typed = false;
    for (const auto& key : shape.keys) {
        for (const auto& segment : key.segments) {
            typed = typed || (segment.flags & kNewFlags) != 0;
        }
    }
    return typed || shape.Variable() ? kTableFormatVersion : kFirstTableFormat;
}

std::int16_t TableFile::Create(const fs::path& path, const FileSpec& shape,
                               const TableOpenOptions& options,
                               const std::function<void(TableFile&)>& fill) {
    // A file that another connection, of this process or another, has open is not replaced:
    // that connection would go on writing into the unlinked file and a log removed below, and
    // its writes would be lost. The file stays locked until the new one has taken its place.
    SqliteDb current;
    std::unique_ptr<SoleUse> use;
    std::error_code error;
    if (fs::exists(path, error)) {
        current = SqliteDb(path, SQLITE_OPEN_READWRITE, options.vfs);
        if (!current.ReadOnly()) {
            use = std::make_unique<SoleUse>(current.Get());
            const int locked = use->LockShared(options.busyTimeoutMs);
            if (locked == SQLITE_BUSY || (locked == SQLITE_OK && !use->TryExclusive())) {
                return status::kFileLocked;
            }
            CheckSqlite(locked, current.Get());
        }
    }
    const int version = TableFormatOf(shape);
    fs::path building = path;
    building += ".ks-new";
    for (const char* suffix : {"", kLogSuffix, kIndexSuffix, kJournalSuffix}) {
        fs::remove(SideFile(building, suffix));
    }
    {
        SqliteDb db(building, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, options.vfs);
        // In write-ahead-log mode from the start, with a first session mark of its own.
        db.Exec(std::string("PRAGMA page_size=4096; PRAGMA journal_mode=WAL; PRAGMA synchronous=") +
                (options.waitForDisk ? kTableSynchronous : "NORMAL") +
                "; PRAGMA application_id=" + std::to_string(kTableApplicationId) +
                "; PRAGMA user_version=" + std::to_string(static_cast<std::int32_t>(NewMark(0))));
        db.Exec("BEGIN");
        for (const SchemaEntry& entry : SchemaOf(shape, version)) {
            if (!entry.sql.empty()) {
                db.Exec(entry.sql);
            }
        }
        SqliteStatement header(db.Get(), "INSERT INTO ks_file VALUES(?1, ?2, ?3, ?4, ?5, 1)");
        header.BindText(1, kFormatName);
        header.BindInt(2, version);
        header.BindInt(3, shape.recordLength);
        header.BindInt(4, shape.pageSize);
        header.BindInt(5, shape.fileFlags);
        header.Run();
        SqliteStatement segment(db.Get(),
                                version == kFirstTableFormat
                                    ? "INSERT INTO ks_key_segment VALUES(?1, ?2, ?3, ?4, ?5)"
                                    : "INSERT INTO ks_key_segment VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
        for (std::size_t k = 0; k < shape.keys.size(); ++k) {
            for (std::size_t s = 0; s < shape.keys[k].segments.size(); ++s) {
                const auto& part = shape.keys[k].segments[s];
                segment.Reset();
                segment.BindInt(1, static_cast<std::int64_t>(k));
                segment.BindInt(2, static_cast<std::int64_t>(s));
                segment.BindInt(3, part.position);
                segment.BindInt(4, part.length);
                segment.BindInt(5, part.flags);
                if (version != kFirstTableFormat) {
                    segment.BindInt(6, part.type);
                }
                segment.Run();
            }
        }
        db.Exec("COMMIT");
    }
    if (fill) {
        try {
            std::unique_ptr<TableFile> file;
            if (const auto opened = Open(building, options, file); opened != status::kSuccess) {
                throw SqliteError(SQLITE_CANTOPEN, "the new table cannot be opened");
            }
            // Nothing else sees the new file and a failure throws it away: it is filled
            // without its log, each page written once, and is in log mode again before it
            // takes the old file's place.
            file->m_db.Exec("PRAGMA journal_mode=MEMORY");
            fill(*file);
            file->CommitBundle();
            file->m_db.Exec("PRAGMA journal_mode=WAL");
        } catch (...) {
            std::error_code ignored;
            for (const char* suffix : {"", kLogSuffix, kIndexSuffix, kJournalSuffix}) {
                fs::remove(SideFile(building, suffix), ignored);
            }
            throw;
        }
    }
    // Closed, the new file holds everything: SQLite removed its log.
    fs::rename(building, path);
    // Side files left by a crash belong to the file just replaced; applied to the new file
    // they would damage it.
    for (const char* suffix : {kLogSuffix, kIndexSuffix, kJournalSuffix}) {
        fs::remove(SideFile(path, suffix));
    }
    return status::kSuccess;
}

// Side files met while nobody else has the file: a journal beside a file in log mode, and a
// log with nothing to apply or written for another file, are removed before SQLite sees them.
// `logKept` tells whether a log of the file's own remains, for SQLite to apply.
std::int16_t TableFile::CleanSideFiles(const fs::path& path, const unsigned char* header,
                                       bool& logKept) {
    logKept = false;
    std::vector<const char*> stale;
    if (WriteAheadLogMode(header)) {
        stale.push_back(kJournalSuffix);
    }
    const fs::path log = SideFile(path, kLogSuffix);
    std::error_code error;
    if (fs::exists(log, error)) {
        logKept = InspectLog(log, ReadBigEndian32(header + kMarkOffset)) == LogVerdict::kBelongs;
        if (!logKept) {
            stale.push_back(kLogSuffix);
        }
    }
    // The index of a log is rebuilt by the first connection; a left-over one is only noise.
    stale.push_back(kIndexSuffix);
    for (const char* suffix : stale) {
        fs::remove(SideFile(path, suffix), error);
        if (error && error != std::errc::no_such_file_or_directory) {
            return status::kIoError;
        }
    }
    return status::kSuccess;
}

std::int16_t TableFile::Open(const fs::path& path, const TableOpenOptions& options,
                             std::unique_ptr<TableFile>& out) {
    try {
        SqliteDb db(path, SQLITE_OPEN_READWRITE, options.vfs);
        sqlite3_busy_timeout(db.Get(), options.busyTimeoutMs);
        bool sole = false;
        std::uint32_t mark = 0;
        std::int64_t nextSequence = 1;
        FileSpec shape;
        {
            SoleUse use(db.Get());
            const int locked = use.LockShared(options.busyTimeoutMs);
            if (locked != SQLITE_OK) {
                return locked == SQLITE_BUSY ? status::kFileLocked : status::kIoError;
            }
            unsigned char header[kHeaderSize] = {};
            std::int64_t fileSize = 0;
            if (!use.ReadStart(header, sizeof header, fileSize)) {
                return status::kIoError;
            }
            if (!IsTableHeader(header, fileSize)) {
                return status::kNotATableFile;
            }
            sole = use.TryExclusive();
            bool logKept = false;
            if (sole) {
                if (const auto cleaned = CleanSideFiles(path, header, logKept);
                    cleaned != status::kSuccess) {
                    return cleaned;
                }
                if (!WriteAheadLogMode(header)) {
                    // A journal beside a file in rollback mode may be its own: SQLite decides,
                    // with its own locks.
                    use.Release();
                }
            } else {
                use.Release();
            }
            if (CutShort(path, header, fileSize)) {
                return status::kNotATableFile;
            }
            // A session that has the file to itself starts with a new mark, so that a log it
            // leaves behind is never taken for the log of an older copy of the file. With no
            // log to apply, the file holds everything: the mark goes straight into its header.
            const bool writable = !db.ReadOnly();
            const bool newSession = use.Holding() && writable && !options.readOnly;
            if (newSession && !logKept) {
                unsigned char bytes[4];
                const std::uint32_t next = NewMark(ReadBigEndian32(header + kMarkOffset));
                for (int i = 0; i < 4; ++i) {
                    bytes[i] = static_cast<unsigned char>(next >> (24 - 8 * i));
                }
                // On the disk before any commit of the session, whose log carries the new
                // mark: after a power cut the log must not look foreign to its own table.
                // Without waiting for the disk a power cut may lose the session's commits
                // anyway (see TableOpenOptions), and a log judged foreign is only dropped.
                CheckSqlite(use.Write(bytes, sizeof bytes, kMarkOffset, options.waitForDisk),
                            db.Get());
            }
            if (writable) {
                db.Exec("PRAGMA journal_mode=WAL");
            }
            db.Exec(std::string("PRAGMA synchronous=") +
                    (options.waitForDisk ? kTableSynchronous : "NORMAL") + "; PRAGMA cache_size=-" +
                    std::to_string(kTableCacheKib));
            int version = 0;
            shape = ReadSpec(db, nextSequence, version);
            CheckSchema(db, shape, version);
            mark = static_cast<std::uint32_t>(db.QueryInt("PRAGMA user_version"));
            if (newSession && logKept) {
                // The log of a killed session is applied and emptied first.
                Checkpoint(db.Get());
                mark = NewMark(mark);
                db.Exec("BEGIN IMMEDIATE; PRAGMA user_version=" +
                        std::to_string(static_cast<std::int32_t>(mark)) + "; COMMIT");
                Checkpoint(db.Get());
            }
            if (use.Holding()) {
                use.Downgrade();
            }
        }
        if (options.exclusive) {
            // Exclusive locking keeps the lock of the first write until the file is closed.
            db.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT");
        }
        std::unique_ptr<TableFile> file(new TableFile(path, std::move(db), std::move(shape)));
        file->m_nextSequence = nextSequence;
        file->m_mark = mark;
        file->PrepareStatements();
        out = std::move(file);
        return status::kSuccess;
    } catch (const SqliteError& error) {
        return OpenStatus(error);
    }
}

}  // namespace ks::engine
