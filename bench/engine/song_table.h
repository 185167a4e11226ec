// The table the engine benchmark works on: the songs table of a station (900-byte records,
// six keys, the layout the loader reads), its 160-byte create buffer, and the key values
// cut from a record the way the engine compares them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ks::bench {

struct Segment {
    std::uint16_t position = 0;  // 1-based
    std::uint16_t length = 0;
    std::uint16_t flags = 0;
};

struct TableSpec {
    std::uint16_t recordLength = 0;
    std::uint16_t pageSize = 0;
    std::vector<std::vector<Segment>> keys;
};

// The songs table: 900 bytes, keys 1/8 unique; 9/5, 19/5, 64/5, 69/5 with duplicates;
// 24/20 with duplicates and case folded.
TableSpec SongTableSpec();

// A schedule-shaped table (400 bytes, unique key 1/19, duplicate key 253/6).
TableSpec ScheduleTableSpec();

// Small per-song tables: song extras (250 bytes, unique key 1/10) and play pointers (50 bytes,
// unique key 1/11).
TableSpec SongExtraTableSpec();
TableSpec PointerTableSpec();

// The create buffer the engine expects: record length, page size, key count, then one 16-byte
// description per segment.
std::string CreateBuffer(const TableSpec& shape);

// The value of key `key` of `record`: its segments in order, a-z folded for case-insensitive
// segments.
std::string KeyValue(const TableSpec& shape, int key, const std::string& record);

// Song number `n` as a record: key 0 is `n` on eight digits, the other keys repeat over
// groups of songs, the rest is filler that differs from song to song.
std::string SongRecord(std::uint32_t n);

// Record `n` of a schedule-shaped table and of a per-song table.
std::string ScheduleRecord(std::uint32_t n, std::uint32_t song);
std::string SongExtraRecord(std::uint32_t n);
std::string PointerRecord(std::uint32_t n);

// `n` on `width` digits with leading zeros.
std::string Digits(std::uint32_t n, int width);

}  // namespace ks::bench
