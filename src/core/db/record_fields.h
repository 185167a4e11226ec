// The fields of the table records that the loader reads or rewrites; every other field of a
// record is copied unchanged. Positions are 1-based, widths in bytes.
#pragma once

#include <cstdint>

#include "core/db/record_buffer.h"

namespace ks::fields {

// FDAT035, music schedule events.
namespace fdat035 {
inline constexpr FieldRef kKey0{1, 19};  // date (8) + hour (2) + 9 ordering characters
inline constexpr FieldRef kDate{1, 8};   // yyyyMMdd
inline constexpr FieldRef kHour{14, 2};
inline constexpr FieldRef kMinute{16, 2};
inline constexpr FieldRef kSecond{18, 2};
inline constexpr FieldRef kElementType{32, 3};  // "Son" marks a song
inline constexpr FieldRef kSongId{56, 13};
}  // namespace fdat035

// FDAT053, the player's music schedule.
namespace fdat053 {
inline constexpr FieldRef kKey0{1, 16};  // date (8) + hour (2) + 6 characters
inline constexpr FieldRef kDate{1, 8};
inline constexpr FieldRef kHour{9, 2};
inline constexpr FieldRef kMinute{11, 2};
inline constexpr FieldRef kSecond{13, 2};
inline constexpr FieldRef kElementType{25, 3};
inline constexpr FieldRef kSongId{49, 13};
}  // namespace fdat053

// The song identifier of the schedules is rewritten to this many characters before an insert.
inline constexpr std::uint16_t kShortSongIdWidth = 8;

// FDAT022, songs.
namespace fdat022 {
inline constexpr FieldRef kSongId{1, 8};  // key 0
inline constexpr FieldRef kFirstArtist{9, 5};
inline constexpr FieldRef kSecondArtist{14, 5};
inline constexpr FieldRef kTitle{24, 40};
inline constexpr FieldRef kCategory{64, 5};
// Rewritten after every read by the call layer.
inline constexpr FieldRef kFlagJ{108, 1};
inline constexpr FieldRef kFlagsF{454, 5};
inline constexpr FieldRef kNumberG{466, 2};
inline constexpr FieldRef kFlagH{857, 1};
}  // namespace fdat022

// FDAT020, artists.
namespace fdat020 {
inline constexpr FieldRef kArtistCode{1, 5};  // key 0
inline constexpr FieldRef kName{16, 30};
// Rewritten after every read by the call layer.
inline constexpr FieldRef kFlagA{146, 1};
inline constexpr FieldRef kFlagB{265, 1};
}  // namespace fdat020

// FDAT021, voices, groups, sounds, categories.
namespace fdat021 {
inline constexpr FieldRef kKey0{1, 10};  // "CATEG" + category code for categories
inline constexpr FieldRef kName{11, 30};
}  // namespace fdat021

namespace fdat024 {
inline constexpr FieldRef kSongId{1, 8};  // key 0
}
namespace fdat026 {
inline constexpr FieldRef kSongId{1, 8};  // key 0
}
namespace fdat029 {
inline constexpr FieldRef kSongId{11, 8};  // key 2, several rows per song
}
namespace fdat031 {
inline constexpr FieldRef kSongId{1, 8};  // key 0 = identifier + 3 more characters
inline constexpr FieldRef kKey0{1, 11};
}  // namespace fdat031
namespace fdat032 {
inline constexpr FieldRef kSongId{1, 8};  // key 0 = identifier + 2 more characters
inline constexpr FieldRef kKey0{1, 10};
}  // namespace fdat032

// FDAT027, advertising schedule.
namespace fdat027 {
inline constexpr FieldRef kKey0{1, 14};    // date (8) + hour (2) + 4 characters
inline constexpr FieldRef kSongId{15, 8};  // key 1
}  // namespace fdat027

namespace fdat028 {
inline constexpr FieldRef kKey0{1, 16};  // date (8) + 8 characters
}

// FDAT000 and FDAT009 share their layout.
namespace fdat000 {
inline constexpr FieldRef kKey0{1, 10};
}

// FDAT030, clock skeletons: a 16-bit integer rewritten after every read.
namespace fdat030 {
inline constexpr std::uint16_t kCounterPosition = 9;
}

}  // namespace ks::fields
