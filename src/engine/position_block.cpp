#include "engine/position_block.h"

#include <algorithm>
#include <cstring>

#include "engine/btr_call.h"

namespace ks::engine {
namespace {

// Layout: magic 0-3, engine tag 4-7, handle 8-11, key number 12, state 13, key length 14,
// flags 15 (1: the key is cut), record id 16-23, sequence 24-31, key bytes 32-123 (of a cut
// key: its token 32-35 and hash 36-43), checksum 124-127.
constexpr std::uint8_t kMagic[4] = {'K', 'S', 'P', '1'};
constexpr std::size_t kKeyOffset = 32;
constexpr std::size_t kChecksumOffset = 124;
static_assert(kKeyOffset + kBlockKeyCapacity == kChecksumOffset);

void Put(std::uint8_t* out, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t Get(const std::uint8_t* in, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    }
    return value;
}

// A block's check: eight bytes a step, as every call checks the block it gets and writes the
// one it returns. It only has to tell the engine's blocks from others in this process.
std::uint32_t Checksum(const std::uint8_t* block) {
    static_assert(kChecksumOffset % 8 == 4);
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL;
    const auto mix = [&hash](std::uint64_t word) {
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDULL;
        hash ^= hash >> 32U;
    };
    std::size_t i = 0;
    for (; i + 8 <= kChecksumOffset; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, block + i, sizeof word);
        mix(word);
    }
    std::uint32_t tail = 0;
    std::memcpy(&tail, block + i, sizeof tail);
    mix(tail);
    return static_cast<std::uint32_t>(hash);
}

}  // namespace

void EncodeCursor(const Cursor& cursor, std::uint8_t* block) {
    std::memset(block, 0, kPositionBlockSize);
    std::memcpy(block, kMagic, sizeof kMagic);
    Put(block + 4, cursor.engineTag, 4);
    Put(block + 8, cursor.handle, 4);
    block[12] = static_cast<std::uint8_t>(cursor.keyNumber);
    block[13] = static_cast<std::uint8_t>(cursor.state);
    block[15] = cursor.keyCut ? 1 : 0;
    Put(block + 16, static_cast<std::uint64_t>(cursor.recordId), 8);
    Put(block + 24, static_cast<std::uint64_t>(cursor.sequence), 8);
    if (cursor.keyCut) {
        Put(block + kKeyOffset, cursor.longKeyToken, 4);
        Put(block + kKeyOffset + 4, cursor.longKeyHash, 8);
    } else {
        const std::size_t keyLength = std::min(cursor.key.size(), kBlockKeyCapacity);
        block[14] = static_cast<std::uint8_t>(keyLength);
        std::copy_n(cursor.key.data(), keyLength, block + kKeyOffset);
    }
    Put(block + kChecksumOffset, Checksum(block), 4);
}

std::optional<Cursor> DecodeCursor(const std::uint8_t* block) {
    if (block == nullptr || std::memcmp(block, kMagic, sizeof kMagic) != 0 ||
        Get(block + kChecksumOffset, 4) != Checksum(block)) {
        return std::nullopt;
    }
    Cursor cursor;
    cursor.engineTag = static_cast<std::uint32_t>(Get(block + 4, 4));
    cursor.handle = static_cast<std::uint32_t>(Get(block + 8, 4));
    cursor.keyNumber = static_cast<std::int8_t>(block[12]);
    const std::uint8_t state = block[13];
    const std::size_t keyLength = block[14];
    if (state > static_cast<std::uint8_t>(CursorState::kAfterDelete) ||
        keyLength > kBlockKeyCapacity || block[15] > 1 || (block[15] == 1 && keyLength != 0)) {
        return std::nullopt;
    }
    cursor.state = static_cast<CursorState>(state);
    cursor.keyCut = block[15] == 1;
    cursor.recordId = static_cast<std::int64_t>(Get(block + 16, 8));
    cursor.sequence = static_cast<std::int64_t>(Get(block + 24, 8));
    if (cursor.keyCut) {
        cursor.longKeyToken = static_cast<std::uint32_t>(Get(block + kKeyOffset, 4));
        cursor.longKeyHash = Get(block + kKeyOffset + 4, 8);
    } else {
        cursor.key.assign(reinterpret_cast<const char*>(block + kKeyOffset), keyLength);
    }
    return cursor;
}

}  // namespace ks::engine
