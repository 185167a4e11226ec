// The conversion of a genuine 6.x table file into a table of our format: the entry that the
// table tool's import and the loader's copy phase call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ks::engine::genuine {

struct ImportOptions {
    // As for any table: true, a commit returns once the disk has it; false (tests), once it is
    // written.
    bool waitForDisk = true;
};

struct ImportResult {
    // 0, or the status of the refusal: 12 (no such source), 30 (not a 6.x file), 2 (the file
    // is damaged or cut short), 1 (something not supported: compressed records, an owner
    // name, a float key...), 5 (two records share the value of a key without duplicates), or
    // the engine's status for the target (85: the target is open elsewhere, 18: disk full).
    std::int16_t status = 0;
    // Why, in plain English naming the file and the key, page or record; empty on success.
    std::string reason;
    std::uint32_t records = 0;
    std::uint16_t recordLength = 0;  // of the table built
};

// Reads the genuine file `source` whole and builds from it the table `target` (native paths):
// every live record, in key order with the genuine order of duplicates. The table is built
// beside the target and renamed over it, so that a refusal at any point leaves the target as
// it was. The reasons name the source as `name` (its file name when empty): a copy of the
// server's file read into a work file still names the server's.
ImportResult ImportGenuineTable(const std::filesystem::path& source,
                                const std::filesystem::path& target,
                                const ImportOptions& options = {}, std::string name = {});

}  // namespace ks::engine::genuine
