// Each operation of the record engine on a small table: its effect on the records, on the
// position block, on the data and key buffers.
#include <gtest/gtest.h>

#include "engine/record_engine.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::test {
namespace {

constexpr std::uint16_t kRecordLength = 40;

// Key 0: bytes 1-8, unique. Key 1: bytes 9-14, duplicates. Key 2: bytes 15-20 folded to upper
// case, then bytes 21-24 compared as they are, duplicates.
std::string TableSpec() {
    return SpecBuffer(kRecordLength, 512, 3,
                      {{1, 8, key_flag::kModifiable},
                       {9, 6, key_flag::kDuplicates | key_flag::kModifiable},
                       {15, 6,
                        key_flag::kDuplicates | key_flag::kModifiable | key_flag::kSegmented |
                            key_flag::kCaseInsensitive},
                       {21, 4, key_flag::kDuplicates | key_flag::kModifiable}});
}

std::string Rec(std::string_view k0, std::string_view k1 = "GRP000", std::string_view k2 = "name00",
                std::string_view k3 = "ab00", std::string_view rest = "") {
    std::string record(kRecordLength, ' ');
    record.replace(0, k0.size(), k0);
    record.replace(8, k1.size(), k1);
    record.replace(14, k2.size(), k2);
    record.replace(20, k3.size(), k3);
    record.replace(24, rest.size(), rest);
    return record;
}

class RecordOperations : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.Folder() + "FDATA22.bt6";
        TableClient creator(engine);
        ASSERT_EQ(creator.Create(path, TableSpec()), 0);
        ASSERT_EQ(table.Open(path), 0);
    }

    // The first 8 bytes (key 0) of the records met walking `operation` from the current one.
    std::vector<std::string> Walk(std::uint16_t operation, std::int8_t keyNumber) {
        std::vector<std::string> seen;
        while (table.Step(operation, keyNumber) == 0) {
            seen.push_back(table.Record().substr(0, 8));
        }
        return seen;
    }

    ks::test::TempDir dir;
    std::string path;
    RecordEngine engine{FastOptions()};
    TableClient table{engine};
};

TEST_F(RecordOperations, InsertReturnsTheKeyAndMakesTheRecordCurrent) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    ASSERT_EQ(table.Insert(Rec("00000003")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002")), 0);
    EXPECT_EQ(table.Key(8), "00000002");
    EXPECT_EQ(table.key[8], 0) << "the rest of the key buffer stays as it was";
    ASSERT_EQ(table.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000003");
    ASSERT_EQ(table.Insert(Rec("00000004", "GRP001"), 1), 0);
    EXPECT_EQ(table.Key(6), "GRP001") << "the key of the key number passed";
    EXPECT_EQ(table.Step(op::kGetNext, 0), status::kDifferentKeyNumber);
    ASSERT_EQ(table.Step(op::kGetPrevious, 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000002");
}

TEST_F(RecordOperations, InsertWithKeyMinusOneLeavesThePositionAsItWas) {
    for (const char* k : {"00000001", "00000002", "00000004"}) {
        ASSERT_EQ(table.Insert(Rec(k)), 0);
    }
    TableClient fresh(engine);
    ASSERT_EQ(fresh.Open(path), 0);
    ASSERT_EQ(fresh.Insert(Rec("00000005"), -1), 0);
    EXPECT_EQ(fresh.Step(op::kGetNext, 0), status::kInvalidPositioning) << "still no position";

    ASSERT_EQ(table.Get(op::kGetEqual, "00000002", 0), 0);
    table.SetData(Rec("00000003"));
    table.key.fill('#');
    ASSERT_EQ(table.Do(op::kInsert, -1), 0);
    EXPECT_EQ(table.key[0], '#') << "no key is returned";
    EXPECT_EQ(table.Insert(Rec("00000003"), -1), status::kDuplicateKey);
    EXPECT_EQ(Walk(op::kGetNext, 0),
              (std::vector<std::string>{"00000003", "00000004", "00000005"}));
}

TEST_F(RecordOperations, InsertOfAnExistingUniqueKeyIsRefusedWithFive) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    EXPECT_EQ(table.Insert(Rec("00000001", "OTHER1")), status::kDuplicateKey);
    ASSERT_EQ(table.Get(op::kGetEqual, "00000001", 0), 0);
    EXPECT_EQ(table.Record(), Rec("00000001"));
}

TEST_F(RecordOperations, GetEqualReturnsRecordLengthAndKey) {
    ASSERT_EQ(table.Insert(Rec("00000001", "GRP001", "name01", "ab01", "payload")), 0);
    table.key.fill('#');
    table.SetKey("GRP001");
    table.key[6] = '#';
    table.length = 4096;
    ASSERT_EQ(table.Do(op::kGetEqual, 1), 0);
    EXPECT_EQ(table.length, kRecordLength);
    EXPECT_EQ(table.Record(), Rec("00000001", "GRP001", "name01", "ab01", "payload"));
    EXPECT_EQ(table.Key(7), "GRP001#");
    EXPECT_EQ(table.Get(op::kGetEqual, "GRP002", 1), status::kKeyNotFound);
}

TEST_F(RecordOperations, FailedCallsLeaveTheDataLengthAsPassed) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, "99999999", 0, 1234), status::kKeyNotFound);
    EXPECT_EQ(table.length, 1234U);
    EXPECT_EQ(table.Get(op::kGetEqual, "00000001", 0, 10), status::kDataBufferTooShort);
    EXPECT_EQ(table.length, 10U);
    table.length = 77;
    EXPECT_EQ(table.Do(op::kBeginTransaction), 0);
    EXPECT_EQ(table.length, 77U);
    EXPECT_EQ(table.Do(op::kAbortTransaction), 0);
}

