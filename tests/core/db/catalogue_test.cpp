#include "core/db/catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/db/structure_btr.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

using ::testing::ElementsAre;

class CatalogueTest : public ::testing::Test {
  protected:
    CatalogueTest() { InitGeneralData(catalogue); }

    const CatalogueEntry& Entry(int file) const {
        return catalogue[static_cast<std::size_t>(file)];
    }

    // One 16-byte key-segment description of a creation buffer as (position, length, flags).
    static std::vector<int> KeySpec(const StructureBuffer& buffer, std::size_t index) {
        const std::size_t offset = 16 + index * 16;
        std::vector<int> shape;
        for (std::size_t i = 0; i < 3; ++i) {
            shape.push_back(buffer[offset + 2 * i] | (buffer[offset + 2 * i + 1] << 8));
        }
        for (std::size_t i = 6; i < 16; ++i) {
            if (buffer[offset + i] != 0) {
                shape.push_back(-1);  // a stray byte in the zero part
            }
        }
        return shape;
    }

    static int Word(const StructureBuffer& buffer, std::size_t offset) {
        return buffer[offset] | (buffer[offset + 1] << 8);
    }

    CatalogueTable catalogue;
};

TEST_F(CatalogueTest, FilesWithoutRowStayEmpty) {
    for (int file : {8, 18, 38, 39, 50, 51, 52, 54, 55, 56, 57, 58, 59, 60}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(Entry(file).LongueurEnreg, 0);
        EXPECT_EQ(Entry(file).NbCles, 0);
        EXPECT_EQ(Entry(file).Segments[0].Longueur, 0);
        EXPECT_EQ(NomFichierBTR(catalogue, file, 0), ".bt6");
    }
}

TEST_F(CatalogueTest, EveryRowIsNamedAfterItsNumberOnEightCharacters) {
    int rows = 0;
    for (int file = 0; file < kFileCount; ++file) {
        if (Entry(file).LongueurEnreg == 0) {
            continue;
        }
        ++rows;
        const std::string number = std::to_string(file);
        EXPECT_EQ(Entry(file).NomFichier,
                  "FDAT" + std::string(3 - number.size(), '0') + number + " ");
        EXPECT_TRUE(Entry(file).ParStation == "O" || Entry(file).ParStation == "N");
    }
    EXPECT_EQ(rows, 47);
}

TEST_F(CatalogueTest, SharedFilesAreExactlyThoseMarkedN) {
    std::set<int> shared;
    for (int file = 0; file < kFileCount; ++file) {
        if (Entry(file).ParStation == "N") {
            shared.insert(file);
        }
    }
    EXPECT_EQ(shared,
              (std::set<int>{0, 1, 2, 3, 4, 9, 11, 12, 13, 14, 15, 16, 19, 37, 41, 42, 46}));
}

TEST_F(CatalogueTest, DescriptionsAreWindows1252) {
    EXPECT_EQ(Entry(0).Description, "Param\xE9trage");
    EXPECT_EQ(Entry(21).Description, "Voix, Groupe, Sonorit\xE9, Cat\xE9gorie, ...");
    EXPECT_EQ(Cp1252ToUtf8(Entry(47).Description),
              "V 3.4 Historique de Diffusion: Codes et Libellés");
}

TEST_F(CatalogueTest, OnlyThePublishedFlagValuesOccurAndSegmentsStayInTheRecord) {
    std::set<int> flags;
    for (int file = 0; file < kFileCount; ++file) {
        const CatalogueEntry& entry = Entry(file);
        int keys = 0;
        bool ended = false;
        for (const KeySegment& segment : entry.Segments) {
            if (segment.Longueur == 0) {
                ended = true;
                EXPECT_EQ(segment.Position, 0);
                EXPECT_EQ(segment.Flags, 0);
                continue;
            }
            EXPECT_FALSE(ended) << "segment after an empty one in file " << file;
            flags.insert(segment.Flags);
            EXPECT_LE(segment.Position + segment.Longueur - 1, entry.LongueurEnreg)
                << "file " << file;
            if ((segment.Flags & 16) == 0) {
                ++keys;
            }
        }
        EXPECT_EQ(keys, entry.NbCles) << "file " << file;
    }
    EXPECT_EQ(flags, (std::set<int>{2, 3, 19, 1026, 1027, 1043}));
}

