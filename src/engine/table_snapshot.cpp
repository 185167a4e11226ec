#include "ks/engine/table_snapshot.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/side_files.h"
#include "engine/sqlite_handle.h"
#include "platform/native_path.h"

namespace ks::engine {
namespace {

namespace fs = std::filesystem;

// A writer starts its log afresh at most once per checkpoint of the whole log; a few tries a
// moment apart get between two of them.
constexpr int kAttempts = 10;
constexpr auto kPause = std::chrono::milliseconds(30);
// The log's header: magic, version, page size, checkpoint sequence, salts and checksum.
constexpr std::size_t kLogHeaderSize = 32;
// The table's header, which holds its session mark.
constexpr std::size_t kTableHeaderSize = 100;

SnapshotResult Failure(SnapshotStatus status, std::string reason) {
    SnapshotResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

// What identifies one state of the table file: a replaced, written or resized file differs.
struct FileStamp {
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileStamp& other) const {
        return inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

std::optional<FileStamp> Stamp(const fs::path& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{info.st_ino, info.st_size, info.st_mtim};
}

// The log beside the table: absent, or present with its header (shorter for a log emptied by
// a checkpoint), or present but unreadable.
struct LogState {
    bool present = false;
    bool readable = true;
    std::string header;

    bool operator==(const LogState& other) const {
        return present == other.present && header == other.header;
    }
};

LogState ReadLogState(const fs::path& log) {
    LogState state;
    std::error_code error;
    if (!fs::exists(log, error) && !error) {
        return state;
    }
    state.present = true;
    std::ifstream in(log, std::ios::binary);
    if (!in) {
        // Gone between the two looks (the writer closed the table): absent, not unreadable.
        state.present = fs::exists(log, error);
        state.readable = !state.present;
        return state;
    }
    state.header.resize(kLogHeaderSize);
    in.read(state.header.data(), static_cast<std::streamsize>(kLogHeaderSize));
    state.header.resize(static_cast<std::size_t>(in.gcount()));
    return state;
}

// The work file and its side files, removed unless the copy is handed over.
class WorkFile {
  public:
    WorkFile() = default;
    ~WorkFile() { Remove(); }
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    // A new empty file in `folder`; false with `error` set when it cannot be made.
    bool Make(const fs::path& folder, std::error_code& error) {
        std::string pattern = (folder / ".ks-snapshot-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            error = std::error_code(errno, std::generic_category());
            return false;
        }
        close(fd);
        m_path = pattern;
        return true;
    }
    const fs::path& Path() const { return m_path; }
    fs::path Log() const { return SideFile(m_path, kLogSuffix); }
    void RemoveSideFiles() const {
        std::error_code ignored;
        for (const char* suffix : {kLogSuffix, kIndexSuffix, kJournalSuffix}) {
            fs::remove(SideFile(m_path, suffix), ignored);
        }
    }
    void HandedOver() { m_path.clear(); }

  private:
    void Remove() const {
        if (!m_path.empty()) {
            RemoveSideFiles();
            std::error_code ignored;
            fs::remove(m_path, ignored);
        }
    }

    fs::path m_path;
};

enum class Outcome { kDone, kChanged, kFailed };

// Applies the copied log to the copied table and empties it there: one self-contained file. A log
// written for another file is dropped first, as the engine's open drops it.
SnapshotResult Fold(const WorkFile& work) {
    std::ifstream in(work.Path(), std::ios::binary);
    unsigned char header[kTableHeaderSize] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    if (in.gcount() != static_cast<std::streamsize>(sizeof header)) {
        return Failure(SnapshotStatus::kNotATableFile, "the table file is not a database");
    }
    if (InspectLog(work.Log(), ReadBigEndian32(header + kMarkOffset)) != LogVerdict::kBelongs) {
        std::error_code ignored;
        fs::remove(work.Log(), ignored);
    }
    try {
        SqliteDb db(work.Path(), SQLITE_OPEN_READWRITE, {});
        // The connection meets the log at its first read; a checkpoint before it has none to
        // apply. (The load checks the whole copy afterwards.)
        SqliteStatement(db.Get(), "PRAGMA schema_version").Step();
        int logFrames = -1;
        int done = -1;
        CheckSqlite(sqlite3_wal_checkpoint_v2(db.Get(), "main", SQLITE_CHECKPOINT_TRUNCATE,
                                              &logFrames, &done),
                    db.Get());
        if (logFrames > 0) {
            return Failure(SnapshotStatus::kTargetFailed, "the copy's log could not be emptied");
        }
    } catch (const SqliteError& error) {
        return Failure(error.Code() == SQLITE_NOTADB || error.Code() == SQLITE_CORRUPT
                           ? SnapshotStatus::kNotATableFile
                           : SnapshotStatus::kTargetFailed,
                       std::string("the copy could not be completed: ") + error.what());
    }
    work.RemoveSideFiles();
    return {};
}

std::error_code PlainCopy(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    return error;
}

// One try: the table, then its log, then a look that nothing moved under the copy.
Outcome TryCopy(const fs::path& from, const WorkFile& work, const FileBytesCopy& copyBytes,
                SnapshotResult& result) {
    const fs::path log = SideFile(from, kLogSuffix);
    const LogState before = ReadLogState(log);
    const auto stampBefore = Stamp(from);
    if (!before.readable) {
        result = Failure(SnapshotStatus::kSourceUnreadable, "the table's log cannot be read");
        return Outcome::kFailed;
    }
    work.RemoveSideFiles();
    std::error_code error = copyBytes(from, work.Path());
    // A copy given up says nothing of either side, and the source is not asked again: it
    // may be on a share that stopped answering.
    if (error == std::errc::operation_canceled) {
        result = Failure(SnapshotStatus::kSourceUnreadable, "the copy was given up");
        return Outcome::kFailed;
    }
    if (error) {
        const bool reading = !stampBefore || access(from.c_str(), R_OK) != 0;
        result =
            Failure(reading ? SnapshotStatus::kSourceUnreadable : SnapshotStatus::kTargetFailed,
                    (reading ? "the table file cannot be read: " : "the copy cannot be written: ") +
                        error.message());
        return Outcome::kFailed;
    }
    if (!before.present) {
        // Closed when the copy began: it must still be the same closed file.
        const LogState after = ReadLogState(log);
        return after.present || Stamp(from) != stampBefore ? Outcome::kChanged : Outcome::kDone;
    }
    error = copyBytes(log, work.Log());
    if (error == std::errc::operation_canceled) {
        result = Failure(SnapshotStatus::kSourceUnreadable, "the copy was given up");
        return Outcome::kFailed;
    }
    if (error) {
        if (!fs::exists(log)) {
            return Outcome::kChanged;  // the writer closed the table meanwhile
        }
        result = Failure(SnapshotStatus::kSourceUnreadable,
                         "the table's log cannot be copied: " + error.message());
        return Outcome::kFailed;
    }
    const auto stampAfter = Stamp(from);
    if (!(ReadLogState(log) == before) || !stampBefore || !stampAfter ||
        stampAfter->inode != stampBefore->inode) {
        return Outcome::kChanged;  // a log started afresh, or the table replaced
    }
    result.withLog = true;
    return Outcome::kDone;
}

SnapshotResult Copy(std::string_view source, std::string_view target,
                    const FileBytesCopy& copyBytes) {
    const fs::path from = NativePath(source);
    const fs::path to = NativePath(target);
    std::error_code error;
    const auto sourceStatus = fs::status(from, error);
    if (!fs::exists(sourceStatus)) {
        return Failure(SnapshotStatus::kSourceMissing, "the table file does not exist");
    }
    if (!fs::is_regular_file(sourceStatus)) {
        return Failure(SnapshotStatus::kSourceMissing, "the source is not a file");
    }
    const fs::path folder = to.has_parent_path() ? to.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error)) {
        return Failure(SnapshotStatus::kTargetFailed, "the target folder does not exist");
    }
    if (fs::exists(to, error) && fs::equivalent(from, to, error)) {
        return Failure(SnapshotStatus::kTargetFailed, "the target is the table itself");
    }
    WorkFile work;
    if (!work.Make(folder, error)) {
        return Failure(SnapshotStatus::kTargetFailed,
                       "the copy cannot be written: " + error.message());
    }
    const FileBytesCopy bytesCopy = copyBytes ? copyBytes : FileBytesCopy(PlainCopy);
    SnapshotResult result;
    Outcome outcome = Outcome::kChanged;
    for (int attempt = 0; attempt < kAttempts && outcome == Outcome::kChanged; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(kPause);
        }
        result = {};
        outcome = TryCopy(from, work, bytesCopy, result);
    }
    if (outcome == Outcome::kChanged) {
        return Failure(
            SnapshotStatus::kSourceChanging,
            "the table kept changing under " + std::to_string(kAttempts) + " attempts to copy it");
    }
    if (outcome == Outcome::kFailed) {
        return result;
    }
    if (result.withLog) {
        // The copy is written by this process, whatever the source's permissions say.
        fs::permissions(work.Path(), fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, error);
        const bool withLog = result.withLog;
        result = Fold(work);
        result.withLog = withLog;
        if (!result.Copied()) {
            return result;
        }
        fs::permissions(work.Path(), sourceStatus.permissions(), error);
    }
    // A log or journal left beside the old target would be applied to the new file.
    for (const char* suffix : {kLogSuffix, kIndexSuffix, kJournalSuffix}) {
        fs::remove(SideFile(to, suffix), error);
    }
    fs::rename(work.Path(), to, error);
    if (error) {
        return Failure(SnapshotStatus::kTargetFailed,
                       "the copy cannot take the target's place: " + error.message());
    }
    work.HandedOver();
    return result;
}

}  // namespace

SnapshotResult CopyTableSnapshot(std::string_view source, std::string_view target,
                                 const FileBytesCopy& copyBytes) noexcept {
    try {
        return Copy(source, target, copyBytes);
    } catch (const std::exception& error) {
        return Failure(SnapshotStatus::kTargetFailed, error.what());
    } catch (...) {
        return Failure(SnapshotStatus::kTargetFailed, "unexpected failure");
    }
}

}  // namespace ks::engine
