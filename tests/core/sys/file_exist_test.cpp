#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "file_ops_fixture.h"

namespace ks::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

TEST_F(FileOpsTest, FileExistFindsFilesAndFoldersWithoutTracing) {
    dir.Write("a.bt6", "x");
    std::filesystem::create_directory(dir.Path() / "sub");
    EXPECT_TRUE(ops.File_Exist(At("a.bt6"), "Frm_Main:DataRecopie"));
    EXPECT_TRUE(ops.File_Exist(At("sub"), "Frm_Main:DataRecopie"));
    EXPECT_FALSE(ops.File_Exist(At("b.bt6"), "Frm_Main:DataRecopie"));
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, FileExistLooksNamesUpWithoutRegardToCase) {
    dir.Write("FDAT000.bt6", "x");
    std::filesystem::create_directory(dir.Path() / "Data");
    dir.Write("Data/FdatA22.BT6", "x");
    EXPECT_TRUE(ops.File_Exist(At("Fdat000.bt6"), "t"));
    EXPECT_TRUE(ops.File_Exist(At("DATA/fdata22.bt6"), "t"));
    EXPECT_FALSE(ops.File_Exist(At("Fdat001.bt6"), "t"));
}

TEST_F(FileOpsTest, FileExistForgivesSurroundingBlanksAndABlankBeforeTheExtension) {
    dir.Write("name.txt", "x");
    EXPECT_TRUE(ops.File_Exist("  " + At("name.txt") + "  ", "t"));
    EXPECT_TRUE(ops.File_Exist(At("name .txt"), "t"));
    // A name that really holds the blank is found by the second attempt, under its own name.
    dir.Write("other .txt", "x");
    EXPECT_TRUE(ops.File_Exist(At("other .txt"), "t"));
}

TEST_F(FileOpsTest, FileExistWithSizeCheckTakesAnEmptyFileForMissing) {
    dir.Write("empty.bt6", "");
    dir.Write("full.bt6", "abc");
    EXPECT_FALSE(ops.File_Exist(At("empty.bt6"), "t", true));
    EXPECT_TRUE(ops.File_Exist(At("empty.bt6"), "t", false));
    EXPECT_TRUE(ops.File_Exist(At("full.bt6"), "t", true));
}

TEST_F(FileOpsTest, FileExistAnswersFalseToBadNames) {
    dir.Write("FDAT000.bt6", "x");
    dir.Write("file.txt", "x");
    EXPECT_FALSE(ops.File_Exist("", "t"));
    EXPECT_FALSE(ops.File_Exist("    ", "t"));
    // Wildcards are not expanded: they are characters of the name.
    EXPECT_FALSE(ops.File_Exist(At("FDAT*.bt6"), "t"));
    EXPECT_FALSE(ops.File_Exist(At("FDAT00?.bt6"), "t"));
    EXPECT_FALSE(ops.File_Exist(At("file.txt/inside.bt6"), "t"));
    EXPECT_FALSE(ops.File_Exist(At("missing/inside.bt6"), "t"));
    EXPECT_FALSE(ops.File_Exist(At(std::string(4000, 'a')), "t"));
    EXPECT_FALSE(ops.File_Exist(At(std::string(4000, 'a')), "t", true));
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, TailleDuFichierGivesTheSizeOrMinusOneWithAReport) {
    dir.Write("FDAT009.bt6", "12345");
    EXPECT_EQ(ops.TailleDuFichier(At("fdat009.BT6")), 5);
    EXPECT_THAT(trace.lines, IsEmpty());

    EXPECT_EQ(ops.TailleDuFichier(At("nothing.bt6")), -1);
    EXPECT_THAT(
        Reports(),
        ElementsAre(StartsWith("Err: 53 (File not found)  Source:Lib_Systeme:TailleDuFichier:")));

    trace.lines.clear();
    std::filesystem::create_directory(dir.Path() / "folder");
    EXPECT_EQ(ops.TailleDuFichier(At("folder")), -1);
    EXPECT_EQ(ops.TailleDuFichier(""), -1);
    EXPECT_EQ(Reports().size(), 2U);
}

TEST_F(FileOpsTest, TailleDuFichierTracesAQueryOfMoreThanOneSecond) {
    dir.Write("slow.bt6", "xy");
    std::uint64_t now = 5000;
    std::uint64_t step = 1000;
    ops.SetTickSource([&] {
        const std::uint64_t tick = now;
        now += step;
        return tick;
    });
    EXPECT_EQ(ops.TailleDuFichier(At("slow.bt6")), 2);
    EXPECT_THAT(trace.lines, IsEmpty());

    step = 1001;
    EXPECT_EQ(ops.TailleDuFichier(At("slow.bt6")), 2);
    ASSERT_EQ(trace.lines.size(), 1U);
    EXPECT_EQ(
        trace.lines[0].message,
        "Function Lib_Systeme:TailleDuFichier Duration: 1001 ms (File: " + At("slow.bt6") + ")");
    EXPECT_EQ(trace.lines[0].base, -1);
    EXPECT_EQ(trace.lines[0].file, -1);
    EXPECT_EQ(trace.lines[0].level, -1);
    EXPECT_FALSE(trace.lines[0].incident);
}

}  // namespace
}  // namespace ks::test
