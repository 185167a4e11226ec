// A consistent copy of a table file that another process may have open, for the load's copy
// of the server's tables.
//
// A table that some process has open is two files: the table and its log ("-wal"), which
// holds the commits not yet copied into the table (and "-shm", the log's index in shared
// memory). A plain copy of the table alone misses those commits, and is torn when the writer
// copies its log into the table meanwhile. A closed table is one self-contained file and is
// copied as plain bytes.
//
// The copy does not take SQLite's read lock on the source: that lock and the log's index live
// in the "-shm" shared memory, which only processes of one machine share. From the backup
// machine through a network share a reader would read a stale index and could write into the
// server's (read marks, recovery). Instead it reads what SQLite's own recovery reads after a
// crash: the table, then its log, then the log's header again. The log's committed frames
// hold every page the writer may have copied into the table during the copy, so the pair is
// consistent unless the writer started its log afresh meanwhile, which changes the header
// (new salts): then it tries again. The pair is folded into one file in the target's folder
// (SQLite applies the log up to its last whole commit, as after a crash, and the log is emptied
// into it), which is then renamed over the target. The copy's pages are not checked here: the
// load checks every table it copied (table_check.h). A log written for
// another file (its session marks differ from the table's, see side_files.h) is never applied.
//
// The source is only ever read: no lock is taken on it, nothing is written or removed beside
// it (so a source on a read-only folder copies as well, as long as the table and its log can
// be read). Side files beside the target are removed before the copy takes its place, as the
// load's copy does.
//
// A process must not copy a table it has open through the engine: closing the descriptors
// this copy opens on the file would drop the locks SQLite holds on it in that process (POSIX
// locks belong to the process, not to a descriptor). The loader opens only the copies in the
// intermediate folder and the local tables, never the server's tables it copies.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace ks::engine {

enum class SnapshotStatus : std::uint8_t {
    kCopied,
    kSourceMissing,     // no file at the source path, or a folder there
    kSourceUnreadable,  // the table or its log could not be read
    kSourceChanging,    // every attempt met the writer starting its log afresh or replacing
                        // the table; trying again later will do
    kNotATableFile,     // the copy does not open as a database, or its log cannot be applied
    kTargetFailed,      // the target could not be written: folder missing, disk full, refused
};

struct SnapshotResult {
    SnapshotStatus status = SnapshotStatus::kCopied;
    bool withLog = false;  // the source had a log whose commits were folded into the copy
    std::string reason;    // why the copy failed, in plain English; empty when copied

    bool Copied() const { return status == SnapshotStatus::kCopied; }
};

// Copies the bytes of one file onto another (native paths, the second created or replaced);
// an error when that failed. The load's copy reads the server's files in pieces through one
// of its own, to show its progress and give up on a share that stopped answering.
using FileBytesCopy =
    std::function<std::error_code(const std::filesystem::path&, const std::filesystem::path&)>;

// Copies the table file at `source` to `target` (a file path, replaced when it exists). Both
// are Windows-1252 paths, looked up as the engine's open looks up names. The table and its
// log are read through `copyBytes` (a plain file copy when empty). Never throws; on a failure
// the target is left as it was and no temporary file remains.
SnapshotResult CopyTableSnapshot(std::string_view source, std::string_view target,
                                 const FileBytesCopy& copyBytes = nullptr) noexcept;

}  // namespace ks::engine
