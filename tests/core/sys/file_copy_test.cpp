#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "file_ops_fixture.h"
#include "platform/cp1252.h"

namespace ks::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// A tick source that moves by `step` milliseconds at every reading.
FileOps::TickSource Stepping(std::uint64_t start, std::uint64_t step) {
    return [tick = start, step]() mutable {
        const std::uint64_t now = tick;
        tick += step;
        return now;
    };
}

TEST_F(FileOpsTest, FileCopyCopiesAndTracesTheDuration) {
    const std::string source = dir.Write("FDATA22.bt6", "records");
    ops.SetTickSource(Stepping(70'000, 12));
    EXPECT_TRUE(ops.File_Copy(source, At("FdatB22.bt6")));
    EXPECT_EQ(TempDir::Read(dir.Path() / "FdatB22.bt6"), "records");
    ASSERT_EQ(trace.lines.size(), 1U);
    EXPECT_EQ(trace.lines[0].message, "File_Copy: True |Duration:    12 ms |File: " + source);
    EXPECT_FALSE(trace.lines[0].incident);
    EXPECT_EQ(trace.lines[0].level, -1);
}

TEST_F(FileOpsTest, FileCopyReplacesTheTargetAndLeavesNoTemporaryFile) {
    const std::string source = dir.Write("new.bt6", "short");
    dir.Write("old.bt6", "a much longer previous content");
    EXPECT_TRUE(ops.File_Copy(source, At("old.bt6")));
    EXPECT_EQ(TempDir::Read(dir.Path() / "old.bt6"), "short");
    EXPECT_THAT(Entries(), ElementsAre("new.bt6", "old.bt6"));
}

TEST_F(FileOpsTest, FileCopyUsesTheExistingNamesWhateverTheirCase) {
    std::filesystem::create_directory(dir.Path() / "server");
    std::filesystem::create_directory(dir.Path() / "temp");
    dir.Write("server/FDAT000.bt6", "server copy");
    dir.Write("temp/FDAT000.BT6", "previous");
    EXPECT_TRUE(ops.File_Copy(At("SERVER/Fdat000.bt6"), At("Temp/Fdat000.bt6")));
    EXPECT_THAT(Entries("temp"), ElementsAre("FDAT000.BT6"));
    EXPECT_EQ(TempDir::Read(dir.Path() / "temp/FDAT000.BT6"), "server copy");
}

TEST_F(FileOpsTest, FileCopyOntoItselfKeepsTheData) {
    const std::string source = dir.Write("same.bt6", "precious");
    EXPECT_TRUE(ops.File_Copy(source, At("SAME.bt6")));
    EXPECT_EQ(TempDir::Read(source), "precious");
    EXPECT_THAT(Entries(), ElementsAre("same.bt6"));
}

TEST_F(FileOpsTest, FileCopyIntoAFolderKeepsTheSourceName) {
    const std::string source = dir.Write("FDAT009.bt6", "nine");
    std::filesystem::create_directory(dir.Path() / "into");
    EXPECT_TRUE(ops.File_Copy(source, At("into")));
    EXPECT_EQ(TempDir::Read(dir.Path() / "into/FDAT009.bt6"), "nine");
}

TEST_F(FileOpsTest, FileCopyKeepsPermissionsAndModificationTime) {
    namespace fs = std::filesystem;
    const std::string source = dir.Write("ro.bt6", "x");
    fs::permissions(source, fs::perms::owner_read | fs::perms::group_read);
    const auto stamp = fs::last_write_time(source) - std::chrono::hours(30);
    fs::last_write_time(source, stamp);
    EXPECT_TRUE(ops.File_Copy(source, At("copy.bt6")));
    EXPECT_EQ(fs::status(dir.Path() / "copy.bt6").permissions(),
              fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(fs::last_write_time(dir.Path() / "copy.bt6"), stamp);
}

TEST_F(FileOpsTest, FileCopyWarnsAboutABlankMissingOrEmptySource) {
    dir.Write("empty.bt6", "");
    EXPECT_FALSE(ops.File_Copy("  ", At("t.bt6")));
    EXPECT_FALSE(ops.File_Copy(At("FdatA27.bt6"), At("t.bt6")));
    EXPECT_FALSE(ops.File_Copy(At("empty.bt6"), At("t.bt6")));
    EXPECT_FALSE(ops.File_Copy(At("F*.bt6"), At("t.bt6")));
    EXPECT_THAT(trace.Messages(),
                ElementsAre("Warning: File_Copy: File name null",
                            "Warning: File_Copy: File not found: " + At("FdatA27.bt6"),
                            "Warning: File_Copy: File not found: " + At("empty.bt6"),
                            "Warning: File_Copy: File not found: " + At("F*.bt6")));
    EXPECT_FALSE(OnDisk("t.bt6"));
}

TEST_F(FileOpsTest, FileCopyOfAMissingGpxFileIsSilent) {
    EXPECT_FALSE(ops.File_Copy(At("track.gpx"), At("t.gpx")));
    EXPECT_FALSE(ops.File_Copy(At("track.gpx.bak"), At("t.gpx")));
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, FileCopyToAMissingFolderReportsFolderNotFoundAndFreeSpace) {
    const std::string source = dir.Write("a.bt6", "x");
    const std::string target = At("missing/a.bt6");
    EXPECT_FALSE(ops.File_Copy(source, target));
    ASSERT_EQ(trace.lines.size(), 2U);
    EXPECT_EQ(trace.lines[0].message,
              "File_Copy: Err: 53 |Folder not found. Source: " + source + "  Target: " + target);
    EXPECT_TRUE(trace.lines[0].incident);
    EXPECT_THAT(trace.lines[1].message, StartsWith("Free space for /: "));
    EXPECT_FALSE(trace.lines[1].incident);
    EXPECT_FALSE(OnDisk("missing"));
}

TEST_F(FileOpsTest, FileCopyToAFileWhereAFolderIsExpectedReportsFolderNotFound) {
    const std::string source = dir.Write("a.bt6", "x");
    dir.Write("plain.txt", "not a folder");
    EXPECT_FALSE(ops.File_Copy(source, At("plain.txt/a.bt6")));
    ASSERT_FALSE(trace.lines.empty());
    EXPECT_EQ(trace.lines[0].message, "File_Copy: Err: 53 |Folder not found. Source: " + source +
                                          "  Target: " + At("plain.txt/a.bt6"));
    EXPECT_EQ(TempDir::Read(dir.Path() / "plain.txt"), "not a folder");
}

TEST_F(FileOpsTest, FailedCopyToANetworkPathWritesNoFreeSpaceLine) {
    const std::string source = dir.Write("a.bt6", "x");
    const std::string target = "//ks-no-such-server/share/a.bt6";
    EXPECT_FALSE(ops.File_Copy(source, target));
    EXPECT_THAT(trace.Messages(), ElementsAre("File_Copy: Err: 53 |Folder not found. Source: " +
                                              source + "  Target: " + target));
}

TEST_F(FileOpsTest, FileCopyToBadTargetsFailsWithoutHarm) {
    const std::string source = dir.Write("a.bt6", "x");
    EXPECT_FALSE(ops.File_Copy(source, ""));
    EXPECT_THAT(
        trace.Messages(),
        ElementsAre("File_Copy: Err: 53 |Folder not found. Source: " + source + "  Target: ",
                    "Free space for : 0,00 Octets"));

    trace.lines.clear();
    const std::string longName = At(std::string(4000, 'n'));
    EXPECT_FALSE(ops.File_Copy(source, longName));
    ASSERT_EQ(trace.lines.size(), 2U);
    EXPECT_EQ(trace.lines[0].message,
              "File_Copy: Err: 206 |Source: " + source + "  Target: " + longName);
    EXPECT_FALSE(trace.lines[0].incident);
    EXPECT_THAT(trace.lines[1].message, StartsWith("Free space for /: "));

    trace.lines.clear();
    EXPECT_TRUE(ops.File_Copy(source, At("x?*.bt6")));  // legal characters of a Linux name
    EXPECT_THAT(Entries(), ElementsAre("a.bt6", "x?*.bt6"));
    EXPECT_THAT(Reports(), IsEmpty());
}

TEST_F(FileOpsTest, FileCopyOfAFolderIsRefused) {
    std::filesystem::create_directory(dir.Path() / "folder");
    dir.Write("folder/inside.bt6", "x");
    EXPECT_FALSE(ops.File_Copy(At("folder"), At("copy")));
    EXPECT_FALSE(OnDisk("copy"));
    EXPECT_THAT(Reports(), ElementsAre(StartsWith("Err: 75 (Path/File access error)  Source:"
                                                  "Lib_Systeme:TailleDuFichier:")));
}

struct CopyCodeCase {
    std::int32_t code;
    std::string text;
    bool incident;
};

class FileCopyCodeTest : public FileOpsTest, public ::testing::WithParamInterface<CopyCodeCase> {};

TEST_P(FileCopyCodeTest, EachResultCodeHasItsLine) {
    const CopyCodeCase& c = GetParam();
    const std::string source = dir.Write("s.bt6", "x");
    std::vector<std::int32_t> flagsSeen;
    ops.SetShellOperation([&](ShellOp op, std::string_view, std::string_view, std::int32_t flags) {
        EXPECT_EQ(op, ShellOp::Copy);
        flagsSeen.push_back(flags);
        return c.code;
    });
    EXPECT_FALSE(ops.File_Copy(source, At("t.bt6"), 1024));
    ASSERT_EQ(trace.lines.size(), 2U);
    EXPECT_EQ(trace.lines[0].message, "File_Copy: Err: " + std::to_string(c.code) + c.text +
                                          source + "  Target: " + At("t.bt6"));
    EXPECT_EQ(trace.lines[0].incident, c.incident);
    EXPECT_THAT(trace.lines[1].message, StartsWith("Free space for /: "));
    EXPECT_THAT(flagsSeen, ElementsAre(1024 + 16));
}

INSTANTIATE_TEST_SUITE_P(Codes, FileCopyCodeTest,
                         ::testing::Values(CopyCodeCase{53, " |Folder not found. Source: ", true},
                                           CopyCodeCase{32, " |File in use. Source: ", true},
                                           CopyCodeCase{1026,
                                                        " |Source file missing. Source: ", true},
                                           CopyCodeCase{1223, " |Cancelled. Source: ", true},
                                           CopyCodeCase{14, " |Out of memory. Source: ", true},
                                           CopyCodeCase{68, " |Too many names. Source: ", false},
                                           CopyCodeCase{5, " |Source: ", false},
                                           CopyCodeCase{112, " |Source: ", false}));

TEST_F(FileOpsTest, FileCopyAlwaysAsksForNoConfirmation) {
    const std::string source = dir.Write("s.bt6", "x");
    std::vector<std::int32_t> flagsSeen;
    ops.SetShellOperation([&](ShellOp, std::string_view, std::string_view, std::int32_t flags) {
        flagsSeen.push_back(flags);
        return 0;
    });
    ops.File_Copy(source, At("t.bt6"));
    ops.File_Copy(source, At("t.bt6"), 16);
    EXPECT_THAT(flagsSeen, ElementsAre(16, 16));
}

}  // namespace
}  // namespace ks::test

namespace ks::test {
namespace {

TEST_F(FileOpsTest, FileCopyHandlesWindows1252Names) {
    dir.Write("Été.bt6", "accent");  // UTF-8 on disk
    EXPECT_TRUE(ops.File_Copy(At("ÉTÉ.bt6"_cp), At("Copie é.bt6"_cp)));
    EXPECT_EQ(TempDir::Read(dir.Path() / "Copie é.bt6"), "accent");
    EXPECT_TRUE(ops.File_Delete(At("copie É.BT6"_cp), "t"));
    EXPECT_THAT(Entries(), ::testing::ElementsAre("Été.bt6"));
}

TEST_F(FileOpsTest, ANamedPipeIsAnEmptyFileNotAWait) {
    ASSERT_EQ(mkfifo((dir.Path() / "pipe.bt6").c_str(), 0644), 0);
    EXPECT_EQ(ops.TailleDuFichier(At("pipe.bt6")), 0);
    EXPECT_FALSE(ops.File_Exist(At("pipe.bt6"), "t", true));
    EXPECT_FALSE(ops.File_Copy(At("pipe.bt6"), At("t.bt6")));
    EXPECT_THAT(trace.Messages(),
                ::testing::ElementsAre("Warning: File_Copy: File not found: " + At("pipe.bt6")));
}

}  // namespace
}  // namespace ks::test
