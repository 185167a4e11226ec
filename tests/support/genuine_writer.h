// A writer of table files of the classic record manager in its 6.x format, for tests and
// benchmarks: files of the suite's own shapes holding given records, laid out as the genuine
// engine lays them out (two control records, page allocation tables in pairs, data pages of
// record slots, variable pages, duplicate links, a collating table), so that a load can start
// from a server holding genuine files. Index pages are written empty: the import never reads
// them (a genuine engine would have to rebuild them). The layout constants are this file's
// own, written apart from the reader's, so that one cannot hide a mistake of the other.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ks/engine/file_spec.h"

namespace ks::test {

// The bytes of a genuine file of `shape` (page size up to 4096; the variable-length flag;
// keys of strings, zero-terminated strings or integers, case-insensitive or of the lower-case
// collation) holding `records` in this order, which is also their order among duplicates.
// Records of a variable-length shape may be longer than the record length.
std::string GenuineFileBytes(const engine::FileSpec& shape,
                             const std::vector<std::string>& records);

// Writes them to `path`; false when the file cannot be written.
bool WriteGenuineFile(const std::filesystem::path& path, const engine::FileSpec& shape,
                      const std::vector<std::string>& records);

// The shape of catalogue file `file` as the loader creates it, without the compression flag
// (the import refuses compressed genuine files).
engine::FileSpec CatalogueShape(int file);

}  // namespace ks::test
