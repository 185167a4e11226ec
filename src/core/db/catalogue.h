// The fixed knowledge of the station's table files: for each file number its name, its
// description, whether each station has its own copy, its record length, page size and keys.
// The catalogue is part of the on-disk format: it must match the files the suite writes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/db/db_limits.h"

namespace ks {

// One key segment: 1-based byte position in the record, length and the engine's key flags.
struct KeySegment {
    std::int32_t Position = 0;
    std::int32_t Longueur = 0;
    std::int32_t Flags = 0;
};

struct CatalogueEntry {
    std::string Description;  // French description (Windows-1252)
    std::string NomFichier;   // base file name on 8 characters, blank-padded
    std::string ParStation;   // "O": one file per station, named with its letter; "N": shared
    std::int32_t LongueurEnreg = 0;
    std::int32_t TaillePage = 0;
    std::int32_t NbCles = 0;
    // The segments of all keys one after the other, in key order; a key of several segments
    // carries the segmented flag on each segment but its last. Unused segments are zero.
    std::array<KeySegment, kSegmentCount> Segments{};
};

using CatalogueTable = std::array<CatalogueEntry, kFileCount>;

// The numbers of the tables a load copies and transfers.
namespace table {
inline constexpr std::int16_t kSettings = 0;
inline constexpr std::int16_t kBackupSettings = 9;
inline constexpr std::int16_t kArtists = 20;
inline constexpr std::int16_t kCategories = 21;
inline constexpr std::int16_t kSongs = 22;
inline constexpr std::int16_t kSongsBySubject = 23;
inline constexpr std::int16_t kSongsByCategory = 24;
inline constexpr std::int16_t kRecorderSongs = 26;
inline constexpr std::int16_t kAdvertisingSchedule = 27;
inline constexpr std::int16_t kPlayedEvents = 28;
inline constexpr std::int16_t kSongKeys = 29;
inline constexpr std::int16_t kCuePoints = 31;
inline constexpr std::int16_t kSongDetails = 32;
inline constexpr std::int16_t kMusicSchedule = 35;
inline constexpr std::int16_t kPlayerLog = 53;
}  // namespace table

// The tables of a load, in the order the transfer opens them: the copy copies each, and
// FDAT053 follows them in both when the server has it.
inline constexpr std::array<std::int16_t, 14> kLoadTables{
    table::kSettings,        table::kBackupSettings, table::kArtists,
    table::kCategories,      table::kSongs,          table::kSongsBySubject,
    table::kSongsByCategory, table::kRecorderSongs,  table::kAdvertisingSchedule,
    table::kPlayedEvents,    table::kSongKeys,       table::kCuePoints,
    table::kSongDetails,     table::kMusicSchedule};

// Fills the catalogue with the rows of every known table file; the other entries are empty
// (record length 0, no keys).
void InitGeneralData(CatalogueTable& catalogue);

// The minimum length of key `keyNumber` of `file` checked before each call: the sum of the
// lengths of the key's segments (3 for file 20 key 1). -1 when the key is not checked: files
// 19, 53 and above 49, an unknown key number or file number.
std::int32_t LongueurMinimaleCle(const CatalogueTable& catalogue, int file, int keyNumber);

// The name of the file of station index `stationIndex` (station - 1): the catalogue name
// without blanks + ".bt6", with the station letter ("A" + index) in fifth position for the
// files each station owns. An unknown file number gives "".
std::string NomFichierBTR(const CatalogueTable& catalogue, int file, int stationIndex);

}  // namespace ks
