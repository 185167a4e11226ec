#include "ks-table/catalogue_create_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/record_engine.h"
#include "ks-table/table_tool.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

struct ToolRun {
    std::optional<int> code;
    std::string out;
    std::string err;
};

class CatalogueCreateCommandTest : public ::testing::Test {
  protected:
    ToolRun Create(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        ToolRun run;
        run.code = RunCatalogueCreate(args, engine, out, err);
        run.out = out.str();
        run.err = err.str();
        return run;
    }
    std::string Stat(const std::string& file) {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        const int code = engine::tool::RunTableTool({"stat", file}, engine, in, out, err);
        EXPECT_EQ(code, engine::tool::kExitOk) << err.str();
        return out.str();
    }
    std::string File(const std::string& name) const { return dir.Folder() + name; }

    test::TempDir dir;
    engine::RecordEngine engine;
};

TEST_F(CatalogueCreateCommandTest, CreatesFile7WithItsFiveSegments) {
    const ToolRun run = Create({"create", File("FDATA07.bt6"), "--catalogue", "7"});
    ASSERT_EQ(run.code, engine::tool::kExitOk) << run.err;
    EXPECT_EQ(run.out, "created " + File("FDATA07.bt6") + "\n");
    EXPECT_EQ(Stat(File("FDATA07.bt6")),
              "record length: 100\npage size: 512\nfile flags: 8\nrecords: 0\nkeys: 4\n"
              "key 0: 1:21:mod\nkey 1: 9:13:dup,mod\nkey 2: 26:10:dup,mod+9:13:dup,mod\n"
              "key 3: 36:21:dup,mod\n");
}

TEST_F(CatalogueCreateCommandTest, CreatesFile22WithItsCaseInsensitiveTitleKey) {
    ASSERT_EQ(Create({"create", File("FDATA22.bt6"), "--catalogue", "22"}).code, 0);
    const std::string stat = Stat(File("FDATA22.bt6"));
    EXPECT_NE(stat.find("record length: 900\npage size: 2048\n"), std::string::npos) << stat;
    EXPECT_NE(stat.find("keys: 6\n"), std::string::npos) << stat;
    EXPECT_NE(stat.find("key 5: 24:20:dup,mod,nocase\n"), std::string::npos) << stat;
}

TEST_F(CatalogueCreateCommandTest, KeepRefusesToReplaceAnExistingFile) {
    ASSERT_EQ(Create({"create", File("FDATA48.bt6"), "--catalogue", "48"}).code, 0);
    const ToolRun kept = Create({"create", File("FDATA48.bt6"), "--keep", "--catalogue", "48"});
    EXPECT_EQ(kept.code, engine::tool::kExitFailed);
    EXPECT_NE(kept.err.find("status 59"), std::string::npos) << kept.err;
    EXPECT_EQ(Create({"create", File("FDATA48.bt6"), "--catalogue", "49"}).code, 0);
    EXPECT_NE(Stat(File("FDATA48.bt6")).find("record length: 450\n"), std::string::npos);
}

TEST_F(CatalogueCreateCommandTest, OtherCommandsAreLeftToTheTableTool) {
    EXPECT_FALSE(Create({"create", File("a.bt6"), "--record-length", "10"}).code);
    EXPECT_FALSE(Create({"stat", File("a.bt6")}).code);
    EXPECT_FALSE(Create({}).code);
}

TEST_F(CatalogueCreateCommandTest, BadNumbersAndOptionsAreUsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"create", File("x.bt6"), "--catalogue", "8"},
             {"create", File("x.bt6"), "--catalogue", "61"},
             {"create", File("x.bt6"), "--catalogue", "-1"},
             {"create", File("x.bt6"), "--catalogue", "2x"},
             {"create", File("x.bt6"), "--catalogue"},
             {"create", File("x.bt6"), "--catalogue", "7", "--page-size", "512"},
             {"create", File("x.bt6"), "--catalogue", "7", "--catalogue", "9"},
             {"create", "--catalogue", "7"},
             {"create", std::string(300, 'a'), "--catalogue", "7"},
         }) {
        const ToolRun run = Create(args);
        EXPECT_EQ(run.code, engine::tool::kExitUsage) << args.back();
        EXPECT_NE(run.err.find("usage: ks-table create FILE --catalogue N"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(File("x.bt6")));
}

}  // namespace
}  // namespace ks
