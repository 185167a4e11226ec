// One table file: a self-contained SQLite database holding the file's shape, its records as
// BLOBs and, per key, the folded key bytes in an index (duplicates ordered by a sequence that
// grows with every insert, so they keep insertion order). Statements are prepared once per
// open file. Writes outside a user transaction are grouped into bundles committed together.
// The file is in write-ahead-log mode: a process killed at any moment leaves a log that the
// next open applies (committed bundles) or drops (the bundle in flight); a log that was
// written for another file is recognised by the session mark and never applied.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/sqlite_handle.h"
#include "ks/engine/file_spec.h"

namespace ks::engine {

struct TableOpenOptions {
    bool exclusive = false;
    // Opened to be read only: the file is not given a new session mark.
    bool readOnly = false;
    int busyTimeoutMs = 20;
    std::string vfs;  // empty: SQLite's default
    // True: a commit returns once the log is on the disk (a power cut loses nothing
    // committed). False: once the log is written (a power cut may lose the commits since the
    // last checkpoint, but never damages the file).
    bool waitForDisk = true;
};

// SQLite settings of every table file, also used by the benchmark's direct baseline.
inline constexpr const char* kTableSynchronous = "FULL";
inline constexpr int kTableCacheKib = 1024;

enum class Seek {
    kFirst,
    kLast,
    kGreaterOrEqual,
    kGreater,
    kLessOrEqual,
    kLess,
    kNext,
    kPrevious,
};
inline constexpr std::size_t kSeekCount = 8;

// A record found, as views of the statement that found it: valid until the next use of the
// file, so that the engine copies the record once, into the caller's buffer.
struct FoundView {
    std::int64_t id = 0;
    std::int64_t sequence = 0;  // 0 on keys without duplicates
    std::string_view indexKey;  // folded key bytes of the key searched
    std::string_view data;
};

struct FoundRecord {
    std::int64_t id = 0;
    std::int64_t sequence = 0;  // 0 on keys without duplicates
    std::string indexKey;       // folded key bytes of the key searched
    std::string data;

    FoundView View() const { return {id, sequence, indexKey, data}; }
};

// Application id written in every table file, so that another SQLite database is refused.
inline constexpr std::int32_t kTableApplicationId = 0x4B534254;  // "KSBT"
// Version 1 holds string keys over fixed-length records; version 2 adds each segment's type
// and the variable-length flag. A table is written in version 1 whenever its shape fits, so
// that the loader's tables keep the format that earlier builds read.
inline constexpr int kFirstTableFormat = 1;
inline constexpr int kTableFormatVersion = 2;
int TableFormatOf(const FileSpec& shape);

// True when `header`, the first 100 bytes of a file of `fileSize` bytes, is a table file's.
bool IsTableHeader(const unsigned char* header, std::int64_t fileSize);

class TableFile {
  public:
    // Writes a new, empty table file at `path`, replacing any file there that nobody has
    // open. Returns 0, or 85 when another connection has the file; throws SqliteError.
    // `fill`, when given, writes the first records into the new file before it takes the
    // place of the old one; whatever it throws leaves the old file as it was.
    static std::int16_t Create(const std::filesystem::path& path, const FileSpec& shape,
                               const TableOpenOptions& options,
                               const std::function<void(TableFile&)>& fill = nullptr);

    // Opens a table file. Returns 0 and sets `out`, or the status refusing it (12, 30, 85, 2).
    static std::int16_t Open(const std::filesystem::path& path, const TableOpenOptions& options,
                             std::unique_ptr<TableFile>& out);

    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const FileSpec& Shape() const { return m_spec; }
    const std::filesystem::path& Path() const { return m_path; }
    bool ReadOnly() const;
    sqlite3* Db() const { return m_db.Get(); }

    // Reads by key, inside an open window, bundle or transaction, answering views (see
    // FoundView): `indexKey` (folded) and `sequence` say where to start for the seeks that
    // need them. The reads below throw SqliteError on a failure of the file.
    // A next or previous from the record `id` that a statement of the window left positioned
    // steps that statement instead of seeking again: within one window nothing but this
    // connection's writes changes what the file holds, and every write drops the statements.
    std::optional<FoundView> FindInWindow(std::size_t keyNumber, Seek seek,
                                          std::string_view indexKey, std::int64_t sequence,
                                          std::int64_t id = 0);
    std::optional<FoundRecord> ReadById(std::size_t keyNumber, std::int64_t id);
    std::uint32_t RecordCount();

    // Writes. Return 0, 5 (a key without duplicates already holds the value) or 10 (update of a
    // key that may not change); `found` false when the record no longer exists.
    std::int16_t Insert(std::string_view record, std::int64_t& id);
    // An insert that places the record among its duplicates by `order` (one number per key,
    // read for the keys with duplicates: a lower number comes first), for a table built from
    // another file whose duplicates have an order of their own.
    std::int16_t InsertOrdered(std::string_view record, const std::vector<std::int64_t>& order,
                               std::int64_t& id);
    std::int16_t Update(std::int64_t id, std::string_view record, bool& found);
    bool Delete(std::int64_t id);

