#include "core/db/catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

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

    // One 16-byte key specification of a creation buffer as (position, length, flags).
    static std::vector<int> KeySpec(const StructureBuffer& buffer, std::size_t index) {
        const std::size_t offset = 16 + index * 16;
        std::vector<int> spec;
        for (std::size_t i = 0; i < 3; ++i) {
            spec.push_back(buffer[offset + 2 * i] | (buffer[offset + 2 * i + 1] << 8));
        }
        for (std::size_t i = 6; i < 16; ++i) {
            if (buffer[offset + i] != 0) {
                spec.push_back(-1);  // a stray byte in the zero part
            }
        }
        return spec;
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

TEST_F(CatalogueTest, InitGeneralDataRebuildsAnAlteredCatalogue) {
    catalogue[22].LongueurEnreg = 1;
    catalogue[8].NomFichier = "JUNK    ";
    InitGeneralData(catalogue);
    EXPECT_EQ(Entry(22).LongueurEnreg, 900);
    EXPECT_EQ(Entry(8).NomFichier, "");
}

}  // namespace
}  // namespace ks