TEST_F(CatalogueTest, CreateBufferOfFile7HoldsFiveSegmentsOfFourKeys) {
    StructureBuffer buffer{};
    buffer.fill(0xAA);  // whatever was there before is overwritten
    InitStructureFichierBTR(catalogue, 7, false, buffer);
    EXPECT_EQ(Word(buffer, 0), 100);
    EXPECT_EQ(Word(buffer, 2), 512);
    EXPECT_EQ(Word(buffer, 4), 4);
    EXPECT_EQ(Word(buffer, 10), 0);
    for (std::size_t offset : {6U, 8U, 12U, 14U}) {
        EXPECT_EQ(Word(buffer, offset), 0);
    }
    EXPECT_THAT(KeySpec(buffer, 0), ElementsAre(1, 21, 2));
    EXPECT_THAT(KeySpec(buffer, 1), ElementsAre(9, 13, 3));
    EXPECT_THAT(KeySpec(buffer, 2), ElementsAre(26, 10, 19));
    EXPECT_THAT(KeySpec(buffer, 3), ElementsAre(9, 13, 3));
    EXPECT_THAT(KeySpec(buffer, 4), ElementsAre(36, 21, 3));
    for (std::size_t i = 5; i < 9; ++i) {
        EXPECT_THAT(KeySpec(buffer, i), ElementsAre(0, 0, 0));
    }
}

TEST_F(CatalogueTest, CreateBufferOfFile48IsCompressedWithTwoKeys) {
    StructureBuffer buffer{};
    InitStructureFichierBTR(catalogue, 48, true, buffer);
    EXPECT_EQ(Word(buffer, 0), 100);
    EXPECT_EQ(Word(buffer, 2), 512);
    EXPECT_EQ(Word(buffer, 4), 2);
    EXPECT_EQ(Word(buffer, 10), 8);
    EXPECT_THAT(KeySpec(buffer, 0), ElementsAre(1, 8, 2));
    EXPECT_THAT(KeySpec(buffer, 1), ElementsAre(9, 43, 3));
    EXPECT_THAT(KeySpec(buffer, 2), ElementsAre(0, 0, 0));
}

TEST_F(CatalogueTest, LargeAndOddRecordLengthsReachTheBuffer) {
    StructureBuffer buffer{};
    InitStructureFichierBTR(catalogue, 47, true, buffer);
    EXPECT_EQ(StructureRecordLength(buffer), 4082);
    EXPECT_EQ(Word(buffer, 2), 4096);
    InitStructureFichierBTR(catalogue, 49, true, buffer);
    EXPECT_EQ(StructureRecordLength(buffer), 450);
}

TEST_F(CatalogueTest, CaseInsensitiveSegmentFollowingACaseSensitiveOne) {
    StructureBuffer buffer{};
    InitStructureFichierBTR(catalogue, 23, true, buffer);
    EXPECT_THAT(KeySpec(buffer, 2), ElementsAre(9, 5, 19));
    EXPECT_THAT(KeySpec(buffer, 3), ElementsAre(51, 20, 1027));
    InitStructureFichierBTR(catalogue, 21, true, buffer);
    EXPECT_THAT(KeySpec(buffer, 1), ElementsAre(1, 5, 1043));
    EXPECT_THAT(KeySpec(buffer, 2), ElementsAre(11, 10, 1027));
}

TEST_F(CatalogueTest, CreationBufferForTheTableToolMatchesTheOpenOne) {
    StructureBuffer expected{};
    InitStructureFichierBTR(catalogue, 35, true, expected);
    const auto built = CatalogueCreationBuffer(35);
    ASSERT_TRUE(built.has_value());
    EXPECT_EQ(*built, expected);
    EXPECT_FALSE(CatalogueCreationBuffer(8).has_value());
    EXPECT_FALSE(CatalogueCreationBuffer(61).has_value());
    EXPECT_FALSE(CatalogueCreationBuffer(-1).has_value());
}

