#include "engine/position_block.h"

#include <algorithm>
#include <cstring>

#include "ks/engine/btr_call.h"

namespace ks::engine {
namespace {

// Layout: magic 0-3, engine tag 4-7, handle 8-11, key number 12, state 13, key length 14,
// flags 15 (1: the key is cut), record id 16-23, sequence 24-31, key bytes 32-123 (of a cut
// key: its token 32-35 and hash 36-43), checksum 124-127. Numbers are in the machine's own
// byte order: a block never leaves the process that wrote it.
constexpr std::uint8_t kMagic[4] = {'K', 'S', 'P', '1'};
constexpr std::size_t kKeyOffset = 32;
constexpr std::size_t kChecksumOffset = 124;
static_assert(kKeyOffset + kBlockKeyCapacity == kChecksumOffset);

template <typename Number>
void Put(std::uint8_t* out, Number value) {
    std::memcpy(out, &value, sizeof value);
}

template <typename Number>
Number Get(const std::uint8_t* in) {
    Number value{};
    std::memcpy(&value, in, sizeof value);
    return value;
}

// The bytes of a block that carry something: the header and the key (or a cut key's token
// and hash); the rest is zeros when the engine writes a block and is never read.
std::size_t UsedBytes(bool keyCut, std::size_t keyLength) {
    return kKeyOffset + (keyCut ? 12 : keyLength);
}

// A block's check over its used bytes, eight a step, as every call checks the block it gets
// and writes the one it returns. It only has to tell the engine's blocks from others in this
// process.
std::uint32_t Checksum(const std::uint8_t* block, std::size_t used) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ used;
    const auto mix = [&hash](std::uint64_t word) {
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDULL;
        hash ^= hash >> 32U;
    };
    std::size_t i = 0;
    for (; i + 8 <= used; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, block + i, sizeof word);
        mix(word);
    }
    if (i < used) {
        std::uint64_t word = 0;
        std::memcpy(&word, block + i, used - i);
        mix(word);
    }
    return static_cast<std::uint32_t>(hash);
}

}  // namespace

void EncodeCursor(const Cursor& cursor, std::uint8_t* block) {
    std::memset(block, 0, kPositionBlockSize);
    std::memcpy(block, kMagic, sizeof kMagic);
    Put(block + 4, cursor.engineTag);
    Put(block + 8, cursor.handle);
    block[12] = static_cast<std::uint8_t>(cursor.keyNumber);
    block[13] = static_cast<std::uint8_t>(cursor.state);
    block[15] = cursor.keyCut ? 1 : 0;
    Put(block + 16, cursor.recordId);
    Put(block + 24, cursor.sequence);
    if (cursor.keyCut) {
        Put(block + kKeyOffset, cursor.longKeyToken);
        Put(block + kKeyOffset + 4, cursor.longKeyHash);
    } else {
        const std::size_t keyLength = std::min(cursor.key.size(), kBlockKeyCapacity);
        block[14] = static_cast<std::uint8_t>(keyLength);
        std::copy_n(cursor.key.data(), keyLength, block + kKeyOffset);
    }
    Put(block + kChecksumOffset, Checksum(block, UsedBytes(cursor.keyCut, block[14])));
}

std::optional<Cursor> DecodeCursor(const std::uint8_t* block) {
    if (block == nullptr || std::memcmp(block, kMagic, sizeof kMagic) != 0) {
        return std::nullopt;
    }
    const std::uint8_t state = block[13];
    const std::size_t keyLength = block[14];
    if (state > static_cast<std::uint8_t>(CursorState::kAfterDelete) ||
        keyLength > kBlockKeyCapacity || block[15] > 1 || (block[15] == 1 && keyLength != 0) ||
        Get<std::uint32_t>(block + kChecksumOffset) !=
            Checksum(block, UsedBytes(block[15] == 1, keyLength))) {
        return std::nullopt;
    }
    Cursor cursor;
    cursor.engineTag = Get<std::uint32_t>(block + 4);
    cursor.handle = Get<std::uint32_t>(block + 8);
    cursor.keyNumber = static_cast<std::int8_t>(block[12]);
    cursor.state = static_cast<CursorState>(state);
    cursor.keyCut = block[15] == 1;
    cursor.recordId = Get<std::int64_t>(block + 16);
    cursor.sequence = Get<std::int64_t>(block + 24);
    if (cursor.keyCut) {
        cursor.longKeyToken = Get<std::uint32_t>(block + kKeyOffset);
        cursor.longKeyHash = Get<std::uint64_t>(block + kKeyOffset + 4);
    } else {
        cursor.key.assign(reinterpret_cast<const char*>(block + kKeyOffset), keyLength);
    }
    return cursor;
}

}  // namespace ks::engine
