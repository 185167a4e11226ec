// The three genuine 6.x sample files (tests/engine/data/genuine): two import with every
// published figure (shape, record count, each record's hash, the hash of all records in key 0
// order) and walk each key in the genuine order; the third, with a float key, is refused and
// its shape read as published. Then each kind of damage is refused with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/genuine/byte_source.h"
#include "engine/genuine/genuine_file.h"
#include "engine/genuine/genuine_shape.h"
#include "engine/table_file.h"
#include "ks-table/table_tool.h"
#include "ks/engine/genuine_import.h"
#include "ks/engine/table_check.h"
#include "support/sha256.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::genuine {
namespace {

using ks::test::Sha256Hex;
namespace fs = std::filesystem;

const std::string kSamples = KS_SOURCE_DIR "/tests/engine/data/genuine/";

TableOpenOptions Fast() {
    TableOpenOptions options;
    options.waitForDisk = false;
    return options;
}

genuine::ImportOptions FastImport() {
    return {.waitForDisk = false};
}

struct Published {
    const char* file;
    std::string stat;  // what the table tool's stat prints for the imported table
    std::uint32_t records;
    const char* sha256;  // of all records joined in key 0 order
};

// The records' lengths and hashes from NAME.records.tsv, in key 0 order.
std::vector<std::pair<std::size_t, std::string>> Listed(const std::string& file) {
    std::ifstream tsv(kSamples + file.substr(0, file.find('.')) + ".records.tsv");
    std::vector<std::pair<std::size_t, std::string>> listed;
    for (std::string line; std::getline(tsv, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::size_t index = 0;
        std::size_t length = 0;
        std::string hash;
        fields >> index >> length >> hash;
        listed.emplace_back(length, hash);
    }
    return listed;
}

// A key of the samples as the genuine file orders it: zero-terminated strings through a
// table that only turns a-z into A-Z.
std::string GenuineOrder(const KeyDef& key, const std::string& record) {
    std::string value;
    for (const auto& segment : key.segments) {
        std::string field = record.substr(segment.position - 1U, segment.length);
        field.resize(std::min(field.find('\0'), field.size()));
        std::transform(field.begin(), field.end(), field.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
        field.resize(segment.length, '\0');
        value += field;
    }
    return value;
}

std::string Tool(RecordEngine& engine, const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(tool::RunTableTool(args, engine, in, out, err), tool::kExitOk) << err.str();
    return out.str();
}

TEST(GenuineSamples, ImportWithEveryPublishedFigureAndTheGenuineKeyOrders) {
    const std::vector<Published> samples = {
        {"GALTELA.DAT",
         "record length: 950\npage size: 4096\nfile flags: 0\nrecords: 73\nkeys: 3\n"
         "key 0: 1:16:nocase,zstr+17:16:nocase,zstr\nkey 1: 1:16:dup,nocase,zstr\n"
         "key 2: 17:16:dup,nocase,zstr\n",
         73, "aa7fb7497ef10abe6746b05b67cf269af01bde2941d5ffc4e0e0f99bb2ab9fe8"},
        {"WGSMENU2.DAT",
         "record length: 448\npage size: 4096\nfile flags: 1 (variable-length records)\n"
         "records: 46\nkeys: 1\nkey 0: 1:17:mod,nocase,zstr\n",
         46, "a1466e1d456996318ad49567accb6feacd26193aa8ed13f48c8f6abeceb8d61b"},
    };
    ks::test::TempDir dir;
    RecordEngine engine(test::FastOptions());
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.file);
        const std::string target = dir.Folder() + sample.file + ".bt6";
        const auto result = ImportGenuineTable(kSamples + sample.file, target, FastImport());
        ASSERT_EQ(result.status, 0) << result.reason;
        EXPECT_EQ(result.records, sample.records);
        EXPECT_EQ(Tool(engine, {"stat", target}), sample.stat);
        EXPECT_EQ(CheckTableFile(target), std::vector<std::string>{});

        const auto byKey0 = test::WalkKey(engine, target, 0);
        std::string joined;
        std::vector<std::pair<std::size_t, std::string>> seen;
        for (const auto& record : byKey0) {
            joined += record;
            seen.emplace_back(record.size(), Sha256Hex(record));
        }
        EXPECT_EQ(Sha256Hex(joined), sample.sha256);
        EXPECT_EQ(seen, Listed(sample.file));

        // Every key walks as the genuine file orders it. Duplicates come in the order the file
        // links them: GALTELA chains the 72 "DEFAULT" records of key 1 from "bearhug" to "yell"
        // (its index page names these two as first and last), the order of key 0.
        std::unique_ptr<TableFile> table;
        ASSERT_EQ(TableFile::Open(target, Fast(), table), 0);
        const FileSpec shape = table->Shape();
        table.reset();
        for (std::size_t k = 1; k < shape.keys.size(); ++k) {
            auto expected = byKey0;
            std::stable_sort(expected.begin(), expected.end(),
                             [&key = shape.keys[k]](const std::string& a, const std::string& b) {
                                 return GenuineOrder(key, a) < GenuineOrder(key, b);
                             });
            EXPECT_EQ(test::WalkKey(engine, target, static_cast<std::int8_t>(k)), expected)
                << "key " << k;
        }
    }
}

TEST(GenuineSamples, AFloatKeyRefusesTheWholeFileNamingTheKey) {
    FileByteSource bytes(kSamples + "MULTIACS.DAT");
    GenuineFile file(bytes, "MULTIACS.DAT");
    const GenuineShape& shape = file.Shape();
    EXPECT_EQ(shape.recordLength, 128);
    EXPECT_TRUE(shape.variable);
    EXPECT_EQ(shape.recordCount, 0U);
    ASSERT_EQ(shape.keys.size(), 3U);
    auto describe = [](const GenuineKey& key) {
        std::string text = key.Duplicates() ? "dup" : "unique";
        for (const auto& s : key.segments) {
            text += " " + std::to_string(s.type) + "@" + std::to_string(s.position) + ":" +
                    std::to_string(s.length) + (s.tableName.empty() ? "" : "/" + s.tableName);
        }
        return text;
    };
    EXPECT_EQ(describe(shape.keys[0]), "dup 11@3:16/ALLCAPS");
    EXPECT_EQ(describe(shape.keys[1]), "unique 1@21:4 2@25:8");
    EXPECT_EQ(describe(shape.keys[2]), "unique 11@31:16/LOWER");
    EXPECT_EQ(shape.keys[0].segments[0].collation, Collation::kUpper);
    EXPECT_EQ(shape.keys[2].segments[0].collation, Collation::kLower);
    std::size_t handed = 0;
    file.ForEachRecord([&handed](std::string_view, const GenuineFile::Order&) { ++handed; });
    EXPECT_EQ(handed, 0U);

    ks::test::TempDir dir;
    const auto result = ImportGenuineTable(kSamples + "MULTIACS.DAT", dir.Folder() + "m.bt6");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.reason, "MULTIACS.DAT: key 1 segment 2: the float type is not supported");
    EXPECT_FALSE(fs::exists(dir.Folder() + "m.bt6"));
}

