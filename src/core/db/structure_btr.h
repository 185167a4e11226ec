// The 160-byte file specification sent to the engine to create a table file empty: record
// length, page size, number of keys, file flags and nine 16-byte key-segment descriptions, all
// numbers 16-bit little-endian. The table tool builds the same buffer from a catalogue number.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/db/catalogue.h"

namespace ks {

inline constexpr std::size_t kStructureSize = 160;
using StructureBuffer = std::array<std::uint8_t, kStructureSize>;

// File flag of the file specification asking the engine for data compression.
inline constexpr std::uint16_t kFileFlagCompressed = 8;

// Fills `StructureBTR` from the catalogue entry of `file`: record length, page size and
// number of keys (each cut to 16 bits), the compression flag, then the eight segments in
// order (a segment of length 0 gives an all-zero description) and a ninth all-zero one.
void InitStructureFichierBTR(const CatalogueTable& catalogue, int file, bool compressed,
                             StructureBuffer& StructureBTR);

// The record length held in bytes 1-2 of a file specification.
std::uint16_t StructureRecordLength(const StructureBuffer& structure);

// The creation buffer (with compression) of catalogue number `file`, as the open of a missing
// file would build it; nullopt for a number without a catalogue row (no record length).
std::optional<StructureBuffer> CatalogueCreationBuffer(int file);

}  // namespace ks