TEST_F(CatalogueTest, MinimumKeyLengths) {
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 7, 2), 23);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 7, 3), 21);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 20, 1), 3);  // the one exception
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 20, 3), 21);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 35, 0), 19);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 35, 2), 16);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 22, 5), 20);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 49, 0), 8);
}

TEST_F(CatalogueTest, KeysThatAreNotChecked) {
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 19, 0), -1);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 53, 0), -1);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 50, 0), -1);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 22, 6), -1);  // file 22 has keys 0 to 5
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 22, -1), -1);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, 8, 0), -1);
    EXPECT_EQ(LongueurMinimaleCle(catalogue, -3, 0), -1);
}

TEST_F(CatalogueTest, FileNamesCarryTheStationLetterOnlyForPerStationFiles) {
    EXPECT_EQ(NomFichierBTR(catalogue, 22, 0), "FDATA22.bt6");
    EXPECT_EQ(NomFichierBTR(catalogue, 20, 0), "FDATA20.bt6");
    EXPECT_EQ(NomFichierBTR(catalogue, 22, 1), "FDATB22.bt6");
    EXPECT_EQ(NomFichierBTR(catalogue, 53, 9), "FDATJ53.bt6");
    for (int index = 0; index < kStationCount; ++index) {
        EXPECT_EQ(NomFichierBTR(catalogue, 9, index), "FDAT009.bt6");
        EXPECT_EQ(NomFichierBTR(catalogue, 0, index), "FDAT000.bt6");
    }
    EXPECT_EQ(NomFichierBTR(catalogue, 61, 0), "");
}

