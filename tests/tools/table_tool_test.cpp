// The table tool run as from the command line: create from key descriptions, stat, dump in
// key order, load from escaped lines, check of whole and damaged files, exit codes.
#include "ks-table/table_tool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <sstream>

#include "engine/record_engine.h"
#include "engine/table_client.h"
#include "support/temp_dir.h"

namespace ks::engine::tool {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

class TableTool : public ::testing::Test {
  protected:
    ToolRun Tool(const std::vector<std::string>& args, const std::string& input = "") {
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        ToolRun run;
        run.code = RunTableTool(args, engine, in, out, err);
        run.out = out.str();
        run.err = err.str();
        return run;
    }
    std::string File(const std::string& name) const { return dir.Folder() + name; }

    ks::test::TempDir dir;
    RecordEngine engine{test::FastOptions()};
};

TEST_F(TableTool, CreateFromKeyDescriptionsAndStat) {
    const auto created = Tool({"create", File("t.bt6"), "--record-length", "30", "--page-size",
                               "1024", "--key", "1:10:mod", "--key", "11:4:dup,mod+21:5:nocase"});
    ASSERT_EQ(created.code, kExitOk) << created.err;
    const auto stat = Tool({"stat", File("t.bt6")});
    ASSERT_EQ(stat.code, kExitOk) << stat.err;
    EXPECT_EQ(stat.out,
              "record length: 30\npage size: 1024\nfile flags: 0\nrecords: 0\nkeys: 2\n"
              "key 0: 1:10:mod\nkey 1: 11:4:dup,mod+21:5:dup,mod,nocase\n");
}

TEST_F(TableTool, TypedAndCollatedSegmentsAndVariableRecordsReadBack) {
    const auto created =
        Tool({"create", File("t.bt6"), "--record-length", "30", "--file-flags", "1", "--key",
              "1:4:int+5:6:zstr,lower", "--key", "11:2:dup,uint", "--key", "13:4:autoinc"});
    ASSERT_EQ(created.code, kExitOk) << created.err;
    const std::string record =
        "\\x01\\x00\\x00\\x80abc\\x00\\x00\\x00" + std::string(22, '.') + "+variable part";
    ASSERT_EQ(Tool({"load", File("t.bt6")}, record + "\n").code, kExitOk);
    const auto stat = Tool({"stat", File("t.bt6")});
    EXPECT_EQ(stat.out,
              "record length: 30\npage size: 4096\nfile flags: 1 (variable-length records)\n"
              "records: 1\nkeys: 3\nkey 0: 1:4:int+5:6:lower,zstr\nkey 1: 11:2:dup,uint\n"
              "key 2: 13:4:autoinc\n");
    EXPECT_EQ(Tool({"dump", File("t.bt6")}).out, record + "\n");
    EXPECT_EQ(Tool({"check", File("t.bt6")}).code, kExitOk);
}

TEST_F(TableTool, ImportBuildsATableFromAGenuineFileOrSaysWhyNot) {
    const std::string samples = KS_SOURCE_DIR "/tests/engine/data/genuine/";
    const auto imported = Tool({"import", samples + "GALTELA.DAT", File("g.bt6")});
    EXPECT_EQ(imported.code, kExitOk) << imported.err;
    EXPECT_EQ(imported.out,
              "imported 73 records from " + samples + "GALTELA.DAT into " + File("g.bt6") + "\n");
    const auto refused = Tool({"import", samples + "MULTIACS.DAT", File("m.bt6")});
    EXPECT_EQ(refused.code, kExitFailed);
    EXPECT_EQ(refused.err, "ks-table: cannot import " + samples +
                               "MULTIACS.DAT: status 1 (operation not supported): MULTIACS.DAT: "
                               "key 1 segment 2: the float type is not supported\n");
    EXPECT_EQ(Tool({"import", samples + "GALTELA.DAT"}).code, kExitUsage);
}

TEST_F(TableTool, StatReadsBackTheCreateBufferOfFileSeven) {
    test::TableClient table(engine);
    const auto buffer = test::SpecBuffer(
        100, 512, 4, {{1, 21, 2}, {9, 13, 3}, {26, 10, 19}, {9, 13, 3}, {36, 21, 3}}, 8);
    ASSERT_EQ(table.Create(File("FDATA07.bt6"), buffer), 0);
    const auto stat = Tool({"stat", File("fdata07.bt6")});
    ASSERT_EQ(stat.code, kExitOk) << stat.err;
    EXPECT_EQ(stat.out,
              "record length: 100\npage size: 512\nfile flags: 8\nrecords: 0\nkeys: 4\n"
              "key 0: 1:21:mod\nkey 1: 9:13:dup,mod\nkey 2: 26:10:dup,mod+9:13:dup,mod\n"
              "key 3: 36:21:dup,mod\n");
}

TEST_F(TableTool, ADumpLoadsBackIdentically) {
    ASSERT_EQ(Tool({"create", File("a.bt6"), "--record-length", "8", "--key", "1:3:mod", "--key",
                    "4:2:dup,mod"})
                  .code,
              kExitOk);
    const std::string lines =
        "ccc\\x00\\x01zzz\n"
        "aaa\\\\\\xFFzzz\r\n"
        "\n"
        "bbb\\x0Aaazz\n"
        "\\x7F\\x80\\xE9aa\\x09\\x0Dq\n";
    const auto loaded = Tool({"load", File("a.bt6")}, lines);
    ASSERT_EQ(loaded.code, kExitOk) << loaded.err;
    EXPECT_EQ(loaded.out, "loaded 4 records into " + File("a.bt6") + "\n");
    const auto dump = Tool({"dump", File("a.bt6")});
    ASSERT_EQ(dump.code, kExitOk) << dump.err;
    EXPECT_EQ(dump.out,
              "aaa\\\\\\xFFzzz\nbbb\\x0Aaazz\nccc\\x00\\x01zzz\n\\x7F\\x80\\xE9aa\\x09\\x0Dq\n");
    const auto byKey1 = Tool({"dump", File("a.bt6"), "--key", "1"});
    ASSERT_EQ(byKey1.code, kExitOk);
    EXPECT_EQ(byKey1.out,
              "ccc\\x00\\x01zzz\nbbb\\x0Aaazz\naaa\\\\\\xFFzzz\n\\x7F\\x80\\xE9aa\\x09\\x0Dq\n");

    ASSERT_EQ(Tool({"create", File("b.bt6"), "--record-length", "8", "--key", "1:3:mod", "--key",
                    "4:2:dup,mod"})
                  .code,
              kExitOk);
    const std::string input = dir.Write("dump.txt", byKey1.out);
    ASSERT_EQ(Tool({"load", File("b.bt6"), input}).code, kExitOk);
    EXPECT_EQ(Tool({"dump", File("b.bt6"), "--key", "1"}).out, byKey1.out);
    EXPECT_EQ(Tool({"dump", File("b.bt6")}).out, dump.out);
}

TEST_F(TableTool, ALoadThatFailsLoadsNothing) {
    ASSERT_EQ(Tool({"create", File("a.bt6"), "--record-length", "4", "--key", "1:2"}).code,
              kExitOk);
    auto run = Tool({"load", File("a.bt6")}, "aaaa\nbbbb\naacc\n");
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("line 3: status 5 (duplicate key)"), std::string::npos) << run.err;
    run = Tool({"load", File("a.bt6")}, "aaaa\nbb\\x4\n");
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("line 2: bad escape"), std::string::npos) << run.err;
    run = Tool({"load", File("a.bt6")}, "aaaa\nbbbbb\n");
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("line 2: status 22"), std::string::npos) << run.err;
    EXPECT_NE(Tool({"stat", File("a.bt6")}).out.find("records: 0\n"), std::string::npos);
}

