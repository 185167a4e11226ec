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