    // Writes outside a transaction of the caller form a bundle, one transaction of SQLite
    // that the first write opens and CommitBundle ends (the engine decides when).
    bool BundleOpen() const { return m_bundleOpen; }
    int BundleWrites() const { return m_bundleWrites; }
    // Reads outside a bundle or a transaction of the caller share a read window, one read
    // transaction of SQLite that OpenReadWindow begins and CommitBundle ends (the engine
    // decides when, as for bundles): no lock is taken or file checked per read. A write ends
    // the window and opens a bundle. The other processes' commits are seen from the next
    // window on.
    // While other processes commit to the file, each read has a window of its own (as if
    // there were none), so that the log is emptied and started again as often as without
    // windows: ShortWindow() says the engine ends this one after the read.
    void OpenReadWindow();
    bool ShortWindow() const { return m_readOpen && m_readShort; }
    bool WindowOpen() const { return m_bundleOpen || m_readOpen; }
    // Operations of the open bundle (writes) or read window (reads).
    int WindowOperations() const { return m_bundleOpen ? m_bundleWrites : m_readCount; }
    std::chrono::steady_clock::time_point WindowStart() const {
        return m_bundleOpen ? m_bundleStart : m_readStart;
    }
    // Commits the open bundle, or ends the read window (rolled back: it holds nothing to lose,
    // so its end never fails); true when a bundle was committed. On a failure the bundle is
    // rolled back, lost whole, and SqliteError thrown. When it held writes already answered 0
    // (all but its last `unansweredWrites`, those of the call in progress, which answers the
    // failure for them), the file refuses writes from then on.
    bool CommitBundle(int unansweredWrites = 0);

    // A bundle lost after some of its writes were answered 0 (its commit failed, or SQLite
    // gave it up after a failed write): no later write may look as if those were kept, so the
    // file refuses writes until every open of it is closed and it is opened again. Reads go
    // on.
    bool WritesRefused() const { return m_writesRefused; }
    // The failure (SQLite's code) of a bundle lost outside the calls on this file (on the
    // engine's timer, at another file's call), kept until a call on this file answers it:
    // TakeLoss gives it once, then 0.
    void KeepLoss(int code) { m_unansweredLoss = code; }
    int TakeLoss() { return std::exchange(m_unansweredLoss, 0); }

    // A transaction of the caller: an open bundle is committed when the file joins it, and
    // the first read or write of the file after that takes the file's write lock (SQLite's
    // BEGIN IMMEDIATE; a plain BEGIN for a file this process may only read), so that no other
    // process commits to a file the transaction has read and its writes never meet a stale
    // read. That first use throws SqliteError (SQLITE_BUSY) while another process holds the
    // lock; the file stays in the transaction and the next use tries again. Writes join the
    // transaction until it is committed or rolled back; after a failure that made SQLite give
    // the transaction up, further writes are refused and the commit throws.
    void JoinTransaction();
    void CommitTransaction();
    void RollbackTransaction();
    bool InTransaction() const { return m_inTransaction; }

  private:
    class WriteScope;

    TableFile(std::filesystem::path path, SqliteDb db, FileSpec shape);
    static std::int16_t CleanSideFiles(const std::filesystem::path& path,
                                       const unsigned char* header, bool& logKept);
    void PrepareStatements();
    // The first use of the file inside a transaction of the caller begins it (see above).
    void TouchTransaction();
    // Writes the session mark into the first page and commits: every commit carries it.
    void CommitWithMark();
    // A statement reading in key order from a position; one left positioned by a read of a
    // window is held there for the next read that continues from that position.
    struct Scan {
        SqliteStatement statement;
        std::size_t keyNumber = 0;
        Seek seek = Seek::kFirst;
        bool positioned = false;  // on the row below, and not reset
        std::int64_t id = 0;
        std::int64_t sequence = 0;
        std::string indexKey;
        std::uint64_t lastUse = 0;
    };
    Scan& ScanFor(std::size_t keyNumber, Seek seek);
    std::optional<FoundView> Advance(Scan& scan);
    // Resets every held statement: before a write, a commit or a rollback.
    void DropScans();
    void EndReadWindow();
    void LoadSequence();
    void SaveSequence();
    // Binds in place: `keys` must outlive the statement's use.
    void BindKeys(SqliteStatement& statement, int firstIndex, const std::vector<std::string>& keys,
                  const std::vector<std::int64_t>& sequences);
    std::vector<std::string> IndexKeys(std::string_view record) const;
    std::int16_t InsertWith(std::string_view record, const std::vector<std::int64_t>* order,
                            std::int64_t& id);

    std::filesystem::path m_path;
    SqliteDb m_db;
    FileSpec m_spec;
    bool m_inTransaction = false;
    bool m_transactionBegun = false;  // SQLite's transaction is open (the file was touched)
    bool m_transactionLost = false;
    bool m_sequenceLoaded = false;
    bool m_sequenceChanged = false;
    bool m_transactionWrote = false;
    std::int64_t m_nextSequence = 1;
    std::uint32_t m_mark = 0;
    bool m_writesRefused = false;
    int m_unansweredLoss = 0;  // SQLITE_OK when none
    bool m_bundleOpen = false;
    int m_bundleWrites = 0;
    std::chrono::steady_clock::time_point m_bundleStart;
    bool m_readOpen = false;
    bool m_readShort = false;
    int m_readCount = 0;
    std::int64_t m_dataVersion = -1;  // SQLite's count of the other connections' commits
    std::chrono::steady_clock::time_point m_sharedUntil;
    std::chrono::steady_clock::time_point m_readStart;
    std::uint64_t m_scanClock = 0;

    SqliteStatement m_begin;
    SqliteStatement m_beginDeferred;
    SqliteStatement m_commit;
    SqliteStatement m_rollback;
    SqliteStatement m_insert;
    SqliteStatement m_update;
    SqliteStatement m_delete;
    SqliteStatement m_readKeys;
    SqliteStatement m_count;
    SqliteStatement m_loadSequence;
    SqliteStatement m_saveSequence;
    SqliteStatement m_setMark;
    SqliteStatement m_readDataVersion;
    std::vector<std::unique_ptr<Scan>> m_scans;
    std::vector<SqliteStatement> m_byId;
};

}  // namespace ks::engine
