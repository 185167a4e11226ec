// Genuine 6.x files of the suite's own shapes, written by the test writer, import into tables
// that walk every key exactly as tables built by inserting the same records in the same order:
// string keys with duplicates, case-insensitive and segmented ones, records filling a page,
// files needing a second page allocation table, variable parts spread over several pages,
// typed keys and the lower-case collation.
#include "support/genuine_writer.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/key_bytes.h"
#include "ks/engine/genuine_import.h"
#include "ks/engine/table_check.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::genuine {
namespace {

// Records of `shape` from a small alphabet, mixed case, so that keys share values; records
// that would repeat a value of a key without duplicates are skipped. Variable-length shapes
// get variable parts of 0 to `longest` bytes.
std::vector<std::string> Records(const FileSpec& shape, std::size_t count,
                                 std::size_t longest = 0) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245U + 12345U;
        return (seed >> 16) & 0x7FFF;
    };
    static constexpr char kAlphabet[] = "aAbBcC\0\xE9";
    std::vector<std::set<std::string>> taken(shape.keys.size());
    std::vector<std::string> records;
    while (records.size() < count) {
        std::string record(shape.recordLength, ' ');
        for (char& c : record) {
            c = kAlphabet[next() % 8];
        }
        if (shape.Variable()) {
            const std::size_t extra = next() % (longest + 1);
            for (std::size_t i = 0; i < extra; ++i) {
                record += static_cast<char>(next() & 0xFF);
            }
        }
        bool unique = true;
        for (std::size_t k = 0; k < shape.keys.size() && unique; ++k) {
            const KeyDef& key = shape.keys[k];
            unique = key.Duplicates() || !taken[k].count(FoldKey(key, KeyOfRecord(key, record)));
        }
        if (!unique) {
            continue;
        }
        for (std::size_t k = 0; k < shape.keys.size(); ++k) {
            taken[k].insert(FoldKey(shape.keys[k], KeyOfRecord(shape.keys[k], record)));
        }
        records.push_back(std::move(record));
    }
    return records;
}

struct Shape {
    const char* name;
    FileSpec shape;
    std::size_t records;
    std::size_t longest = 0;
};

FileSpec TypedVariableShape() {
    FileSpec shape;
    shape.recordLength = 40;
    shape.pageSize = 1024;
    shape.fileFlags = file_flag::kVariableLength;
    constexpr std::uint16_t kDup = key_flag::kDuplicates | key_flag::kModifiable;
    shape.keys = {
        {{{1, 10, kDup | key_flag::kExtendedType | key_flag::kCaseInsensitive,
           key_type::kZString}}},
        {{{11, 2, kDup | key_flag::kExtendedType, key_type::kInteger}}},
        {{{13, 6, kDup | key_flag::kAlternateCollation | key_flag::kSegmented},
          {19, 4, kDup | key_flag::kExtendedType, key_type::kUnsigned}}},
    };
    return shape;
}

TEST(GenuineWriter, FilesOfTheSuiteShapesImportAsTheSameRecordsInserted) {
    const std::vector<Shape> shapes = {
        // 2 songs a page: 1,100 songs need more than one page allocation table.
        {"songs (22)", ks::test::CatalogueShape(22), 1100},
        {"artists (20)", ks::test::CatalogueShape(20), 200},
        {"spot dates, segmented (7)", ks::test::CatalogueShape(7), 300},
        {"sponsors, two case-insensitive unique keys (36)", ks::test::CatalogueShape(36), 150},
        {"one 4082-byte record a page (47)", ks::test::CatalogueShape(47), 20},
        {"typed keys, variable parts over several pages", TypedVariableShape(), 120, 5000},
    };
    ks::test::TempDir dir;
    RecordEngine engine(test::FastOptions());
    TableOpenOptions options;
    options.waitForDisk = false;
    for (const auto& s : shapes) {
        SCOPED_TRACE(s.name);
        ASSERT_FALSE(s.shape.keys.empty());
        const auto records = Records(s.shape, s.records, s.longest);
        const std::string genuine = dir.Folder() + "genuine.dat";
        ASSERT_TRUE(ks::test::WriteGenuineFile(genuine, s.shape, records));
        const std::string imported = dir.Folder() + "imported.bt6";
        const auto result = ImportGenuineTable(genuine, imported, {options.waitForDisk});
        ASSERT_EQ(result.status, 0) << result.reason;
        EXPECT_EQ(result.records, records.size());
        EXPECT_EQ(CheckTableFile(imported), std::vector<std::string>{});

        const std::string inserted = dir.Folder() + "inserted.bt6";
        ASSERT_EQ(TableFile::Create(inserted, s.shape, options,
                                    [&records](TableFile& table) {
                                        std::int64_t id = 0;
                                        for (const auto& record : records) {
                                            ASSERT_EQ(table.Insert(record, id), 0);
                                        }
                                    }),
                  0);
        for (std::size_t k = 0; k < s.shape.keys.size(); ++k) {
            const auto walked = test::WalkKey(engine, imported, static_cast<std::int8_t>(k));
            EXPECT_EQ(walked.size(), records.size()) << "key " << k;
            EXPECT_TRUE(walked == test::WalkKey(engine, inserted, static_cast<std::int8_t>(k)))
                << "key " << k;
        }
    }
}

TEST(GenuineWriter, AValueRepeatedInAKeyWithoutDuplicatesIsRefused) {
    const FileSpec shape = ks::test::CatalogueShape(25);  // one unique key, bytes 1-10
    std::vector<std::string> records(3, std::string(250, '.'));
    records[0].replace(0, 10, "PRIORITY01");
    records[1].replace(0, 10, "PRIORITY02");
    records[2].replace(0, 10, "PRIORITY01");
    ks::test::TempDir dir;
    ASSERT_TRUE(ks::test::WriteGenuineFile(dir.Folder() + "FDAT025.DAT", shape, records));
    const auto result = ImportGenuineTable(dir.Folder() + "FDAT025.DAT", dir.Folder() + "t.bt6");
    EXPECT_EQ(result.status, status::kDuplicateKey);
    EXPECT_EQ(result.reason,
              "FDAT025.DAT: record 3 has the value of key 0 of an earlier record, and the key "
              "allows no duplicates");
    EXPECT_FALSE(std::filesystem::exists(dir.Folder() + "t.bt6"));
}

}  // namespace
}  // namespace ks::engine::genuine