TEST_F(TableTool, CheckFindsWholeFilesWholeAndDamagedFilesDamaged) {
    ASSERT_EQ(Tool({"create", File("a.bt6"), "--record-length", "40", "--key", "1:6:mod", "--key",
                    "7:4:dup,mod,nocase"})
                  .code,
              kExitOk);
    std::string lines;
    for (int i = 0; i < 2000; ++i) {
        std::string record = std::to_string(100000 + i) + "grp" + std::to_string(i % 9);
        record.resize(40, '.');
        lines += record + "\n";
    }
    ASSERT_EQ(Tool({"load", File("a.bt6")}, lines).code, kExitOk);
    const auto whole = Tool({"check", File("a.bt6")});
    EXPECT_EQ(whole.code, kExitOk) << whole.err;
    EXPECT_EQ(whole.out, File("a.bt6") + ": ok\n");

    // A key that no longer matches its record.
    const std::string copy = dir.Write("b.bt6", ks::test::TempDir::Read(File("a.bt6")));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(copy.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE ks_record SET k1 = x'41414141' WHERE id = 7", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const auto mismatch = Tool({"check", copy});
    EXPECT_EQ(mismatch.code, kExitFailed);
    EXPECT_NE(mismatch.err.find("record 7: key 1 does not match the record"), std::string::npos)
        << mismatch.err;

    // Pages overwritten in the middle of the file.
    std::string bytes = ks::test::TempDir::Read(File("a.bt6"));
    ASSERT_GT(bytes.size(), 40000U);
    for (std::size_t i = 20000; i < 28000; ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    const auto damaged = Tool({"check", dir.Write("c.bt6", bytes)});
    EXPECT_EQ(damaged.code, kExitFailed);
    EXPECT_FALSE(damaged.err.empty());

    const auto foreign = Tool({"check", dir.Write("d.bt6", "hello")});
    EXPECT_EQ(foreign.code, kExitFailed);
    EXPECT_NE(foreign.err.find("status 30"), std::string::npos) << foreign.err;
}

TEST_F(TableTool, WrongCommandLinesExitWithTwoAndTheUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"stat"},
             {"frobnicate", File("a.bt6")},
             {"create", File("a.bt6")},
             {"create", File("a.bt6"), "--record-length", "x"},
             {"create", File("a.bt6"), "--record-length", "10", "--key", "1:0"},
             {"create", File("a.bt6"), "--record-length", "10", "--colour", "red"},
             {"dump", File("a.bt6"), "--key"},
             {"stat", File("a.bt6"), "extra"}}) {
        const auto run = Tool(args);
        EXPECT_EQ(run.code, kExitUsage) << testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: ks-table"), std::string::npos);
    }
}

