// A reader of table files of the classic record manager in its 6.x format (the file starts
// with "FC"): the current one of the two file control records, the current copy of each page
// allocation table, the key definitions with their collating tables, and every live record of
// the data pages that the allocation tables reach, with its variable part and the order of its
// duplicates. It trusts nothing in the file: each page it reads is checked against the file's
// size and the allocation table, each chain is bounded, and anything it cannot read for sure
// ends in a GenuineRefusal that names the file, the page, the key or the record.
//
// The layout, as learned from public descriptions of the format and checked on sample files:
// pages of a multiple of 512 bytes; pages 0 and 1 are the two control records (the current one
// has the higher usage count); page allocation tables come in pairs at pages 2-3, then after
// every run of as many pages as a table maps, each pair again holding a current and an older
// copy; a table maps logical page N to a physical page and tells its kind (data, variable,
// index, collating table, or free). 32-bit counts are stored high word first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/genuine/byte_source.h"

namespace ks::engine::genuine {

// Thrown by the reader: a status of the classic engine (2: the file is damaged or cut short,
// 30: not a 6.x file, 1: something this reader does not support) and the reason.
struct GenuineRefusal {
    std::int16_t status;
    std::string reason;
};

// How a segment collates: as bytes, or through a collating table that only turns a-z into
// A-Z (upper) or A-Z into a-z (lower), or through another table.
enum class Collation { kBytes, kUpper, kLower, kOther };

struct GenuineSegment {
    std::uint16_t position = 0;  // 1-based, in the record as a program sees it
    std::uint16_t length = 0;
    std::uint16_t flags = 0;  // the classic key flags, as stored
    std::uint8_t type = 0;    // the classic extended type, as stored
    Collation collation = Collation::kBytes;
    std::string tableName;  // the collating table's name, for segments that use one
};

struct GenuineKey {
    std::vector<GenuineSegment> segments;
    // Where, in a record's slot, the 8 bytes linking it to the previous and next record with
    // the same value start (keys with duplicates only).
    std::uint16_t duplicateLinks = 0;
    bool Duplicates() const;
};

struct GenuineShape {
    std::uint16_t pageSize = 0;
    std::uint16_t recordLength = 0;  // the fixed part
    std::uint16_t slotLength = 0;    // usage count, fixed part, variable pointer, links
    std::uint16_t fileFlags = 0;
    bool variable = false;
    std::uint32_t recordCount = 0;
    std::uint32_t logicalPages = 0;
    std::vector<GenuineKey> keys;
};

class GenuineFile {
  public:
    // Reads the control record, the allocation tables and the keys; `name` names the file in
    // refusals. Throws GenuineRefusal.
    GenuineFile(ByteSource& source, std::string name);
    ~GenuineFile();
    GenuineFile(const GenuineFile&) = delete;
    GenuineFile& operator=(const GenuineFile&) = delete;

    const GenuineShape& Shape() const { return m_shape; }

    // The order of one record among the records that share its value, per key (1 for the
    // first; 0 for keys without duplicates).
    using Order = std::vector<std::int64_t>;
    // Hands every live record, fixed part then variable part, in the order of the data pages.
    // The whole file is checked (record count, duplicate links) before the first record is
    // handed; a damaged variable part is met on the way and ends the walk with a refusal.
    void ForEachRecord(
        const std::function<void(std::string_view record, const Order& order)>& take);

  private:
    struct Layout;

    [[noreturn]] void Refuse(std::int16_t status, const std::string& reason) const;
    std::vector<std::uint8_t> ReadPage(std::uint32_t physical) const;
    void ReadControlRecord();
    void ReadAllocationTables();
    void ReadKeys();
    void ReadCollation(GenuineSegment& segment, std::uint16_t table, std::size_t key);
    const std::vector<std::uint8_t>& PageOf(std::uint32_t logical, std::uint8_t kind,
                                            std::vector<std::uint8_t>& buffer) const;
    void ReadVariablePart(std::uint64_t slotAddress, const std::uint8_t* pointer,
                          std::string& record);

    ByteSource& m_source;
    std::string m_name;
    GenuineShape m_shape;
    std::vector<std::uint8_t> m_control;
    std::unique_ptr<Layout> m_layout;
};

}  // namespace ks::engine::genuine
