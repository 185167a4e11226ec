#include "core/db/catalogue.h"

#include <cstddef>
#include <string_view>

#include "core/sys/text_helpers.h"
#include "ks/engine/btr_codes.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

using engine::key_flag::kCaseInsensitive;
using engine::key_flag::kDuplicates;
using engine::key_flag::kModifiable;
using engine::key_flag::kSegmented;

// The flag letters of the key descriptions: M, DM, DMI and MI. The segmented flag is not
// written here: it follows from a key having a next segment.
constexpr std::int32_t M = kModifiable;
constexpr std::int32_t DM = kDuplicates | kModifiable;
constexpr std::int32_t DMI = kDuplicates | kModifiable | kCaseInsensitive;
constexpr std::int32_t MI = kModifiable | kCaseInsensitive;

struct SegmentRow {
    std::int32_t key = -1;  // -1: no segment
    std::int32_t position = 0;
    std::int32_t length = 0;
    std::int32_t flags = 0;
};

struct CatalogueRow {
    int file;
    std::string_view name;
    std::string_view description;  // UTF-8 here, Windows-1252 in the catalogue
    char parStation;
    std::int32_t recordLength;
    std::int32_t pageSize;
    std::array<SegmentRow, kSegmentCount> segments;
};

// clang-format off
constexpr auto kRows = std::to_array<CatalogueRow>({
    {0, "FDAT000", "Paramétrage", 'N', 1000, 1024, {{{0, 1, 10, M}}}},
    {1, "FDAT001", "Commerciaux", 'N', 300, 1024, {{{0, 1, 8, M}, {1, 9, 10, DMI}}}},
    {2, "FDAT002", "Secteurs d'activité", 'N', 100, 512, {{{0, 1, 10, M}, {1, 11, 10, DMI}}}},
    {3, "FDAT003", "Clients", 'N', 900, 1024, {{{0, 1, 8, M}, {1, 9, 10, DMI}}}},
    {4, "FDAT004", "Produits", 'N', 100, 512, {{{0, 1, 10, M}, {1, 11, 10, DMI}}}},
    {5, "FDAT005", "Entêtes des contrats", 'O', 150, 512,
     {{{0, 1, 16, M}, {1, 3, 14, M}, {2, 11, 6, M}}}},
    {6, "FDAT006", "Entêtes des spots", 'O', 400, 512, {{{0, 1, 8, M}, {1, 9, 10, DMI}}}},
    {7, "FDAT007", "Dates de programmation des passages des spots", 'O', 100, 512,
     {{{0, 1, 21, M}, {1, 9, 13, DM}, {2, 26, 10, DM}, {2, 9, 13, DM}, {3, 36, 21, DM}}}},
    {9, "FDAT009", "Paramétrage (Backup)", 'N', 1000, 1024, {{{0, 1, 10, M}}}},
    {10, "FDAT010", "Publicité: Données programmées", 'O', 400, 512, {{{0, 1, 14, M}}}},
    {11, "FDAT011", "Gestion des droits des utilisateurs", 'N', 350, 1536, {{{0, 1, 83, M}}}},
    {12, "FDAT012", "Publicité: Système Tiers: Campagnes", 'N', 300, 1536,
     {{{0, 1, 18, M}, {1, 19, 50, DM}, {2, 69, 8, DM}, {3, 77, 8, DM}, {4, 135, 1, DM},
       {5, 136, 7, DM}, {6, 137, 6, DM}}}},
    {13, "FDAT013", "Publicité: Système Tiers: Spots", 'N', 300, 1536,
     {{{0, 1, 33, M}, {1, 49, 12, DM}, {2, 1, 3, DM}, {2, 34, 15, DM}, {3, 1, 48, DM},
       {4, 170, 15, DM}}}},
    {14, "FDAT014", "Publicité: Système Tiers: Messages", 'N', 300, 1536,
     {{{0, 1, 18, M}, {1, 19, 1, DM}, {2, 20, 9, DM}}}},
    {15, "FDAT015", "Publicité: Système Tiers: Produits", 'N', 100, 1536,
     {{{0, 1, 53, M}, {1, 54, 10, DM}}}},
    {16, "FDAT016", "Publicité: Système Tiers: Clients", 'N', 100, 1536,
     {{{0, 1, 53, M}, {1, 54, 8, DM}}}},
    {17, "FDAT017", "V 3.4 Planification", 'O', 1000, 2048, {{{0, 1, 14, M}, {1, 198, 8, DM}}}},
    {19, "FDAT019", "Télé: Système Tiers: NinSight", 'N', 1000, 4096,
     {{{0, 1, 8, M}, {1, 9, 10, DM}, {2, 19, 50, DM}}}},
    {20, "FDAT020", "Artistes", 'O', 300, 1024,
     {{{0, 1, 5, M}, {1, 6, 10, DM}, {2, 16, 20, DMI}, {3, 46, 1, DM}, {3, 16, 20, DM}}}},
    {21, "FDAT021", "Voix, Groupe, Sonorité, Catégorie, ...", 'O', 980, 1024,
     {{{0, 1, 10, M}, {1, 1, 5, DMI}, {1, 11, 10, DMI}}}},
    {22, "FDAT022", "Morceaux", 'O', 900, 2048,
     {{{0, 1, 8, M}, {1, 9, 5, DM}, {2, 19, 5, DM}, {3, 64, 5, DM}, {4, 69, 5, DM},
       {5, 24, 20, DMI}}}},
    {23, "FDAT023", "Piles de morceaux par sujet", 'O', 100, 512,
     {{{0, 1, 8, DM}, {1, 9, 11, DM}, {2, 9, 5, DM}, {2, 51, 20, DMI}}}},
    {24, "FDAT024", "Piles de morceaux par catégorie", 'O', 100, 512,
     {{{0, 1, 8, DM}, {1, 9, 11, DM}, {2, 9, 5, DM}, {2, 51, 20, DMI}}}},
    {25, "FDAT025", "Priorités", 'O', 250, 512, {{{0, 1, 10, M}}}},
    {26, "FDAT026", "Table des morceaux pour le magnétophone", 'O', 150, 512,
     {{{0, 1, 8, DM}, {1, 9, 19, DM}, {2, 28, 14, DM}, {3, 42, 39, DMI}}}},
    {27, "FDAT027", "Conducteur publicité", 'O', 50, 512, {{{0, 1, 14, M}, {1, 15, 8, DM}}}},
    {28, "FDAT028", "Evénements musicaux réellement diffusés", 'O', 150, 512,
     {{{0, 1, 16, M}, {1, 97, 8, DM}, {2, 109, 14, DM}}}},
    {29, "FDAT029", "Morceaux (Clés complémentaires)", 'O', 100, 512,
     {{{0, 1, 18, DM}, {1, 1, 10, DMI}, {1, 19, 20, DMI}, {2, 11, 8, DM}}}},
    {30, "FDAT030", "Squelette des horloges", 'O', 250, 512, {{{0, 1, 8, M}}}},
    {31, "FDAT031", "Pointeurs de start, stop, loop, ...", 'O', 50, 512, {{{0, 1, 11, M}}}},
    {32, "FDAT032", "Renseignements complémentaires sur les morceaux", 'O', 250, 1024,
     {{{0, 1, 10, M}}}},
    {33, "FDAT033", "Historique des artistes et groupes programmés", 'O', 100, 512,
     {{{0, 1, 16, M}, {1, 17, 19, DM}, {2, 36, 19, DM}}}},
    {34, "FDAT034", "Historique des morceaux programmés", 'O', 200, 1024,
     {{{0, 9, 14, DM}, {1, 1, 22, DM}, {2, 23, 54, DMI}, {3, 77, 19, DM}, {4, 96, 19, DM},
       {5, 115, 14, DM}}}},
    {35, "FDAT035", "Historique des événements programmés", 'O', 400, 1024,
     {{{0, 1, 19, M}, {1, 253, 6, DM}, {2, 1, 10, DM}, {2, 14, 6, DM}}}},
    {36, "FDAT036", "V 3.4 Sponsors des émissions", 'O', 100, 512,
     {{{0, 6, 5, MI}, {1, 1, 10, MI}, {2, 11, 8, DMI}}}},
    {37, "FDAT037", "V 3.4 Informations sur les sons", 'N', 500, 1024,
     {{{0, 1, 8, M}, {1, 9, 12, DM}, {2, 21, 12, DM}}}},
    {40, "FDAT040", "V 3.4 Morceaux non diffusés", 'O', 900, 1024,
     {{{0, 1, 8, DM}, {1, 9, 14, DM}}}},
    {41, "FDAT041", "V 3.4 Convert Entête", 'N', 900, 2048,
     {{{0, 1, 10, M}, {1, 11, 50, DMI}, {2, 61, 14, DMI}}}},
    {42, "FDAT042", "V 3.4 Convert Détail", 'N', 900, 2048, {{{0, 1, 20, M}}}},
    {43, "FDAT043", "V 3.4 Podcast: Emission", 'O', 4000, 4096, {{{0, 1, 8, M}, {1, 9, 60, DMI}}}},
    {44, "FDAT044", "V 3.4 Podcast: Articles des Emissions", 'O', 4000, 4096,
     {{{0, 1, 8, M}, {1, 9, 21, DM}, {2, 30, 60, DMI}}}},
    {45, "FDAT045", "V 3.4 Podcast: Images des Emissions ou des Articles", 'O', 4000, 4096,
     {{{0, 1, 8, M}}}},
    {46, "FDAT046", "V 3.4 Equivalence entre les morceaux", 'N', 512, 1024, {{{0, 1, 5, M}}}},
    {47, "FDAT047", "V 3.4 Historique de Diffusion: Codes et Libellés", 'O', 4082, 4096,
     {{{0, 1, 11, M}}}},
    {48, "FDAT048", "V 3.4 Table des titres", 'O', 100, 512, {{{0, 1, 8, M}, {1, 9, 43, DM}}}},
    {49, "FDAT049", "V 3.4 Historique de Diffusion: Ecarts", 'O', 450, 512, {{{0, 1, 8, M}}}},
    {53, "FDAT053", "V.2017 Player: Conducteur musical", 'O', 500, 1024,
     {{{0, 1, 16, M}, {1, 17, 8, DM}}}},
});
// clang-format on

