// Keys ordered by their type (numbers as numbers, zero-terminated strings up to their end,
// the two collations) and variable-length records, through the classic call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/record_engine.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::test {
namespace {

constexpr std::uint16_t kTyped = key_flag::kExtendedType | key_flag::kDuplicates;

std::string LittleEndian(std::int64_t value, std::size_t length) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
        bytes += static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
    return bytes;
}

std::vector<std::string> Numbers(std::initializer_list<std::int64_t> values, std::size_t length) {
    std::vector<std::string> bytes;
    for (const auto value : values) {
        bytes.push_back(LittleEndian(value, length));
    }
    return bytes;
}

struct OrderCase {
    const char* name;
    Segment segment;
    std::vector<std::string> ascending;  // key values, in the order get next must give them
};

class TypedKeys : public ::testing::Test {
  protected:
    // A table of 16-byte records whose key 0 is `segment` at byte 1.
    void Create(Segment segment, std::uint16_t fileFlags = 0) {
        path = dir.Folder() + "typed.bt6";
        ASSERT_EQ(table.Create(path, SpecBuffer(16, 512, 1, {segment}, fileFlags)), 0);
        ASSERT_EQ(table.Open(path), 0);
    }
    static std::string Record(const std::string& key, std::size_t length = 16) {
        std::string record(length, '.');
        record.replace(0, key.size(), key);
        return record;
    }

    ks::test::TempDir dir;
    std::string path;
    RecordEngine engine{FastOptions()};
    TableClient table{engine};
};

TEST_F(TypedKeys, EachTypeWalksInTheOrderOfItsValues) {
    constexpr auto kMin32 = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax32 = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin64 = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax64 = std::numeric_limits<std::int64_t>::max();
    using std::string_literals::operator""s;
    const std::vector<OrderCase> cases = {
        {"int1", {1, 1, kTyped, key_type::kInteger}, Numbers({-128, -1, 0, 1, 127}, 1)},
        {"int2",
         {1, 2, kTyped, key_type::kInteger},
         Numbers({-32768, -256, -1, 0, 1, 255, 256, 32767}, 2)},
        {"int4",
         {1, 4, kTyped, key_type::kInteger},
         Numbers({kMin32, -65536, -1, 0, 1, 65535, 65536, kMax32}, 4)},
        {"int8",
         {1, 8, kTyped, key_type::kInteger},
         Numbers({kMin64, -1, 0, 1, std::int64_t{1} << 32, kMax64}, 8)},
        {"uint2", {1, 2, kTyped, key_type::kUnsigned}, Numbers({0, 1, 255, 256, 65535}, 2)},
        {"uint4",
         {1, 4, kTyped, key_type::kUnsigned},
         Numbers({0, 255, 256, 65536, 0xFFFFFFFF}, 4)},
        {"autoinc4",
         {1, 4, kTyped, key_type::kAutoIncrement},
         Numbers({-1, 1, 2, 255, 256, 70000}, 4)},
        // Bytes after the end of the string are no part of it; a-z sorts as A-Z, so "_"
        // (after "Z") comes after every letter.
        {"zstr nocase",
         {1, 6, kTyped | key_flag::kCaseInsensitive, key_type::kZString},
         {"\0\0\0\0\0\0"s, "ab\0\xFF\xFF\xFF"s, "ABC\0\0\0"s, "abd\0\0\0"s, "_x\0\0\0\0"s,
          "\xE9\0\0\0\0\0"s}},
        // A-Z sorts as a-z: "[" and "_" (before "a") come before every letter.
        {"string lower",
         {1, 2, key_flag::kDuplicates | key_flag::kAlternateCollation},
         {"[a", "_x", "Ab", "ac", "BB", "bc"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Create(c.segment);
        std::vector<std::string> shuffled = c.ascending;
        std::rotate(shuffled.begin(), shuffled.begin() + 2, shuffled.end());
        std::reverse(shuffled.begin(), shuffled.end());
        for (const auto& value : shuffled) {
            ASSERT_EQ(table.Insert(Record(value)), 0);
        }
        std::vector<std::string> walked;
        for (auto op = op::kGetFirst; table.Step(op, 0) == 0; op = op::kGetNext) {
            walked.push_back(table.Record().substr(0, c.segment.length));
        }
        EXPECT_EQ(walked, c.ascending);
        ASSERT_EQ(table.Close(), 0);
    }
}

TEST_F(TypedKeys, AZeroTerminatedKeyEndsAtItsFirstZero) {
    using std::string_literals::operator""s;
    Create({1, 6, key_flag::kExtendedType, key_type::kZString});
    ASSERT_EQ(table.Insert(Record("AB\0xyz"s)), 0);
    EXPECT_EQ(table.Insert(Record("AB\0uvw"s)), status::kDuplicateKey);
    ASSERT_EQ(table.Get(op::kGetEqual, "AB\0\0\0\0"s, 0), 0);
    EXPECT_EQ(table.Record(), Record("AB\0xyz"s));
}

TEST_F(TypedKeys, AVariableLengthTableKeepsEachRecordWhole) {
    Create({1, 4, key_flag::kModifiable}, file_flag::kVariableLength);
    table.data.resize(70000);
    const std::vector<std::size_t> lengths = {16, 21, 3000, kMaxRecordLength};
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        std::string record = Record("R" + std::to_string(i), lengths[i]);
        record.back() = '$';
        ASSERT_EQ(table.Insert(record), 0) << lengths[i];
    }
    EXPECT_EQ(table.Insert(Record("S", 15)), status::kDataBufferTooShort);
    EXPECT_EQ(table.Insert(Record("T", kMaxRecordLength + 1)), status::kDataBufferTooShort);
    std::vector<std::size_t> walked;
    for (auto op = op::kGetFirst; table.Step(op, 0, 70000) == 0; op = op::kGetNext) {
        walked.push_back(table.length);
        EXPECT_EQ(table.Record().back(), '$');
    }
    EXPECT_EQ(walked, lengths);
    // A buffer too short for the whole record is refused, not given a cut record.
    EXPECT_EQ(table.Get(op::kGetEqual, "R2..", 0, 2999), status::kDataBufferTooShort);
    ASSERT_EQ(table.Get(op::kGetEqual, "R2..", 0, 3000), 0);
    ASSERT_EQ(table.Update(Record("R2", 17)), 0);
    ASSERT_EQ(table.Get(op::kGetEqual, "R2..", 0, 70000), 0);
    EXPECT_EQ(table.Record(), Record("R2", 17));
}

TEST_F(TypedKeys, AFixedLengthTableTakesOnlyItsLength) {
    Create({1, 4, 0});
    EXPECT_EQ(table.Insert(Record("A", 17)), status::kDataBufferTooShort);
    EXPECT_EQ(table.Insert(Record("A", 16)), 0);
}

}  // namespace
}  // namespace ks::engine::test
