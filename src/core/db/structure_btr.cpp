#include "core/db/structure_btr.h"

#include <cstddef>

namespace ks {
namespace {

void Put16(StructureBuffer& buffer, std::size_t offset, std::int32_t value) {
    const auto cut = static_cast<std::uint16_t>(value);
    buffer[offset] = static_cast<std::uint8_t>(cut & 0xFF);
    buffer[offset + 1] = static_cast<std::uint8_t>(cut >> 8);
}

constexpr std::size_t kKeySpecsOffset = 16;
constexpr std::size_t kKeySpecSize = 16;

}  // namespace

void InitStructureFichierBTR(const CatalogueTable& catalogue, int file, bool compressed,
                             StructureBuffer& StructureBTR) {
    StructureBTR.fill(0);
    if (!IsFileNumber(file)) {
        return;
    }
    const CatalogueEntry& entry = catalogue[static_cast<std::size_t>(file)];
    Put16(StructureBTR, 0, entry.LongueurEnreg);
    Put16(StructureBTR, 2, entry.TaillePage);
    Put16(StructureBTR, 4, entry.NbCles);
    Put16(StructureBTR, 10, compressed ? kFileFlagCompressed : 0);
    for (std::size_t i = 0; i < entry.Segments.size(); ++i) {
        const KeySegment& segment = entry.Segments[i];
        if (segment.Longueur == 0) {
            continue;
        }
        const std::size_t offset = kKeySpecsOffset + i * kKeySpecSize;
        Put16(StructureBTR, offset, segment.Position);
        Put16(StructureBTR, offset + 2, segment.Longueur);
        Put16(StructureBTR, offset + 4, segment.Flags);
    }
}

std::uint16_t StructureRecordLength(const StructureBuffer& structure) {
    return static_cast<std::uint16_t>(structure[0] | (structure[1] << 8));
}

std::optional<StructureBuffer> CatalogueCreationBuffer(int file) {
    if (!IsFileNumber(file)) {
        return std::nullopt;
    }
    CatalogueTable catalogue;
    InitGeneralData(catalogue);
    if (catalogue[static_cast<std::size_t>(file)].LongueurEnreg <= 0) {
        return std::nullopt;
    }
    StructureBuffer buffer{};
    InitStructureFichierBTR(catalogue, file, true, buffer);
    return buffer;
}

}  // namespace ks