TEST_F(TableTool, HelpWritesTheUsageToStandardOutputAndSucceeds) {
    for (const std::string help : {"--help", "-h"}) {
        const auto run = Tool({help});
        EXPECT_EQ(run.code, kExitOk) << help;
        EXPECT_TRUE(run.out.starts_with("usage: ks-table create FILE")) << run.out;
        EXPECT_EQ(run.err, "") << help;
    }
    EXPECT_EQ(Tool({"--help", File("a.bt6")}).code, kExitUsage);
}

TEST_F(TableTool, AFileNameTooLongForTheKeyBufferIsRefusedNotCutShort) {
    // 254 bytes fit with the byte 0 that ends them; one more would have been cut off, and the
    // tool would have created the 254-byte name instead.
    const std::string folder = dir.Folder();
    const std::string fits = folder + std::string(254 - folder.size(), 'f');
    ASSERT_EQ(Tool({"create", fits, "--record-length", "10", "--key", "1:4"}).code, kExitOk);
    EXPECT_EQ(Tool({"stat", fits}).code, kExitOk);
    fs::remove(fits);
    const auto run = Tool({"create", fits + "x", "--record-length", "10", "--key", "1:4"});
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find("longer than 254 bytes"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(fits)) << "a file under the name cut short";
}

TEST_F(TableTool, EngineRefusalsExitWithOneAndTheStatus) {
    auto run = Tool({"stat", File("missing.bt6")});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("status 12 (file not found)"), std::string::npos) << run.err;
    ASSERT_EQ(Tool({"create", File("a.bt6"), "--record-length", "10", "--key", "1:4"}).code,
              kExitOk);
    run = Tool({"create", File("a.bt6"), "--record-length", "10", "--keep"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("status 59"), std::string::npos) << run.err;
    run = Tool({"create", File("b.bt6"), "--record-length", "10", "--key", "8:4"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("status 27"), std::string::npos) << run.err;
    run = Tool({"dump", File("a.bt6"), "--key", "3"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_NE(run.err.find("status 6"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace ks::engine::tool
