// The order of duplicates in a genuine 6.x file. Each record of a key with duplicates carries
// the address of the previous and of the next record with the same value (logical page times
// page size plus the slot's offset, high word first; no record: all bits set). A chain runs
// from the record without a previous one, and a record's place in its chain is its order
// among its duplicates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ks::engine::genuine {

struct LiveRecords {
    std::vector<std::uint64_t> addresses;  // ascending
    // Per record, per key with duplicates: the previous and the next record's address.
    std::vector<std::uint32_t> links;
};

// The place (from 1) of each record in its chain of each key with duplicates, at
// record * keys.size() + d for the d-th of `keys` (the key numbers, for refusals). Throws
// GenuineRefusal (2) for a link to no record, a link the other record does not return, and
// a chain that comes back on itself or leaves a record out; `name` names the file.
std::vector<std::int64_t> PlacesInChains(const LiveRecords& live,
                                         const std::vector<std::size_t>& keys,
                                         std::uint16_t pageSize, const std::string& name);

// "the record at logical page N byte B", for refusals.
std::string RecordAt(std::uint64_t address, std::uint16_t pageSize);

}  // namespace ks::engine::genuine
