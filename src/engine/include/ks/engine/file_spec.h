// The shape of a table file: record length, page size, file flags and its keys, each key a
// list of segments (position, length, flags, type). Read from the classic 160-byte create
// buffer and written back in the same layout by the stat operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ks::engine {

struct KeySegment {
    std::uint16_t position = 0;  // 1-based byte position in the record
    std::uint16_t length = 0;
    std::uint16_t flags = 0;
    std::uint8_t type = 0;  // a key_type code; string unless the extended-type flag is set
};

struct KeyDef {
    std::vector<KeySegment> segments;

    // Duplicates and modifiability are those of the first segment, as the classic engine
    // requires every segment of a key to agree on them.
    bool Duplicates() const;
    bool Modifiable() const;
    std::size_t Length() const;
};

struct FileSpec {
    std::uint16_t recordLength = 0;
    std::uint16_t pageSize = 0;
    std::uint16_t fileFlags = 0;
    std::vector<KeyDef> keys;

    std::size_t SegmentCount() const;
    // Records longer than the record length are allowed (the variable-length file flag).
    bool Variable() const;
};

inline constexpr std::size_t kSpecHeaderSize = 16;
inline constexpr std::size_t kKeySpecSize = 16;
inline constexpr std::size_t kCreateBufferSize = 160;
// Longest key the engine accepts, as the key buffer holds 255 bytes.
inline constexpr std::size_t kMaxKeyLength = 255;
// Longest record of a variable-length table: what a 16-bit data length can carry.
inline constexpr std::size_t kMaxRecordLength = 65535;

// Whether the engine can order a segment: 0, 1 (flags or a type it does not support:
// descending, null values, a collating flag on a number, both collating flags) or 29 (a
// length the type cannot have).
std::int16_t CheckSegment(const KeySegment& segment);

// Reads a create buffer of `size` bytes into `shape`. Returns 0 or the status that refuses it:
// 22 (buffer too short for the keys it announces), 24 (page size), 28 (record length), 27 (a
// segment outside the record), 29 (a key of length 0 or longer than 255), or that of
// CheckSegment. A segment's type is byte 11 of its description.
std::int16_t ParseFileSpec(const std::uint8_t* buffer, std::size_t size, FileSpec& shape);

// The buffer of the stat operation: the create layout with the record count in bytes 7-10,
// one 16-byte description per segment.
std::string EncodeFileSpec(const FileSpec& shape, std::uint32_t recordCount);

}  // namespace ks::engine
