// A copy that replaces a table file removes the log, log index and journal that a killed
// process may have left beside the old file, so that they never meet the new bytes.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/sys/shell_file_operation.h"
#include "support/temp_dir.h"

namespace ks::test {
namespace {

namespace fs = std::filesystem;

TEST(ShellCopySideFiles, ReplacingATableRemovesTheSideFilesOfTheOldOne) {
    TempDir dir;
    fs::create_directory(dir.Path() / "server");
    const std::string source = dir.Write("server/FDATA22.bt6", "new table");
    dir.Write("server/FDATA22.bt6-wal", "the server's own log");
    dir.Write("FDATB22.bt6", "old table");
    for (const char* side : {"-wal", "-shm", "-journal"}) {
        dir.Write(std::string("FDATB22.bt6") + side, "left by a killed process");
    }
    dir.Write("FDATB22.bt6.bak", "not a side file");

    ASSERT_EQ(ShellFileOperation(ShellOp::Copy, source, dir.Folder() + "FDATB22.bt6", 16),
              kShellOk);
    EXPECT_EQ(TempDir::Read(dir.Path() / "FDATB22.bt6"), "new table");
    for (const char* side : {"-wal", "-shm", "-journal"}) {
        EXPECT_FALSE(fs::exists(dir.Path() / (std::string("FDATB22.bt6") + side))) << side;
    }
    EXPECT_TRUE(fs::exists(dir.Path() / "FDATB22.bt6.bak"));
    EXPECT_TRUE(fs::exists(dir.Path() / "server/FDATA22.bt6-wal")) << "the source is untouched";
}

TEST(ShellCopySideFiles, SideFilesOfADeletedTargetGoWhenTheCopyLands) {
    TempDir dir;
    const std::string source = dir.Write("FDATA20.bt6", "new table");
    dir.Write("FDATB20.bt6-wal", "left by a killed process");
    ASSERT_EQ(ShellFileOperation(ShellOp::Copy, source, dir.Folder() + "FDATB20.bt6", 16),
              kShellOk);
    EXPECT_FALSE(fs::exists(dir.Path() / "FDATB20.bt6-wal"));
}

}  // namespace
}  // namespace ks::test