void Put(std::string& bytes, std::size_t at, std::initializer_list<unsigned> values) {
    for (const unsigned value : values) {
        bytes[at++] = static_cast<char>(value);
    }
}

TEST(GenuineSamples, DamageIsRefusedWithItsReasonAndTheTargetKept) {
    struct Damage {
        const char* name;
        const char* file;
        std::function<void(std::string&)> damage;
        std::int16_t status;
        std::string reason;
    };
    constexpr std::size_t kPage = 4096;
    const std::vector<Damage> cases = {
        {"cut inside a page", "GALTELA.DAT", [](std::string& b) { b.resize(100000); }, 2,
         "GALTELA.DAT: cut short: 100000 bytes are not a whole number of 4096-byte pages"},
        {"cut to fewer pages than it counts", "GALTELA.DAT",
         [](std::string& b) { b.resize(20 * kPage); }, 2,
         "GALTELA.DAT: cut short: the control record counts 28 logical pages, the file holds 20 "
         "pages"},
        {"cut before its last page", "GALTELA.DAT", [](std::string& b) { b.resize(30 * kPage); }, 2,
         "GALTELA.DAT: logical page 27 is at page 30, outside the file (cut short?)"},
        {"page size", "GALTELA.DAT",
         [](std::string& b) {
             Put(b, 8, {0xE8, 0x03});  // 1000
             Put(b, kPage + 8, {0xE8, 0x03});
         },
         2, "GALTELA.DAT: page size 1000 is not a multiple of 512 from 512 to 4096"},
        {"more records than the pages hold", "GALTELA.DAT",
         [](std::string& b) {
             Put(b, kPage + 0x1A, {0, 0, 0xE8, 0x03});
         },
         2,
         "GALTELA.DAT: the control record counts 1000 records, its 19 data pages hold at most "
         "76"},
        // Fragment 4 of variable page 8 (physical page 16, at byte 36) links to itself.
        {"cycle in the page links", "WGSMENU2.DAT",
         [](std::string& b) {
             Put(b, 16 * kPage + 36, {0, 8, 0, 4});
         },
         2,
         "WGSMENU2.DAT: the record at logical page 6 byte 6: fragment 4 of variable page 8 is "
         "reached a second time (a cycle in the page links)"},
        // The second record of data page 3 (physical 12) points to logical page 200.
        {"variable part outside the file", "WGSMENU2.DAT",
         [](std::string& b) {
             Put(b, 12 * kPage + 6 + 454 + 2 + 448, {0, 200, 0, 0});
         },
         2,
         "WGSMENU2.DAT: the record at logical page 3 byte 460: its variable part points to "
         "logical page 200, outside the file"},
        // "bless" (data page 5, physical 12, slot at byte 1942) links its key 1 duplicates on
        // to a byte where no record starts.
        {"broken duplicate link", "GALTELA.DAT",
         [](std::string& b) {
             Put(b, 12 * kPage + 1942 + 2 + 950 + 4, {0, 0, 7, 0});
         },
         2,
         "GALTELA.DAT: the record at logical page 5 byte 1942 links its duplicates of key 1 to "
         "byte 7, where no record links back"},
        {"another version", "GALTELA.DAT", [](std::string& b) { b[kPage + 0x4B] = 7; }, 30,
         "GALTELA.DAT: format version 7, not 6"},
        {"owner name", "GALTELA.DAT",
         [](std::string& b) {
             Put(b, kPage + 0x0C, {'S', 'E', 'C', 'R', 'E', 'T', 0, 0});
         },
         1, "GALTELA.DAT: the file is protected by an owner name"},
        {"compressed", "WGSMENU2.DAT", [](std::string& b) { Put(b, kPage + 0x106, {0x09}); }, 1,
         "WGSMENU2.DAT: compressed records: not supported"},
        {"other collating table", "GALTELA.DAT",
         [](std::string& b) { b[4 * kPage + 15 + '!'] = 'x'; }, 1,
         "GALTELA.DAT: key 0 segment 1: the collating table \"GALCAPS\" (neither a-z as A-Z "
         "nor A-Z as a-z) is not supported"},
        {"not a 6.x file", "GALTELA.DAT", [](std::string& b) { b[0] = 0; }, 30,
         "GALTELA.DAT: does not start with \"FC\": not a table file of the 6.x format"},
    };
    ks::test::TempDir dir;
    const std::string target = dir.Folder() + "kept.bt6";
    ASSERT_EQ(ImportGenuineTable(kSamples + "WGSMENU2.DAT", target, FastImport()).status, 0);
    const std::string before = ks::test::TempDir::Read(target);
    for (const auto& c : cases) {
        std::string bytes = ks::test::TempDir::Read(kSamples + c.file);
        c.damage(bytes);
        const std::string damaged = dir.Write(c.file, bytes);
        const auto result = ImportGenuineTable(damaged, target, FastImport());
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.reason, c.reason) << c.name;
        EXPECT_EQ(ks::test::TempDir::Read(target), before) << c.name;
    }
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().string().find(".ks-new"), std::string::npos) << entry.path();
    }
}

TEST(GenuineSamples, AMissingSourceOrATargetOpenElsewhereLeavesTheTargetAlone) {
    ks::test::TempDir dir;
    const std::string target = dir.Folder() + "open.bt6";
    ASSERT_EQ(ImportGenuineTable(kSamples + "GALTELA.DAT", target, FastImport()).status, 0);
    const auto missing = ImportGenuineTable(dir.Folder() + "NONE.DAT", target, FastImport());
    EXPECT_EQ(missing.status, status::kFileNotFound);
    EXPECT_EQ(missing.reason, "NONE.DAT: cannot be opened for reading");
    RecordEngine engine(test::FastOptions());
    test::TableClient holder(engine);
    ASSERT_EQ(holder.Open(target), 0);
    const auto locked = ImportGenuineTable(kSamples + "WGSMENU2.DAT", target, FastImport());
    EXPECT_EQ(locked.status, status::kFileLocked);
    EXPECT_EQ(locked.reason, "open.bt6: open elsewhere, not replaced");
    EXPECT_EQ(test::WalkKey(engine, target, 0).size(), 73U);
}

}  // namespace
}  // namespace ks::engine::genuine
