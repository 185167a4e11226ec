#include "core/sys/shell_file_operation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace ks::test {
namespace {

namespace fs = std::filesystem;

TEST(ShellFileOperationTest, CopyMapsAMissingSourceAndAMissingTargetFolder) {
    TempDir dir;
    const std::string source = dir.Write("s.bt6", "x");
    EXPECT_EQ(
        ShellFileOperation(ShellOp::Copy, dir.Folder() + "gone.bt6", dir.Folder() + "t.bt6", 16),
        kShellSourceMissing);
    EXPECT_EQ(ShellFileOperation(ShellOp::Copy, source, dir.Folder() + "no/t.bt6", 16),
              kShellFolderNotFound);
    EXPECT_EQ(ShellFileOperation(ShellOp::Copy, source, dir.Folder() + "s.bt6/t.bt6", 16),
              kShellFolderNotFound);
    EXPECT_EQ(ShellFileOperation(ShellOp::Copy, "", dir.Folder() + "t.bt6", 16),
              kShellSourceMissing);
    EXPECT_EQ(ShellFileOperation(ShellOp::Copy, source, dir.Folder() + "t.bt6", 16), kShellOk);
    EXPECT_EQ(TempDir::Read(dir.Path() / "t.bt6"), "x");
}

TEST(ShellFileOperationTest, FoldersAreNeitherCopiedNorDeleted) {
    TempDir dir;
    fs::create_directory(dir.Path() / "data");
    dir.Write("data/in.bt6", "x");
    EXPECT_EQ(ShellFileOperation(ShellOp::Copy, dir.Folder() + "data", dir.Folder() + "copy", 16),
              kShellNotAFile);
    EXPECT_EQ(ShellFileOperation(ShellOp::Delete, dir.Folder() + "data/", "", 1168),
              kShellNotAFile);
    EXPECT_TRUE(fs::exists(dir.Path() / "data/in.bt6"));
    EXPECT_FALSE(fs::exists(dir.Path() / "copy"));
}

TEST(ShellFileOperationTest, DeleteOfSomethingMissingIsFileNotFound) {
    TempDir dir;
    EXPECT_EQ(ShellFileOperation(ShellOp::Delete, "", "", 1168), kShellFileNotFound);
    EXPECT_EQ(ShellFileOperation(ShellOp::Delete, dir.Folder() + "none", "", 1168),
              kShellFileNotFound);
}

TEST(ShellFileOperationTest, DeleteRemovesALinkNotWhatItPointsTo) {
    TempDir dir;
    const std::string target = dir.Write("real.bt6", "x");
    fs::create_symlink(target, dir.Path() / "link.bt6");
    EXPECT_EQ(ShellFileOperation(ShellOp::Delete, dir.Folder() + "link.bt6", "", 1168), kShellOk);
    EXPECT_TRUE(fs::exists(target));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path() / "link.bt6")));
}

}  // namespace
}  // namespace ks::test
