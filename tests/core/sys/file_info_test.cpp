#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cmath>
#include <limits>

#include "file_ops_fixture.h"
#include "platform/cp1252.h"

namespace ks::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;
namespace fs = std::filesystem;

TEST_F(FileOpsTest, LibSizeWritesFrenchSeparatorsAndUnits) {
    EXPECT_EQ(ops.LibSize(0), "0,00 Octets");
    EXPECT_EQ(ops.LibSize(1023), "1 023,00 Octets");
    EXPECT_EQ(ops.LibSize(1024), "1,00 Ko");
    EXPECT_EQ(ops.LibSize(1536), "1,50 Ko");
    EXPECT_EQ(ops.LibSize(1048576), "1,00 Mo");
    EXPECT_EQ(ops.LibSize(1048575), "1 024,00 Ko");  // 1023.999 Ko rounds up, unit kept
    EXPECT_EQ(ops.LibSize(1152), "1,13 Ko");         // 1.125: half away from zero
    EXPECT_EQ(ops.LibSize(123456789012.0), "114,98 Go");
    EXPECT_EQ(ops.LibSize(std::pow(1024.0, 4) * 5), "5,00 To");
    EXPECT_EQ(ops.LibSize(std::pow(1024.0, 8)), "1,00 Yo");
    EXPECT_EQ(ops.LibSize(std::pow(1024.0, 9) * 1234567), "1 264 196 608,00 Yo");
    EXPECT_EQ(ops.LibSize(-1536), "-1 536,00 Octets");
    EXPECT_EQ(ops.LibSize(0.004), "0,00 Octets");
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, LibSizeOfANonNumberIsEmptyWithAReport) {
    EXPECT_EQ(ops.LibSize(std::numeric_limits<double>::infinity()), "");
    EXPECT_EQ(ops.LibSize(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_THAT(Reports(),
                ElementsAre(StartsWith("Err: 6 (Overflow)  Source:Lib_Systeme:LibSize:"),
                            StartsWith("Err: 6 (Overflow)  Source:Lib_Systeme:LibSize:")));
}

TEST_F(FileOpsTest, RemoveFlagOneGivesTheOwnerWriteBitBack) {
    const std::string file = dir.Write("FDAT000.bt6", "x");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ops.File_RemoveFlag(At("fdat000.bt6"), 1);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write |
                                                  fs::perms::group_read | fs::perms::others_read);
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, RemoveFlagOfAnotherBitChangesNothing) {
    const std::string file = dir.Write("a.ini", "x");
    fs::permissions(file, fs::perms::owner_read);
    ops.File_RemoveFlag(file, 2);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read);
}

TEST_F(FileOpsTest, RemoveFlagOfAMissingFileWarns) {
    ops.File_RemoveFlag(At("missing.ini"), 1);
    ops.File_RemoveFlag("", 1);
    ops.File_RemoveFlag(At(std::string(4000, 'r')), 1);
    EXPECT_THAT(
        trace.Messages(),
        ElementsAre("Warning: File_RemoveFlag: File not found: " + At("missing.ini"),
                    "Warning: File_RemoveFlag: File not found: " + At(std::string(4000, 'r'))));
}

double StatvfsFree(const fs::path& folder) {
    struct statvfs info {};
    EXPECT_EQ(statvfs(folder.c_str(), &info), 0);
    return static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
}

TEST_F(FileOpsTest, DiskFreeSpaceUsesTheNearestExistingFolder) {
    dir.Write("plain.txt", "x");
    const double expected = StatvfsFree(dir.Path());
    ASSERT_GT(expected, 0);
    constexpr double kSlack = 64.0 * 1024 * 1024;  // other writers on the same disk
    EXPECT_NEAR(ops.DiskFreeSpace(dir.Folder()), expected, kSlack);
    EXPECT_NEAR(ops.DiskFreeSpace(At("missing/deeper/file.bt6")), expected, kSlack);
    EXPECT_NEAR(ops.DiskFreeSpace(At("plain.txt/below")), expected, kSlack);
    EXPECT_NEAR(ops.DiskFreeSpace(At(std::string(4000, 's'))), expected, kSlack);
    EXPECT_EQ(ops.DiskFreeSpace(""), 0);
    EXPECT_EQ(ops.DiskFreeSpace("   "), 0);
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, ListFilesMatchesThePatternWithoutRegardToCase) {
    dir.Write("20261207.Log", "");
    dir.Write("20261023.log", "");
    dir.Write(".hidden.LOG", "");
    dir.Write("notes.txt", "");
    dir.Write("Journal.Log.bak", "");
    fs::create_directory(dir.Path() / "folder.Log");
    EXPECT_THAT(ops.ListFiles(dir.Folder(), "*.Log"),
                ElementsAre(".hidden.LOG", "20261023.log", "20261207.Log"));
    EXPECT_THAT(ops.ListFiles(dir.Path().string(), "2026????.log"),
                ElementsAre("20261023.log", "20261207.Log"));
}

TEST_F(FileOpsTest, ListFilesGivesWindows1252NamesAndSkipsOthers) {
    dir.Write("Répertoire.Log", "");  // UTF-8 on disk
    dir.Write("日本.Log", "");
    dir.Write("bad\xFF.Log", "");  // not UTF-8 at all
    EXPECT_THAT(ops.ListFiles(dir.Folder(), "*.log"), ElementsAre("Répertoire.Log"_cp));
}

TEST_F(FileOpsTest, ListFilesFindsTheFolderWithoutRegardToCaseAndToleratesBadFolders) {
    fs::create_directory(dir.Path() / "Histo");
    dir.Write("Histo/20261207.Log", "");
    dir.Write("plain.txt", "");
    EXPECT_THAT(ops.ListFiles(At("HISTO/"), "*.Log"), ElementsAre("20261207.Log"));
    EXPECT_THAT(ops.ListFiles(At("missing/"), "*"), IsEmpty());
    EXPECT_THAT(ops.ListFiles(At("plain.txt/"), "*"), IsEmpty());
    EXPECT_THAT(ops.ListFiles(At(std::string(4000, 'l')), "*"), IsEmpty());
    EXPECT_THAT(trace.lines, IsEmpty());
}

}  // namespace
}  // namespace ks::test