// Every row of the catalogue as the suite's file documentation writes it: number, name,
// description, per-station flag, record length, page size, then the keys as "key: position/
// length of each segment joined by " + ", then the flag letters (one group per segment when
// they differ)". The catalogue decides how missing files are created, so a slip in any row
// makes files the rest of the suite cannot read.
constexpr std::array<std::string_view, 47> kDocumentedRows = {
    "0|FDAT000|Paramétrage|N|1000|1024|0: 1/10 M",
    "1|FDAT001|Commerciaux|N|300|1024|0: 1/8 M; 1: 9/10 DMI",
    "2|FDAT002|Secteurs d'activité|N|100|512|0: 1/10 M; 1: 11/10 DMI",
    "3|FDAT003|Clients|N|900|1024|0: 1/8 M; 1: 9/10 DMI",
    "4|FDAT004|Produits|N|100|512|0: 1/10 M; 1: 11/10 DMI",
    "5|FDAT005|Entêtes des contrats|O|150|512|0: 1/16 M; 1: 3/14 M; 2: 11/6 M",
    "6|FDAT006|Entêtes des spots|O|400|512|0: 1/8 M; 1: 9/10 DMI",
    "7|FDAT007|Dates de programmation des passages des spots|O|100|512|0: 1/21 M; 1: 9/13 DM; 2: "
    "26/10 + 9/13 DM; 3: 36/21 DM",
    "9|FDAT009|Paramétrage (Backup)|N|1000|1024|0: 1/10 M",
    "10|FDAT010|Publicité: Données programmées|O|400|512|0: 1/14 M",
    "11|FDAT011|Gestion des droits des utilisateurs|N|350|1536|0: 1/83 M",
    "12|FDAT012|Publicité: Système Tiers: Campagnes|N|300|1536|0: 1/18 M; 1: 19/50 DM; 2: 69/8 DM; "
    "3: 77/8 DM; 4: 135/1 DM; 5: 136/7 DM; 6: 137/6 DM",
    "13|FDAT013|Publicité: Système Tiers: Spots|N|300|1536|0: 1/33 M; 1: 49/12 DM; 2: 1/3 + 34/15 "
    "DM; 3: 1/48 DM; 4: 170/15 DM",
    "14|FDAT014|Publicité: Système Tiers: Messages|N|300|1536|0: 1/18 M; 1: 19/1 DM; 2: 20/9 DM",
    "15|FDAT015|Publicité: Système Tiers: Produits|N|100|1536|0: 1/53 M; 1: 54/10 DM",
    "16|FDAT016|Publicité: Système Tiers: Clients|N|100|1536|0: 1/53 M; 1: 54/8 DM",
    "17|FDAT017|V 3.4 Planification|O|1000|2048|0: 1/14 M; 1: 198/8 DM",
    "19|FDAT019|Télé: Système Tiers: NinSight|N|1000|4096|0: 1/8 M; 1: 9/10 DM; 2: 19/50 DM",
    "20|FDAT020|Artistes|O|300|1024|0: 1/5 M; 1: 6/10 DM; 2: 16/20 DMI; 3: 46/1 + 16/20 DM",
    "21|FDAT021|Voix, Groupe, Sonorité, Catégorie, ...|O|980|1024|0: 1/10 M; 1: 1/5 + 11/10 DMI",
    "22|FDAT022|Morceaux|O|900|2048|0: 1/8 M; 1: 9/5 DM; 2: 19/5 DM; 3: 64/5 DM; 4: 69/5 DM; 5: "
    "24/20 DMI",
    "23|FDAT023|Piles de morceaux par sujet|O|100|512|0: 1/8 DM; 1: 9/11 DM; 2: 9/5 + 51/20 DM/DMI",
    "24|FDAT024|Piles de morceaux par catégorie|O|100|512|0: 1/8 DM; 1: 9/11 DM; 2: 9/5 + 51/20 "
    "DM/DMI",
    "25|FDAT025|Priorités|O|250|512|0: 1/10 M",
    "26|FDAT026|Table des morceaux pour le magnétophone|O|150|512|0: 1/8 DM; 1: 9/19 DM; 2: 28/14 "
    "DM; 3: 42/39 DMI",
    "27|FDAT027|Conducteur publicité|O|50|512|0: 1/14 M; 1: 15/8 DM",
    "28|FDAT028|Evénements musicaux réellement diffusés|O|150|512|0: 1/16 M; 1: 97/8 DM; 2: 109/14 "
    "DM",
    "29|FDAT029|Morceaux (Clés complémentaires)|O|100|512|0: 1/18 DM; 1: 1/10 + 19/20 DMI; 2: 11/8 "
    "DM",
    "30|FDAT030|Squelette des horloges|O|250|512|0: 1/8 M",
    "31|FDAT031|Pointeurs de start, stop, loop, ...|O|50|512|0: 1/11 M",
    "32|FDAT032|Renseignements complémentaires sur les morceaux|O|250|1024|0: 1/10 M",
    "33|FDAT033|Historique des artistes et groupes programmés|O|100|512|0: 1/16 M; 1: 17/19 DM; 2: "
    "36/19 DM",
    "34|FDAT034|Historique des morceaux programmés|O|200|1024|0: 9/14 DM; 1: 1/22 DM; 2: 23/54 "
    "DMI; 3: 77/19 DM; 4: 96/19 DM; 5: 115/14 DM",
    "35|FDAT035|Historique des événements programmés|O|400|1024|0: 1/19 M; 1: 253/6 DM; 2: 1/10 + "
    "14/6 DM",
    "36|FDAT036|V 3.4 Sponsors des émissions|O|100|512|0: 6/5 MI; 1: 1/10 MI; 2: 11/8 DMI",
    "37|FDAT037|V 3.4 Informations sur les sons|N|500|1024|0: 1/8 M; 1: 9/12 DM; 2: 21/12 DM",
    "40|FDAT040|V 3.4 Morceaux non diffusés|O|900|1024|0: 1/8 DM; 1: 9/14 DM",
    "41|FDAT041|V 3.4 Convert Entête|N|900|2048|0: 1/10 M; 1: 11/50 DMI; 2: 61/14 DMI",
    "42|FDAT042|V 3.4 Convert Détail|N|900|2048|0: 1/20 M",
    "43|FDAT043|V 3.4 Podcast: Emission|O|4000|4096|0: 1/8 M; 1: 9/60 DMI",
    "44|FDAT044|V 3.4 Podcast: Articles des Emissions|O|4000|4096|0: 1/8 M; 1: 9/21 DM; 2: 30/60 "
    "DMI",
    "45|FDAT045|V 3.4 Podcast: Images des Emissions ou des Articles|O|4000|4096|0: 1/8 M",
    "46|FDAT046|V 3.4 Equivalence entre les morceaux|N|512|1024|0: 1/5 M",
    "47|FDAT047|V 3.4 Historique de Diffusion: Codes et Libellés|O|4082|4096|0: 1/11 M",
    "48|FDAT048|V 3.4 Table des titres|O|100|512|0: 1/8 M; 1: 9/43 DM",
    "49|FDAT049|V 3.4 Historique de Diffusion: Ecarts|O|450|512|0: 1/8 M",
    "53|FDAT053|V.2017 Player: Conducteur musical|O|500|1024|0: 1/16 M; 1: 17/8 DM",
};

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + separator.size();
    }
}

