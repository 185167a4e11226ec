// The integrity check of a table file for the table tool: SQLite's own check of the file,
// then every record against the file's shape and every key against the record it indexes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ks::engine {

// The problems found, in plain words; empty when the file is whole.
std::vector<std::string> CheckTableFile(const std::filesystem::path& path);

}  // namespace ks::engine