TEST_F(RecordOperations, UpdateKeepsTheRecordCurrent) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002")), 0);
    ASSERT_EQ(table.Insert(Rec("00000003")), 0);
    ASSERT_EQ(table.Get(op::kGetEqual, "00000002", 0), 0);
    ASSERT_EQ(table.Update(Rec("00000002", "GRP009", "name00", "ab00", "changed")), 0);
    ASSERT_EQ(table.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000003");
    ASSERT_EQ(table.Get(op::kGetEqual, "GRP009", 1), 0);
    EXPECT_EQ(table.Record().substr(24, 7), "changed");
}

TEST_F(RecordOperations, UpdateMovesAChangedDuplicateKeyAfterItsNewDuplicates) {
    ASSERT_EQ(table.Insert(Rec("00000001", "GRPAAA")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002", "GRPBBB")), 0);
    ASSERT_EQ(table.Insert(Rec("00000003", "GRPBBB")), 0);
    ASSERT_EQ(table.Get(op::kGetEqual, "00000001", 0), 0);
    ASSERT_EQ(table.Update(Rec("00000001", "GRPBBB")), 0);
    ASSERT_EQ(table.Get(op::kGetEqual, "GRPBBB", 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000002");
    EXPECT_EQ(Walk(op::kGetNext, 1), (std::vector<std::string>{"00000003", "00000001"}));
}

TEST_F(RecordOperations, UpdateOfAKeyThatMayNotChangeIsRefusedWithTen) {
    const std::string shape = SpecBuffer(20, 512, 1, {{1, 4, 0}});
    TableClient other(engine);
    ASSERT_EQ(other.Create(dir.Folder() + "fixed.bt6", shape), 0);
    ASSERT_EQ(other.Open(dir.Folder() + "fixed.bt6"), 0);
    ASSERT_EQ(other.Insert(std::string("AAAA") + std::string(16, 'x')), 0);
    EXPECT_EQ(other.Update(std::string("BBBB") + std::string(16, 'x')),
              status::kModifiableKeyChanged);
    EXPECT_EQ(other.Update(std::string("AAAA") + std::string(16, 'y')), 0);
    ASSERT_EQ(other.Get(op::kGetEqual, "AAAA", 0), 0);
    EXPECT_EQ(other.Record().substr(4), std::string(16, 'y'));
}

TEST_F(RecordOperations, UpdateToAnotherRecordsUniqueKeyIsRefusedWithFive) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002")), 0);
    EXPECT_EQ(table.Update(Rec("00000001")), status::kDuplicateKey);
    ASSERT_EQ(table.Get(op::kGetEqual, "00000002", 0), 0);
}

TEST_F(RecordOperations, DeleteKeepsTheLogicalPosition) {
    for (const char* k : {"00000001", "00000002", "00000003", "00000004"}) {
        ASSERT_EQ(table.Insert(Rec(k)), 0);
    }
    ASSERT_EQ(table.Get(op::kGetEqual, "00000002", 0), 0);
    const auto saved = table.block;
    ASSERT_EQ(table.Delete(), 0);
    ASSERT_EQ(table.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000003");
    table.block = saved;
    ASSERT_EQ(table.Get(op::kGetEqual, "00000003", 0), 0);
    ASSERT_EQ(table.Delete(), 0);
    ASSERT_EQ(table.Step(op::kGetPrevious, 0), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000001");
    EXPECT_EQ(table.Get(op::kGetEqual, "00000002", 0), status::kKeyNotFound);
}

TEST_F(RecordOperations, DeleteAfterDeleteAndUpdateWithoutRecordAnswerEight) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    ASSERT_EQ(table.Delete(), 0);
    EXPECT_EQ(table.Delete(), status::kInvalidPositioning);
    EXPECT_EQ(table.Update(Rec("00000001")), status::kInvalidPositioning);
    TableClient fresh(engine);
    ASSERT_EQ(fresh.Open(path), 0);
    EXPECT_EQ(fresh.Delete(), status::kInvalidPositioning);
    EXPECT_EQ(fresh.Update(Rec("00000001")), status::kInvalidPositioning);
    EXPECT_EQ(fresh.Step(op::kGetNext, 0), status::kInvalidPositioning);
}

TEST_F(RecordOperations, GetNextOnAnotherKeyThanThePositioningAnswersSeven) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002")), 0);
    ASSERT_EQ(table.Get(op::kGetFirst, "", 0), 0);
    EXPECT_EQ(table.Step(op::kGetNext, 1), status::kDifferentKeyNumber);
    EXPECT_EQ(table.Step(op::kGetPrevious, 2), status::kDifferentKeyNumber);
    ASSERT_EQ(table.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000002");
}

TEST_F(RecordOperations, GetFirstLastAndEndOfFile) {
    EXPECT_EQ(table.Get(op::kGetFirst, "", 0), status::kEndOfFile);
    EXPECT_EQ(table.Get(op::kGetLast, "", 1), status::kEndOfFile);
    for (const char* k : {"00000005", "00000001", "00000009"}) {
        ASSERT_EQ(table.Insert(Rec(k)), 0);
    }
    ASSERT_EQ(table.Get(op::kGetFirst, "", 0), 0);
    EXPECT_EQ(table.Key(8), "00000001");
    EXPECT_EQ(table.Step(op::kGetPrevious, 0), status::kEndOfFile);
    ASSERT_EQ(table.Get(op::kGetLast, "", 0), 0);
    EXPECT_EQ(table.Key(8), "00000009");
    EXPECT_EQ(table.Step(op::kGetNext, 0), status::kEndOfFile);
    ASSERT_EQ(table.Step(op::kGetPrevious, 0), 0);
    EXPECT_EQ(table.Key(8), "00000005");
}

TEST_F(RecordOperations, RangeReadsFindTheNeighbours) {
    for (const char* k : {"00000010", "00000020", "00000030"}) {
        ASSERT_EQ(table.Insert(Rec(k)), 0);
    }
    ASSERT_EQ(table.Get(op::kGetGreater, "00000020", 0), 0);
    EXPECT_EQ(table.Key(8), "00000030");
    ASSERT_EQ(table.Get(op::kGetGreaterOrEqual, "00000020", 0), 0);
    EXPECT_EQ(table.Key(8), "00000020");
    ASSERT_EQ(table.Get(op::kGetGreaterOrEqual, "00000015", 0), 0);
    EXPECT_EQ(table.Key(8), "00000020");
    ASSERT_EQ(table.Get(op::kGetLessThan, "00000020", 0), 0);
    EXPECT_EQ(table.Key(8), "00000010");
    ASSERT_EQ(table.Get(op::kGetLessOrEqual, "00000025", 0), 0);
    EXPECT_EQ(table.Key(8), "00000020");
    EXPECT_EQ(table.Get(op::kGetGreater, "00000030", 0), status::kEndOfFile);
    EXPECT_EQ(table.Get(op::kGetLessThan, "00000010", 0), status::kEndOfFile);
    EXPECT_EQ(table.Get(op::kGetGreaterOrEqual, "00000031", 0), status::kEndOfFile);
}

TEST_F(RecordOperations, GetLessOrEqualWithHighBytesInTheKey) {
    ASSERT_EQ(table.Insert(Rec("2026\xFE"
                               "000")),
              0);
    ASSERT_EQ(table.Insert(Rec("2026\xFF"
                               "000")),
              0);
    ASSERT_EQ(table.Insert(Rec("2027"
                               "0000")),
              0);
    ASSERT_EQ(table.Insert(Rec("2026zzzz")), 0);
    ASSERT_EQ(table.Get(op::kGetLessOrEqual, "2026\xFF\xFF\xFF\xFF", 0), 0);
    EXPECT_EQ(table.Key(8),
              "2026\xFF"
              "000")
        << "bytes compare unsigned: 0xFF above 'z'";
    ASSERT_EQ(table.Step(op::kGetPrevious, 0), 0);
    EXPECT_EQ(table.Key(8),
              "2026\xFE"
              "000");
    ASSERT_EQ(table.Step(op::kGetPrevious, 0), 0);
    EXPECT_EQ(table.Key(8), "2026zzzz");
    ASSERT_EQ(table.Get(op::kGetLessThan, "2027\xFF\xFF\xFF\xFF", 0), 0);
    EXPECT_EQ(table.Key(8), "20270000");
}

TEST_F(RecordOperations, DuplicatesWalkInInsertionOrderBothWays) {
    for (const char* k : {"00000005", "00000003", "00000009", "00000001"}) {
        ASSERT_EQ(table.Insert(Rec(k, "GRPDUP")), 0);
    }
    ASSERT_EQ(table.Insert(Rec("00000000", "GRPAAA")), 0);
    ASSERT_EQ(table.Insert(Rec("00000099", "GRPZZZ")), 0);
    ASSERT_EQ(table.Get(op::kGetEqual, "GRPDUP", 1), 0);
    EXPECT_EQ(table.Key(6), "GRPDUP");
    EXPECT_EQ(table.Record().substr(0, 8), "00000005") << "get equal gives the first duplicate";
    EXPECT_EQ(Walk(op::kGetNext, 1),
              (std::vector<std::string>{"00000003", "00000009", "00000001", "00000099"}));
    ASSERT_EQ(table.Get(op::kGetLessOrEqual, "GRPDUP", 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000001") << "less or equal gives the last one";
    EXPECT_EQ(Walk(op::kGetPrevious, 1),
              (std::vector<std::string>{"00000009", "00000003", "00000005", "00000000"}));
    ASSERT_EQ(table.Get(op::kGetGreaterOrEqual, "GRPB", 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000005");
    ASSERT_EQ(table.Get(op::kGetLessThan, "GRPZZZ", 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000001");
    ASSERT_EQ(table.Get(op::kGetGreater, "GRPAAA", 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000005");
}

TEST_F(RecordOperations, GetNextAfterDeletingADuplicateInTheMiddle) {
    for (const char* k : {"00000001", "00000002", "00000003"}) {
        ASSERT_EQ(table.Insert(Rec(k, "GRPDUP")), 0);
    }
    ASSERT_EQ(table.Get(op::kGetEqual, "GRPDUP", 1), 0);
    ASSERT_EQ(table.Step(op::kGetNext, 1), 0);
    ASSERT_EQ(table.Delete(), 0);
    ASSERT_EQ(table.Step(op::kGetNext, 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000003");
    ASSERT_EQ(table.Step(op::kGetPrevious, 1), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000001");
}

TEST_F(RecordOperations, CaseInsensitiveSegmentsFoldOnlyAsciiLetters) {
    const std::string shape = SpecBuffer(
        20, 512, 1,
        {{1, 10, key_flag::kDuplicates | key_flag::kModifiable | key_flag::kCaseInsensitive}});
    TableClient names(engine);
    const std::string file = dir.Folder() + "names.bt6";
    ASSERT_EQ(names.Create(file, shape), 0);
    ASSERT_EQ(names.Open(file), 0);
    auto rec = [](std::string name) {
        name.resize(20, ' ');
        return name;
    };
    ASSERT_EQ(names.Insert(rec("dupont")), 0);
    ASSERT_EQ(names.Insert(rec("DUPONT")), 0);
    ASSERT_EQ(names.Insert(rec("\xE9"
                               "cole")),
              0);  // école
    ASSERT_EQ(names.Insert(rec("\xC9"
                               "COLE")),
              0);  // ÉCOLE
    ASSERT_EQ(names.Get(op::kGetEqual, "DuPoNt    ", 0), 0);
    EXPECT_EQ(names.Record(), rec("dupont"));
    EXPECT_EQ(names.Key(10), "dupont    ") << "the key comes back as the record holds it";
    ASSERT_EQ(names.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(names.Record(), rec("DUPONT"));
    // Accented letters are not folded: é (0xE9) and É (0xC9) stay two different keys.
    ASSERT_EQ(names.Get(op::kGetEqual,
                        "\xC9"
                        "cole     ",
                        0),
              0);
    EXPECT_EQ(names.Record(), rec("\xC9"
                                  "COLE"));
    EXPECT_EQ(names.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(names.Record(), rec("\xE9"
                                  "cole"));
}

TEST_F(RecordOperations, KeyMixingFoldedAndExactSegments) {
    ASSERT_EQ(table.Insert(Rec("00000001", "GRP000", "martin", "Ab01")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002", "GRP000", "MARTIN", "ab01")), 0);
    ASSERT_EQ(table.Insert(Rec("00000003", "GRP000", "Martin", "Ab01")), 0);
    // The first segment ignores case, the second does not.
    ASSERT_EQ(table.Get(op::kGetEqual, "mArTiNAb01", 2), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000001");
    EXPECT_EQ(table.Key(10), "martinAb01");
    ASSERT_EQ(table.Step(op::kGetNext, 2), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000003");
    ASSERT_EQ(table.Step(op::kGetNext, 2), 0);
    EXPECT_EQ(table.Record().substr(0, 8), "00000002") << "'a' sorts after 'A'";
    EXPECT_EQ(table.Get(op::kGetEqual, "MARTINAB01", 2), status::kKeyNotFound);
}

TEST_F(RecordOperations, ACopyOfTheBlockReadsWithoutMovingTheOriginal) {
    for (const char* k : {"00000001", "00000002", "00000003"}) {
        ASSERT_EQ(table.Insert(Rec(k)), 0);
    }
    ASSERT_EQ(table.Get(op::kGetEqual, "00000001", 0), 0);
    const auto original = table.block;
    ASSERT_EQ(table.Get(op::kGetEqual, "00000003", 0), 0);
    table.block = original;
    ASSERT_EQ(table.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(table.Key(8), "00000002");
}

TEST_F(RecordOperations, TwoOpensOfOneFileHaveTheirOwnPositions) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002")), 0);
    TableClient second(engine);
    ASSERT_EQ(second.Open(path), 0);
    ASSERT_EQ(second.Get(op::kGetLast, "", 0), 0);
    ASSERT_EQ(table.Get(op::kGetFirst, "", 0), 0);
    ASSERT_EQ(second.Close(), 0);
    ASSERT_EQ(table.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(table.Key(8), "00000002");
    EXPECT_EQ(second.Step(op::kGetFirst, 0), status::kFileNotOpen);
}

TEST_F(RecordOperations, KeysLongerThanTheBlockHoldsKeepTheirPositionAfterDelete) {
    // 120-byte keys differing only past what a position block can hold.
    const std::string shape =
        SpecBuffer(130, 1024, 1, {{1, 120, key_flag::kDuplicates | key_flag::kModifiable}});
    TableClient wide(engine);
    const std::string file = dir.Folder() + "wide.bt6";
    ASSERT_EQ(wide.Create(file, shape), 0);
    ASSERT_EQ(wide.Open(file), 0);
    auto rec = [](char at110, char tag) {
        std::string record(130, 'k');
        record[109] = at110;
        record[125] = tag;
        return record;
    };
    for (const auto& [at110, tag] : {std::pair{'1', 'a'}, {'2', 'b'}, {'2', 'c'}, {'3', 'd'}}) {
        ASSERT_EQ(wide.Insert(rec(at110, tag)), 0);
    }
    ASSERT_EQ(wide.Get(op::kGetEqual, rec('2', 'x').substr(0, 120), 0), 0);
    EXPECT_EQ(wide.Record()[125], 'b');
    ASSERT_EQ(wide.Delete(), 0);
    ASSERT_EQ(wide.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(wide.Record()[125], 'c');
    ASSERT_EQ(wide.Delete(), 0);
    ASSERT_EQ(wide.Step(op::kGetPrevious, 0), 0);
    EXPECT_EQ(wide.Record()[125], 'a');
    ASSERT_EQ(wide.Step(op::kGetNext, 0), 0);
    EXPECT_EQ(wide.Record()[125], 'd');
}

TEST_F(RecordOperations, StatGivesTheShapeAndTheRecordCount) {
    ASSERT_EQ(table.Insert(Rec("00000001")), 0);
    ASSERT_EQ(table.Insert(Rec("00000002")), 0);
    table.length = 4096;
    ASSERT_EQ(table.Do(op::kStat), 0);
    const std::string shape = TableSpec();
    ASSERT_EQ(table.length, 16U + 4 * 16);
    EXPECT_EQ(table.data.substr(0, 6), shape.substr(0, 6));
    EXPECT_EQ(table.data[6], 2) << "record count in bytes 7-10";
    EXPECT_EQ(table.data.substr(16, 64), shape.substr(16, 64));
}

}  // namespace
}  // namespace ks::engine::test
