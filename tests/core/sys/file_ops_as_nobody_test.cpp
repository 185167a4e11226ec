// Unwritable folders and unreadable files, seen by an unprivileged user: the tests run as
// root, which ignores permission bits, so the parent test re-runs this executable as
// "nobody" on one child test and reads the trace lines that child prints.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "file_ops_fixture.h"
#include "support/run_as.h"

namespace ks::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

constexpr const char* kFolderVariable = "KS_FILE_OPS_AS_NOBODY";

TEST(FileOpsAsNobodyChild, Run) {
    const char* folder = std::getenv(kFolderVariable);
    if (folder == nullptr) {
        GTEST_SKIP() << "runs only as the child of FileOpsTest.UnwritableFolderAndUnreadableFile";
    }
    const std::string base = std::string(folder) + "/";
    RecordingTrace trace;
    FakeEventPump pump;
    TraceState state;
    ErrorHandler errors(state, pump);
    errors.SetTrace(&trace);
    FakeClock clock;
    FileOps ops(trace, errors, clock);
    FolderOps folders(trace, errors);

    const bool copied = ops.File_Copy(base + "src.bt6", base + "locked/old.bt6");
    const bool deleted = ops.File_Delete(base + "locked/old.bt6", "Test:AsNobody");
    const bool created = folders.VerificationEtCreationRepertoire(base + "locked/new/deeper");
    const std::int32_t size = ops.TailleDuFichier(base + "secret.bt6");
    ops.File_RemoveFlag(base + "locked/old.bt6", 1);
    for (const auto& line : trace.lines) {
        std::cout << "TRACE|" << line.message << "|" << line.incident << "\n";
    }
    std::cout << "RESULT|" << copied << deleted << created << "|" << size << "\n";
}

TEST_F(FileOpsTest, UnwritableFolderAndUnreadableFile) {
    if (!CanRunAsNobody()) {
        GTEST_SKIP() << "needs root and setpriv";
    }
    fs::create_directory(dir.Path() / "locked");  // 0755, owned by root
    dir.Write("locked/old.bt6", "old");
    fs::permissions(dir.Path() / "locked/old.bt6", fs::perms::owner_read);
    dir.Write("src.bt6", "new");
    const std::string secret = dir.Write("secret.bt6", "s");
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);

    const RunResult run =
        RunAsNobody({"/usr/bin/env", std::string(kFolderVariable) + "=" + dir.Path().string(),
                     SelfExecutable(), "--gtest_filter=FileOpsAsNobodyChild.Run"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string& out = run.output;
    EXPECT_THAT(out, HasSubstr("TRACE|File_Copy: Err: 5 |Source: " + At("src.bt6") +
                               "  Target: " + At("locked/old.bt6") + "|0\n"));
    EXPECT_THAT(out, HasSubstr("TRACE|Free space for /: "));
    EXPECT_THAT(out, HasSubstr("TRACE|File_Delete: Err: 5 |" + At("locked/old.bt6") +
                               " |Sub: Test:AsNobody>Lib_Systeme:File_Delete|1\n"));
    EXPECT_THAT(out, HasSubstr("TRACE|Folder '" + At("locked/new/") + "' not found|0\n"));
    EXPECT_THAT(out, HasSubstr("TRACE|Folder '" + At("locked/new/deeper/") + "' not found|0\n"));
    EXPECT_THAT(
        out, HasSubstr("TRACE|Err: 70 (Permission denied)  Source:Lib_Systeme:TailleDuFichier:"));
    EXPECT_THAT(out, Not(HasSubstr("File_RemoveFlag")));
    EXPECT_THAT(out, HasSubstr("RESULT|000|-1\n"));

    // Nothing changed in the locked folder: no half-written or temporary file either.
    EXPECT_EQ(Entries("locked"), std::vector<std::string>{"old.bt6"});
    EXPECT_EQ(TempDir::Read(dir.Path() / "locked/old.bt6"), "old");
    EXPECT_EQ(fs::status(dir.Path() / "locked/old.bt6").permissions(), fs::perms::owner_read);
}

}  // namespace
}  // namespace ks::test
