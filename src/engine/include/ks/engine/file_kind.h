// What a file under a table's name is, told from its first bytes and the files beside it: a
// table file of ours, one that a process has open (its log beside it may hold commits the table
// does not have yet), a genuine 6.x file of the suite's record manager, or none of these.
#pragma once

#include <cstdint>
#include <filesystem>

namespace ks::engine {

enum class TableFileKind { kOurs, kOursWithLiveLog, kGenuine, kUnknown };

// Reads at most the first 100 bytes; a file that cannot be read is kUnknown.
TableFileKind KindOfTableFile(const std::filesystem::path& file);

}  // namespace ks::engine