int Number(std::string_view text) {
    return std::stoi(std::string(text));
}

std::int32_t FlagsOf(std::string_view letters) {
    std::int32_t flags = 0;
    for (const char letter : letters) {
        flags |= letter == 'D' ? 1 : letter == 'M' ? 2 : letter == 'I' ? 1024 : 1 << 20;
    }
    return flags;
}

// The eight segments a documented key list stands for, the segmented flag on every segment
// of a key but its last.
std::array<KeySegment, kSegmentCount> DocumentedSegments(std::string_view keys, int& keyCount) {
    std::array<KeySegment, kSegmentCount> segments{};
    std::size_t next = 0;
    keyCount = 0;
    for (const std::string_view key : Split(keys, "; ")) {
        const std::string_view description = Split(key, ": ").at(1);
        const std::size_t blank = description.rfind(' ');
        const auto parts = Split(description.substr(0, blank), " + ");
        auto letters = Split(description.substr(blank + 1), "/");
        letters.resize(parts.size(), letters.front());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const auto where = Split(parts[i], "/");
            segments.at(next++) = {Number(where.at(0)), Number(where.at(1)),
                                   FlagsOf(letters[i]) | (i + 1 < parts.size() ? 16 : 0)};
        }
        ++keyCount;
    }
    return segments;
}

TEST_F(CatalogueTest, EveryRowMatchesTheSuitesFileDocumentation) {
    std::set<int> documented;
    for (const std::string_view row : kDocumentedRows) {
        const auto cells = Split(row, "|");
        ASSERT_EQ(cells.size(), 7U) << row;
        const int file = Number(cells[0]);
        SCOPED_TRACE(testing::Message() << "file " << file);
        documented.insert(file);
        const CatalogueEntry& entry = Entry(file);
        EXPECT_EQ(entry.NomFichier, std::string(cells[1]) + " ");
        EXPECT_EQ(Cp1252ToUtf8(entry.Description), cells[2]);
        EXPECT_EQ(entry.ParStation, cells[3]);
        EXPECT_EQ(entry.LongueurEnreg, Number(cells[4]));
        EXPECT_EQ(entry.TaillePage, Number(cells[5]));
        int keyCount = 0;
        const auto segments = DocumentedSegments(cells[6], keyCount);
        EXPECT_EQ(entry.NbCles, keyCount);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            EXPECT_EQ(entry.Segments[i].Position, segments[i].Position) << "segment " << i;
            EXPECT_EQ(entry.Segments[i].Longueur, segments[i].Longueur) << "segment " << i;
            EXPECT_EQ(entry.Segments[i].Flags, segments[i].Flags) << "segment " << i;
        }
    }
    for (int file = 0; file < kFileCount; ++file) {
        EXPECT_EQ(Entry(file).LongueurEnreg > 0, documented.contains(file)) << "file " << file;
    }
}

TEST_F(CatalogueTest, InitGeneralDataRebuildsAnAlteredCatalogue) {
    catalogue[22].LongueurEnreg = 1;
    catalogue[8].NomFichier = "JUNK    ";
    InitGeneralData(catalogue);
    EXPECT_EQ(Entry(22).LongueurEnreg, 900);
    EXPECT_EQ(Entry(8).NomFichier, "");
}

}  // namespace
}  // namespace ks
