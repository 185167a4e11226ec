// The side files SQLite keeps beside a table file ("-wal", "-shm", "-journal") and how the
// engine tells whether a write-ahead log left by a killed process belongs to the table beside
// it. Every commit of the engine writes the table's session mark into the log's copy of the
// table's first page, and a session that has the table to itself starts with a new mark; a
// log whose committed marks differ from the mark in the table was written for another file
// (an older copy of the table, or another table copied over it) and must never be applied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace ks::engine {

inline constexpr const char* kLogSuffix = "-wal";
inline constexpr const char* kIndexSuffix = "-shm";
inline constexpr const char* kJournalSuffix = "-journal";

// Where the mark lives in the 100-byte header of the first page (SQLite's user version).
inline constexpr std::size_t kMarkOffset = 60;

enum class LogVerdict {
    kNothingCommitted,  // no log, or nothing SQLite would apply from it
    kBelongs,           // every committed copy of the first page carries the table's mark
    kForeign,           // written for another file
};

// Reads the log as SQLite's recovery does (header, salts, running checksums, up to the last
// commit) and compares the mark of every committed copy of page 1 with `tableMark`.
LogVerdict InspectLog(const std::filesystem::path& log, std::uint32_t tableMark);

// The big-endian 32-bit number at `bytes`.
std::uint32_t ReadBigEndian32(const unsigned char* bytes);

// `table` with a side file's suffix.
std::filesystem::path SideFile(const std::filesystem::path& table, const char* suffix);

}  // namespace ks::engine
