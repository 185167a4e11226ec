#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "file_ops_fixture.h"

namespace ks::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kCaller = "Frm_Main:DataRecopie";

TEST_F(FileOpsTest, FileDeleteRemovesTheFileAndTracesTheCaller) {
    const std::string file = dir.Write("FdatB22.bt6", "x");
    EXPECT_TRUE(ops.File_Delete(file, kCaller));
    EXPECT_FALSE(OnDisk("FdatB22.bt6"));
    ASSERT_EQ(trace.lines.size(), 1U);
    EXPECT_EQ(trace.lines[0].message, "File_Delete: File: " + file + " |Sub: Frm_Main:DataRecopie");
    EXPECT_FALSE(trace.lines[0].incident);
}

TEST_F(FileOpsTest, FileDeleteFindsTheFileWithoutRegardToCase) {
    dir.Write("FDAT000.bt6", "x");
    EXPECT_TRUE(ops.File_Delete(At("Fdat000.bt6"), kCaller));
    EXPECT_THAT(Entries(), IsEmpty());
}

TEST_F(FileOpsTest, DeletingAnAlreadyDeletedFileWarnsWithCodeTwo) {
    const std::string file = dir.Write("gone.bt6", "x");
    EXPECT_TRUE(ops.File_Delete(file, kCaller));
    EXPECT_FALSE(ops.File_Delete(file, kCaller));
    ASSERT_EQ(trace.lines.size(), 2U);
    EXPECT_EQ(trace.lines[1].message, "File_Delete: Warning: 2 |File not found: " + file +
                                          " |Sub: Frm_Main:DataRecopie>Lib_Systeme:File_Delete");
    EXPECT_FALSE(trace.lines[1].incident);
}

TEST_F(FileOpsTest, FileDeleteOfABlankNameWarns) {
    EXPECT_FALSE(ops.File_Delete(" ", "Lib_Public:TraceLogForce"));
    EXPECT_THAT(trace.Messages(), ElementsAre("Warning: File_Delete: File name null |Sub: "
                                              "Lib_Public:TraceLogForce>Lib_Systeme:File_Delete"));
}

TEST_F(FileOpsTest, FileDeleteNeverTouchesMoreThanTheNamedFile) {
    dir.Write("a.bt6", "x");
    dir.Write("b.bt6", "x");
    EXPECT_FALSE(ops.File_Delete(At("*.bt6"), kCaller));
    EXPECT_FALSE(ops.File_Delete(At("?.bt6"), kCaller));
    EXPECT_THAT(Entries(), ElementsAre("a.bt6", "b.bt6"));
    EXPECT_THAT(trace.Messages(),
                ElementsAre("File_Delete: Warning: 2 |File not found: " + At("*.bt6") +
                                " |Sub: Frm_Main:DataRecopie>Lib_Systeme:File_Delete",
                            "File_Delete: Warning: 2 |File not found: " + At("?.bt6") +
                                " |Sub: Frm_Main:DataRecopie>Lib_Systeme:File_Delete"));
}

TEST_F(FileOpsTest, FileDeleteRefusesAFolderAndKeepsItsContents) {
    std::filesystem::create_directory(dir.Path() / "data");
    dir.Write("data/FDAT000.bt6", "x");
    EXPECT_FALSE(ops.File_Delete(At("data"), kCaller));
    EXPECT_TRUE(OnDisk("data/FDAT000.bt6"));
    ASSERT_EQ(trace.lines.size(), 1U);
    EXPECT_EQ(trace.lines[0].message, "File_Delete: Err: 267 |" + At("data") +
                                          " |Sub: Frm_Main:DataRecopie>Lib_Systeme:File_Delete");
    EXPECT_TRUE(trace.lines[0].incident);
}

TEST_F(FileOpsTest, FileDeleteOfBadPathsFailsWithoutHarm) {
    dir.Write("plain.txt", "x");
    EXPECT_FALSE(ops.File_Delete(At("plain.txt/inner.bt6"), kCaller));
    EXPECT_FALSE(ops.File_Delete(At("missing/inner.bt6"), kCaller));
    const std::string longName = At(std::string(4000, 'd'));
    EXPECT_FALSE(ops.File_Delete(longName, kCaller));
    EXPECT_THAT(
        trace.Messages(),
        ElementsAre("File_Delete: Warning: 2 |File not found: " + At("plain.txt/inner.bt6") +
                        " |Sub: Frm_Main:DataRecopie>Lib_Systeme:File_Delete",
                    "File_Delete: Warning: 2 |File not found: " + At("missing/inner.bt6") +
                        " |Sub: Frm_Main:DataRecopie>Lib_Systeme:File_Delete",
                    "File_Delete: Err: 206 |" + longName +
                        " |Sub: Frm_Main:DataRecopie>Lib_Systeme:File_Delete"));
    EXPECT_THAT(Entries(), ElementsAre("plain.txt"));
}

TEST_F(FileOpsTest, FileDeletePassesDefaultFlagsWhenGivenNone) {
    std::vector<std::int32_t> flagsSeen;
    ops.SetShellOperation([&](ShellOp op, std::string_view, std::string_view, std::int32_t flags) {
        EXPECT_EQ(op, ShellOp::Delete);
        flagsSeen.push_back(flags);
        return 0;
    });
    ops.File_Delete(At("x"), kCaller);
    ops.File_Delete(At("x"), kCaller, 16);
    EXPECT_THAT(flagsSeen, ElementsAre(1168, 16));
}

struct DeleteCodeCase {
    std::int32_t code;
    std::string head;
    std::string text;
    bool incident;
};

class FileDeleteCodeTest : public FileOpsTest,
                           public ::testing::WithParamInterface<DeleteCodeCase> {};

TEST_P(FileDeleteCodeTest, EachResultCodeHasItsLine) {
    const DeleteCodeCase& c = GetParam();
    ops.SetShellOperation(
        [&](ShellOp, std::string_view, std::string_view, std::int32_t) { return c.code; });
    EXPECT_FALSE(ops.File_Delete(At("f.Log"), "Lib_Public:TraceLogForce"));
    ASSERT_EQ(trace.lines.size(), 1U);
    EXPECT_EQ(trace.lines[0].message,
              c.head + std::to_string(c.code) + c.text + At("f.Log") +
                  " |Sub: Lib_Public:TraceLogForce>Lib_Systeme:File_Delete");
    EXPECT_EQ(trace.lines[0].incident, c.incident);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FileDeleteCodeTest,
    ::testing::Values(DeleteCodeCase{2, "File_Delete: Warning: ", " |File not found: ", false},
                      DeleteCodeCase{32, "File_Delete: Warning: ", " |File in use: ", false},
                      DeleteCodeCase{1026, "File_Delete: Err: ", " |Source file missing: ", false},
                      DeleteCodeCase{1223, "File_Delete: Warning: ", " |Cancelled: File: ", false},
                      DeleteCodeCase{14, "File_Delete: Err: ", " |Out of memory. File: ", true},
                      DeleteCodeCase{5, "File_Delete: Err: ", " |", true},
                      DeleteCodeCase{53, "File_Delete: Err: ", " |", true}));

}  // namespace
}  // namespace ks::test
