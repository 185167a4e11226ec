// The reads of a table file: the statements that seek in key order and the ones a window
// holds positioned for the next read, the read window itself, reads by record id and the
// count. Writes, bundles and transactions are in table_file.cpp.
#include <algorithm>

#include "engine/table_file.h"
#include "engine/table_schema.h"

namespace ks::engine {
namespace {

// Statements of one seek kind on one key, so that a few position blocks reading the same key
// in turn each keep a statement of their own.
constexpr std::size_t kScansPerSeek = 3;

// How long after another process's last commit seen the file's reads go without a shared
// window.
constexpr auto kSharedQuiet = std::chrono::seconds(1);

bool Ascending(Seek seek) {
    return seek == Seek::kFirst || seek == Seek::kGreaterOrEqual || seek == Seek::kGreater ||
           seek == Seek::kNext;
}

// Without a limit: the statement goes on along the index when it is stepped again.
std::string SeekSql(const FileSpec& shape, std::size_t keyNumber, Seek seek) {
    const bool duplicates = shape.keys[keyNumber].Duplicates();
    const std::string k = KeyColumn(keyNumber);
    const std::string s = SeqColumn(keyNumber);
    const std::string select =
        "SELECT id, data, " + k + ", " + (duplicates ? s : "0") + " FROM ks_record ";
    const std::string order =
        Ascending(seek) ? " ORDER BY " + (duplicates ? k + ", " + s : k)
                        : " ORDER BY " + (duplicates ? k + " DESC, " + s + " DESC" : k + " DESC");
    const std::string position = duplicates ? "(" + k + ", " + s + ")" : k;
    const std::string from = duplicates ? "(?1, ?2)" : "?1";
    switch (seek) {
        case Seek::kFirst:
        case Seek::kLast:
            return select + order;
        case Seek::kGreaterOrEqual:
            return select + "WHERE " + k + " >= ?1" + order;
        case Seek::kGreater:
            return select + "WHERE " + k + " > ?1" + order;
        case Seek::kLessOrEqual:
            return select + "WHERE " + k + " <= ?1" + order;
        case Seek::kLess:
            return select + "WHERE " + k + " < ?1" + order;
        case Seek::kNext:
            return select + "WHERE " + position + " > " + from + order;
        case Seek::kPrevious:
            return select + "WHERE " + position + " < " + from + order;
    }
    return {};
}

}  // namespace

void TableFile::OpenReadWindow() {
    if (m_inTransaction || m_bundleOpen) {
        return;
    }
    if (!m_readOpen) {
        {
            StatementUse begin(m_beginDeferred);
            begin->Run();
        }
        m_readOpen = true;
        m_readCount = 0;
        m_readStart = std::chrono::steady_clock::now();
        // Read at the window's start (its snapshot): what another connection committed
        // since the last window changes it, this connection's own commits do not.
        std::int64_t version = 0;
        {
            StatementUse use(m_readDataVersion);
            version = use->Step() ? use->ColumnInt(0) : 0;
        }
        if (m_dataVersion >= 0 && version != m_dataVersion) {
            m_sharedUntil = m_readStart + kSharedQuiet;
        }
        m_dataVersion = version;
        m_readShort = m_readStart < m_sharedUntil;
    }
    ++m_readCount;
}

void TableFile::EndReadWindow() {
    if (!m_readOpen) {
        return;
    }
    DropScans();
    m_readOpen = false;
    m_readCount = 0;
    // A read transaction holds no write: rolling it back loses nothing, and a failure there
    // is nothing a caller could act on.
    if (sqlite3_get_autocommit(m_db.Get()) == 0) {
        StatementUse rollback(m_rollback);
        rollback->StepCode();
    }
}

void TableFile::DropScans() {
    for (auto& scan : m_scans) {
        if (scan->positioned) {
            scan->statement.Reset();
            scan->positioned = false;
        }
    }
}

TableFile::Scan& TableFile::ScanFor(std::size_t keyNumber, Seek seek) {
    Scan* oldest = nullptr;
    std::size_t count = 0;
    for (auto& scan : m_scans) {
        if (scan->keyNumber != keyNumber || scan->seek != seek) {
            continue;
        }
        if (!scan->positioned) {
            return *scan;
        }
        ++count;
        if (oldest == nullptr || scan->lastUse < oldest->lastUse) {
            oldest = scan.get();
        }
    }
    if (oldest != nullptr && count >= kScansPerSeek) {
        oldest->statement.Reset();
        oldest->positioned = false;
        return *oldest;
    }
    auto scan = std::make_unique<Scan>();
    scan->statement = SqliteStatement(m_db.Get(), SeekSql(m_spec, keyNumber, seek));
    scan->keyNumber = keyNumber;
    scan->seek = seek;
    m_scans.push_back(std::move(scan));
    return *m_scans.back();
}

std::optional<FoundView> TableFile::Advance(Scan& scan) {
    scan.positioned = false;
    bool row = false;
    try {
        row = scan.statement.Step();
    } catch (...) {
        scan.statement.Reset();
        throw;
    }
    if (!row) {
        scan.statement.Reset();
        return std::nullopt;
    }
    const SqliteStatement& statement = scan.statement;
    scan.positioned = true;
    scan.id = statement.ColumnInt(0);
    scan.sequence = statement.ColumnInt(3);
    const std::string_view indexKey = statement.ColumnView(2);
    scan.indexKey.assign(indexKey);
    scan.lastUse = ++m_scanClock;
    return FoundView{scan.id, scan.sequence, indexKey, statement.ColumnView(1)};
}

std::optional<FoundView> TableFile::FindInWindow(std::size_t keyNumber, Seek seek,
                                                 std::string_view indexKey, std::int64_t sequence,
                                                 std::int64_t id) {
    TouchTransaction();
    if (seek == Seek::kNext || seek == Seek::kPrevious) {
        const bool ascending = seek == Seek::kNext;
        for (auto& scan : m_scans) {
            if (scan->positioned && scan->keyNumber == keyNumber &&
                Ascending(scan->seek) == ascending && scan->id == id &&
                scan->sequence == sequence && scan->indexKey == indexKey) {
                return Advance(*scan);
            }
        }
    }
    Scan& scan = ScanFor(keyNumber, seek);
    if (seek != Seek::kFirst && seek != Seek::kLast) {
        scan.statement.BindBlob(1, indexKey);
    }
    if ((seek == Seek::kNext || seek == Seek::kPrevious) && m_spec.keys[keyNumber].Duplicates()) {
        scan.statement.BindInt(2, sequence);
    }
    return Advance(scan);
}

std::optional<FoundRecord> TableFile::ReadById(std::size_t keyNumber, std::int64_t id) {
    TouchTransaction();
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
    TouchTransaction();
    StatementUse use(m_count);
    return use->Step() ? static_cast<std::uint32_t>(use->ColumnInt(0)) : 0;
}

}  // namespace ks::engine
