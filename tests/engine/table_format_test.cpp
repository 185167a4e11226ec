// The format of the table files: a table written by the first builds (a committed file, made
// by the song table's create and load before typed keys and variable-length records existed)
// reads, takes writes and stays in its format; only shapes that need them get the new
// columns.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <sstream>

#include "engine/record_engine.h"
#include "ks-table/table_tool.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::test {
namespace {

namespace fs = std::filesystem;

// The format version in a table file and the columns of its segment table.
std::pair<int, int> FormatOf(const std::string& path) {
    sqlite3* db = nullptr;
    std::pair<int, int> found{0, 0};
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT version, (SELECT count(*) FROM pragma_table_info("
                           "'ks_key_segment')) FROM ks_file",
                           -1, &statement, nullptr);
        if (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
            found = {sqlite3_column_int(statement, 0), sqlite3_column_int(statement, 1)};
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return found;
}

std::string Tool(RecordEngine& engine, const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(tool::RunTableTool(args, engine, in, out, err), tool::kExitOk) << err.str();
    return out.str();
}

TEST(TableFormat, ATableOfTheFirstFormatReadsAndTakesWritesInItsFormat) {
    ks::test::TempDir dir;
    const std::string path = dir.Folder() + "FDATA22.bt6";
    fs::copy_file(KS_SOURCE_DIR "/tests/engine/data/fdata22_first_format.bt6", path);
    ASSERT_EQ(FormatOf(path), std::make_pair(1, 5));
    RecordEngine engine(FastOptions());
    EXPECT_EQ(Tool(engine, {"stat", path}),
              "record length: 900\npage size: 2048\nfile flags: 8\nrecords: 3\nkeys: 6\n"
              "key 0: 1:8:mod\nkey 1: 9:5:dup,mod\nkey 2: 19:5:dup,mod\nkey 3: 64:5:dup,mod\n"
              "key 4: 69:5:dup,mod\nkey 5: 24:20:dup,mod,nocase\n");
    TableClient table(engine);
    ASSERT_EQ(table.Open(path), 0);
    std::string record(900, '.');
    const std::string fields = "00000004A0003     POP  a capella";
    record.replace(0, fields.size(), fields);
    ASSERT_EQ(table.Insert(record), 0);
    ASSERT_EQ(table.Close(), 0);
    std::vector<std::string> byTitle;
    std::istringstream dump(Tool(engine, {"dump", path, "--key", "5"}));
    for (std::string line; std::getline(dump, line);) {
        byTitle.push_back(line.substr(0, 8));
    }
    EXPECT_EQ(byTitle, (std::vector<std::string>{"00000004", "00000002", "00000001", "00000003"}));
    EXPECT_EQ(Tool(engine, {"check", path}), path + ": ok\n");
    EXPECT_EQ(FormatOf(path), std::make_pair(1, 5));
}

TEST(TableFormat, OnlyShapesTheFirstFormatCannotHoldGetTheSecond) {
    struct Case {
        const char* name;
        std::vector<Segment> segments;
        std::uint16_t fileFlags;
        std::pair<int, int> format;
    };
    const std::vector<Case> cases = {
        {"strings", {{1, 4, key_flag::kCaseInsensitive}}, 8, {1, 5}},
        {"integer", {{1, 4, key_flag::kExtendedType, key_type::kInteger}}, 0, {2, 6}},
        {"lower", {{1, 4, key_flag::kAlternateCollation}}, 0, {2, 6}},
        {"variable", {{1, 4, 0}}, file_flag::kVariableLength, {2, 6}},
    };
    ks::test::TempDir dir;
    RecordEngine engine(FastOptions());
    for (const auto& c : cases) {
        const std::string path = dir.Folder() + c.name + ".bt6";
        TableClient table(engine);
        ASSERT_EQ(table.Create(path, SpecBuffer(10, 512, 1, c.segments, c.fileFlags)), 0);
        EXPECT_EQ(FormatOf(path), c.format) << c.name;
        // The file reads back with the shape it was given.
        ASSERT_EQ(table.Open(path), 0);
        table.length = 4096;
        ASSERT_EQ(table.Do(op::kStat), 0);
        EXPECT_EQ(table.Record().substr(16, 16), SpecBuffer(10, 512, 1, c.segments).substr(16, 16))
            << c.name;
        ASSERT_EQ(table.Close(), 0);
    }
}

}  // namespace
}  // namespace ks::engine::test
