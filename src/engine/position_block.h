// The cursor a position block carries. The block holds the whole cursor (which open file,
// which key, which record, and the key bytes and sequence of the position), so that a copy of
// a block used for one read leaves the original's position untouched, and a position survives
// the deletion of its record. A checksum lets the engine refuse a block it did not write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ks::engine {

enum class CursorState : std::uint8_t {
    kNone = 0,         // opened, no record read yet
    kOnRecord = 1,     // on an existing record
    kAfterDelete = 2,  // its record was deleted: the position stays between its neighbours
};

struct Cursor {
    std::uint32_t engineTag = 0;  // which engine object wrote the block
    std::uint32_t handle = 0;     // which open of a file
    std::int8_t keyNumber = -1;   // key of the last positioning, -1 when none
    CursorState state = CursorState::kNone;
    std::int64_t recordId = 0;
    std::int64_t sequence = 0;  // order among duplicates
    std::string key;            // indexed key bytes of the position, when the block holds them
    // A key longer than the block holds is remembered by the engine (see long_key_memory.h):
    // the block carries its token there and the key's hash instead of the bytes.
    bool keyCut = false;
    std::uint32_t longKeyToken = 0;
    std::uint64_t longKeyHash = 0;
};

// Key bytes a block can hold.
inline constexpr std::size_t kBlockKeyCapacity = 92;

void EncodeCursor(const Cursor& cursor, std::uint8_t* block);

// nullopt for a block that this engine did not write (blanks, garbage, a damaged copy).
std::optional<Cursor> DecodeCursor(const std::uint8_t* block);

}  // namespace ks::engine