CatalogueEntry EntryOf(const CatalogueRow& row) {
    CatalogueEntry entry;
    entry.Description = Utf8ToCp1252(row.description);
    entry.NomFichier = std::string(row.name);
    entry.NomFichier.resize(8, ' ');
    entry.ParStation = std::string(1, row.parStation);
    entry.LongueurEnreg = row.recordLength;
    entry.TaillePage = row.pageSize;
    for (std::size_t i = 0; i < row.segments.size(); ++i) {
        const SegmentRow& segment = row.segments[i];
        if (segment.key < 0) {
            break;
        }
        const bool continues =
            i + 1 < row.segments.size() && row.segments[i + 1].key == segment.key;
        entry.Segments[i] = {segment.position, segment.length,
                             segment.flags | (continues ? kSegmented : 0)};
        entry.NbCles = segment.key + 1;
    }
    return entry;
}

}  // namespace

void InitGeneralData(CatalogueTable& catalogue) {
    catalogue.fill(CatalogueEntry{});
    for (const CatalogueRow& row : kRows) {
        catalogue[static_cast<std::size_t>(row.file)] = EntryOf(row);
    }
}

std::int32_t LongueurMinimaleCle(const CatalogueTable& catalogue, int file, int keyNumber) {
    if (file < 0 || file > 49 || file == 19 || keyNumber < 0) {
        return -1;
    }
    if (file == 20 && keyNumber == 1) {
        return 3;
    }
    const CatalogueEntry& entry = catalogue[static_cast<std::size_t>(file)];
    if (keyNumber >= entry.NbCles) {
        return -1;
    }
    // Walk the segments key by key: a key ends at the first segment without the segmented flag.
    int key = 0;
    std::int32_t total = 0;
    for (const KeySegment& segment : entry.Segments) {
        if (segment.Longueur == 0) {
            break;
        }
        if (key == keyNumber) {
            total += segment.Longueur;
        }
        if ((segment.Flags & kSegmented) == 0) {
            if (key == keyNumber) {
                return total;
            }
            ++key;
        }
    }
    return -1;
}

std::string NomFichierBTR(const CatalogueTable& catalogue, int file, int stationIndex) {
    if (!IsFileNumber(file)) {
        return "";
    }
    const CatalogueEntry& entry = catalogue[static_cast<std::size_t>(file)];
    std::string name = Trim(entry.NomFichier) + ".bt6";
    if (entry.ParStation == "O" && name.size() >= 5) {
        name[4] = static_cast<char>(65 + stationIndex);
    }
    return name;
}

}  // namespace ks
