// The create buffer: read into a file's shape, kept in the file, and given back by stat.
#include "ks/engine/file_spec.h"

#include <gtest/gtest.h>

#include "engine/record_engine.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::test {
namespace {

// File 7 as the loader creates it: compressed, four keys, key 2 of two segments.
std::string File7Buffer() {
    return SpecBuffer(100, 512, 4, {{1, 21, 2}, {9, 13, 3}, {26, 10, 19}, {9, 13, 3}, {36, 21, 3}},
                      8);
}

const std::uint8_t* Bytes(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

TEST(FileSpec, TheBufferOfFileSevenGivesFourKeys) {
    const std::string buffer = File7Buffer();
    ASSERT_EQ(buffer.size(), 160U);
    FileSpec shape;
    ASSERT_EQ(ParseFileSpec(Bytes(buffer), buffer.size(), shape), 0);
    EXPECT_EQ(shape.recordLength, 100);
    EXPECT_EQ(shape.pageSize, 512);
    EXPECT_EQ(shape.fileFlags, 8);
    ASSERT_EQ(shape.keys.size(), 4U);
    EXPECT_EQ(shape.keys[0].Length(), 21U);
    EXPECT_FALSE(shape.keys[0].Duplicates());
    EXPECT_TRUE(shape.keys[0].Modifiable());
    ASSERT_EQ(shape.keys[2].segments.size(), 2U);
    EXPECT_EQ(shape.keys[2].segments[0].position, 26);
    EXPECT_EQ(shape.keys[2].segments[1].position, 9);
    EXPECT_EQ(shape.keys[2].Length(), 23U);
    EXPECT_TRUE(shape.keys[3].Duplicates());
}

TEST(FileSpec, KeysAnnouncedBeyondTheBufferAreRefused) {
    const std::string buffer = File7Buffer();
    FileSpec shape;
    EXPECT_EQ(ParseFileSpec(Bytes(buffer), 16 + 4 * 16, shape), status::kDataBufferTooShort);
    EXPECT_EQ(ParseFileSpec(Bytes(buffer), 16 + 5 * 16, shape), 0);
    EXPECT_EQ(ParseFileSpec(Bytes(buffer), 10, shape), status::kDataBufferTooShort);
}

TEST(FileSpec, AKeyLongerThanTheKeyBufferIsRefused) {
    const std::string buffer =
        SpecBuffer(600, 1024, 1, {{1, 200, key_flag::kSegmented}, {201, 56, 0}});
    FileSpec shape;
    EXPECT_EQ(ParseFileSpec(Bytes(buffer), buffer.size(), shape), status::kInvalidKeyLength);
}

TEST(FileSpec, StatGivesBackTheCreateBufferOfFileSeven) {
    ks::test::TempDir dir;
    RecordEngine engine(FastOptions());
    TableClient table(engine);
    const std::string path = dir.Folder() + "FDATA07.bt6";
    const std::string buffer = File7Buffer();
    ASSERT_EQ(table.Create(path, buffer), 0);
    ASSERT_EQ(table.Open(path), 0);
    std::string record(100, ' ');
    record.replace(0, 21, "ABCDEFGHIJKLMNOPQRSTU");
    ASSERT_EQ(table.Insert(record), 0);
    table.length = 4096;
    ASSERT_EQ(table.Do(op::kStat), 0);
    ASSERT_EQ(table.length, 16U + 5 * 16);
    std::string expected = buffer.substr(0, 16 + 5 * 16);
    expected[6] = 1;  // one record
    EXPECT_EQ(table.Record(), expected);
    // Key 2 reads bytes 26-35 then 9-21.
    ASSERT_EQ(table.Get(op::kGetEqual, std::string(10, ' ') + "IJKLMNOPQRSTU", 2), 0);
    EXPECT_EQ(table.Key(23), std::string(10, ' ') + "IJKLMNOPQRSTU");
    table.length = 20;
    EXPECT_EQ(table.Do(op::kStat), status::kDataBufferTooShort);
}

TEST(FileSpec, EachSegmentTypeAndCollationIsTakenOrRefused) {
    constexpr std::uint16_t kExt = key_flag::kExtendedType;
    struct Case {
        const char* name;
        Segment segment;
        std::int16_t status;
    };
    const std::vector<Case> cases = {
        {"zstring, case-insensitive",
         {1, 8, kExt | key_flag::kCaseInsensitive, key_type::kZString},
         0},
        {"string, lower", {1, 8, key_flag::kAlternateCollation}, 0},
        {"integer of 8", {1, 8, kExt, key_type::kInteger}, 0},
        {"float", {1, 8, kExt, 2}, status::kInvalidOperation},
        {"integer of 3", {1, 3, kExt, key_type::kInteger}, status::kInvalidKeyLength},
        {"autoincrement of 1", {1, 1, kExt, key_type::kAutoIncrement}, status::kInvalidKeyLength},
        {"both collations",
         {1, 8, key_flag::kCaseInsensitive | key_flag::kAlternateCollation},
         status::kInvalidOperation},
        {"unsigned, lower",
         {1, 4, kExt | key_flag::kAlternateCollation, key_type::kUnsigned},
         status::kInvalidOperation},
        {"descending", {1, 8, 0x40}, status::kInvalidOperation},
    };
    for (const auto& c : cases) {
        const std::string buffer = SpecBuffer(20, 512, 1, {c.segment});
        FileSpec shape;
        EXPECT_EQ(ParseFileSpec(Bytes(buffer), buffer.size(), shape), c.status) << c.name;
        if (c.status == 0) {
            EXPECT_EQ(EncodeFileSpec(shape, 0).substr(16, 16), buffer.substr(16, 16)) << c.name;
        }
    }
}

}  // namespace
}  // namespace ks::engine::test
