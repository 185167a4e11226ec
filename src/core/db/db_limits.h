// The addressing of the table files in use: database slots, stations and file numbers, and
// the sizes of the blocks that travel with every engine call.
#pragma once

#include <array>
#include <cstdint>

#include "ks/engine/btr_call.h"

namespace ks {

inline constexpr int kSlotCount = 5;      // database slots 0 to 4
inline constexpr int kStationCount = 10;  // stations 1 to 10
inline constexpr int kFileCount = 61;     // table files 0 to 60
inline constexpr int kSegmentCount = 8;   // key segments of a catalogue entry
inline constexpr int kHistoryLines = 6;   // lines of a slot's call history

using PositionBlock = std::array<std::uint8_t, engine::kPositionBlockSize>;

// Error number of the classic run time for an index outside its array.
inline constexpr std::int32_t kErrSubscriptOutOfRange = 9;

inline bool IsSlot(int base) {
    return base >= 0 && base < kSlotCount;
}
inline bool IsStation(int station) {
    return station >= 1 && station <= kStationCount;
}
inline bool IsFileNumber(int file) {
    return file >= 0 && file < kFileCount;
}

}  // namespace ks
