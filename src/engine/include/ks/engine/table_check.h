// Checks of a table file: the table tool's full check, and the quicker one the load's copy makes
// of each table it copied from the server before anything reads it. Both look at SQLite's pages,
// then at every record against the file's shape and every key against the record it indexes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ks::engine {

// The problems found, in plain words; empty when the file is whole. Besides what the copy's
// check looks at: SQLite's full check (every index against its table) and each key's count.
std::vector<std::string> CheckTableFile(const std::filesystem::path& path);

struct CopyCheck {
    std::string problem;  // the first problem found, in plain words; empty when whole
    std::uint16_t recordLength = 0;

    bool Whole() const { return problem.empty(); }
};

// The copy's check: the file opens as a table (header, schema, shape), SQLite's quick check of
// its pages, every record's length and keys. `goOn`, when given, is called every few thousand
// steps of the work (the copy reports it as a sign of life); false ends the check, which then
// reports a problem (a copy given up).
CopyCheck CheckTableCopy(const std::filesystem::path& path,
                         const std::function<bool()>& goOn = nullptr);

}  // namespace ks::engine
