// What the engine tells of a file under a table's name, as the load's copy asks it.
#include "ks/engine/file_kind.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/record_engine.h"
#include "engine/table_client.h"
#include "support/temp_dir.h"

namespace ks::engine::test {
namespace {

namespace fs = std::filesystem;

TEST(FileKind, TellsOursALiveOneGenuineAndAnythingElse) {
    ks::test::TempDir dir;
    RecordEngine engine{FastOptions()};
    TableClient table(engine);
    const std::string ours = dir.Folder() + "FDAT000.bt6";
    ASSERT_EQ(table.Create(ours, SpecBuffer(20, 512, 1, {{1, 4, 0}})), 0);
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.Path() / name, std::ios::binary) << bytes;
        return dir.Folder() + name;
    };
    const std::string withLog = dir.Folder() + "FDAT001.bt6";
    fs::copy_file(ours, withLog);
    write("FDAT001.bt6-wal", "log");
    const std::string emptyWithLog = write("FDAT002.bt6", "");
    write("FDAT002.bt6-wal", "log");
    const std::string genuine = KS_SOURCE_DIR "/tests/engine/data/genuine/GALTELA.DAT";

    const struct {
        std::string file;
        TableFileKind kind;
    } cases[] = {
        {ours, TableFileKind::kOurs},
        {withLog, TableFileKind::kOursWithLiveLog},
        {emptyWithLog, TableFileKind::kOursWithLiveLog},
        {genuine, TableFileKind::kGenuine},
        {write("notes.txt", std::string(200, 'x')), TableFileKind::kUnknown},
        {write("empty.bt6", ""), TableFileKind::kUnknown},
        {dir.Folder() + "missing.bt6", TableFileKind::kUnknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KindOfTableFile(c.file), c.kind) << c.file;
    }
}

}  // namespace
}  // namespace ks::engine::test
