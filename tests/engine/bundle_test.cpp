// Bundles: writes outside a transaction of the caller become visible to other connections
// together, when the bundle is full or when the file is closed, the engine stopped or a
// transaction begun; a bundle whose commit fails is lost whole and the file stays whole; a
// closed table is one file that copies as a complete table.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "faulty_vfs.h"
#include "ks/engine/btr_codes.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

namespace fs = std::filesystem;
using engine::RecordEngine;
namespace status = engine::status;
namespace op = engine::op;

// Bundles that only their count or an explicit end closes.
engine::EngineOptions CountedBundles(int operations) {
    engine::EngineOptions options;
    options.bundleOperations = operations;
    options.bundleAgeMs = 600000;
    return options;
}

// How many of the records 0..n-1 another connection sees.
int Visible(const std::string& path, std::uint32_t n) {
    RecordEngine other;
    TableClient view(other, path);
    if (view.Open() != status::kSuccess) {
        return -1;
    }
    int count = 0;
    std::string record;
    for (std::uint32_t key = 0; key < n; ++key) {
        count += view.GetEqual(0, KeyText(key), record) == status::kSuccess ? 1 : 0;
    }
    return count;
}

class Bundle : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.Folder() + "FDATA26.bt6";
        RecordEngine creator;
        TableClient table(creator, path);
        ASSERT_EQ(table.Create(), status::kSuccess);
    }

    TempDir dir;
    std::string path;
};

TEST_F(Bundle, IsSeenByOthersOnlyWhenFull) {
    RecordEngine engine(CountedBundles(3));
    TableClient table(engine, path);
    ASSERT_EQ(table.Open(), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(0, 0)), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(1, 0)), status::kSuccess);
    std::string record;
    EXPECT_EQ(table.GetEqual(0, KeyText(1), record), status::kSuccess) << "its own writes";
    EXPECT_EQ(Visible(path, 5), 0);
    ASSERT_EQ(table.Insert(MakeRecord(2, 0)), status::kSuccess);
    EXPECT_EQ(Visible(path, 5), 3);
    ASSERT_EQ(table.Delete(), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(3, 0)), status::kSuccess);
    EXPECT_EQ(Visible(path, 5), 3) << "a delete and an insert still pending";
    ASSERT_EQ(table.GetEqual(0, KeyText(0), record), status::kSuccess);
    ASSERT_EQ(table.Update(MakeRecord(0, 1)), status::kSuccess);
    EXPECT_EQ(Visible(path, 5), 3);
    Contents contents;
    std::string problem;
    ASSERT_EQ(table.Close(), status::kSuccess);
    ASSERT_TRUE(ReadTable(path, contents, problem)) << problem;
    EXPECT_EQ(contents.size(), 3U);
    EXPECT_EQ(contents[KeyText(0)], MakeRecord(0, 1));
    EXPECT_EQ(contents.count(KeyText(2)), 0U);
}

TEST_F(Bundle, EndsAtCloseStopAndTheBeginOfATransaction) {
    RecordEngine engine(CountedBundles(1000));
    TableClient table(engine, path);
    ASSERT_EQ(table.Open(), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(0, 0)), status::kSuccess);
    ASSERT_EQ(table.Close(), status::kSuccess);
    EXPECT_EQ(Visible(path, 3), 1) << "close";

    ASSERT_EQ(table.Open(), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(1, 0)), status::kSuccess);
    ASSERT_EQ(EngineCall(engine, op::kBeginTransaction), status::kSuccess);
    EXPECT_EQ(Visible(path, 3), 2) << "begin of a transaction";
    ASSERT_EQ(table.Insert(MakeRecord(2, 0)), status::kSuccess);
    ASSERT_EQ(EngineCall(engine, op::kAbortTransaction), status::kSuccess);
    EXPECT_EQ(Visible(path, 3), 2) << "the aborted insert is not a bundle's";

    ASSERT_EQ(table.Insert(MakeRecord(2, 1)), status::kSuccess);
    EXPECT_EQ(Visible(path, 3), 2);
    ASSERT_EQ(EngineCall(engine, op::kStop), status::kSuccess);
    EXPECT_EQ(Visible(path, 3), 3) << "stop";
}

TEST_F(Bundle, AFailedCommitLosesTheWholeBundleAndLeavesTheFileWhole) {
    engine::test::FaultyVfs faulty("ks-faulty-bundle");
    engine::EngineOptions options = CountedBundles(1000);
    options.vfs = faulty.Name();
    RecordEngine engine(options);
    TableClient table(engine, path);
    ASSERT_EQ(table.Open(), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(0, 0)), status::kSuccess);
    ASSERT_EQ(table.Close(), status::kSuccess);
    ASSERT_EQ(table.Open(), status::kSuccess);
    for (std::uint32_t key = 1; key < 20; ++key) {
        ASSERT_EQ(table.Insert(MakeRecord(key, 0)), status::kSuccess);
    }
    faulty.FailWritesWith(SQLITE_FULL);
    EXPECT_EQ(table.Close(), status::kDiskFull) << "the close answers for its bundle";
    faulty.FailWritesWith(SQLITE_OK);
    std::string record;
    EXPECT_EQ(table.GetFirst(0, record), status::kFileNotOpen) << "closed all the same";
    EXPECT_EQ(Visible(path, 20), 1);
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

TEST_F(Bundle, AClosedTableIsOneFileThatCopiesWhole) {
    {
        RecordEngine engine;
        TableClient table(engine, path);
        ASSERT_EQ(table.Open(), status::kSuccess);
        for (std::uint32_t key = 0; key < 300; ++key) {
            ASSERT_EQ(table.Insert(MakeRecord(key, 2)), status::kSuccess);
        }
        EXPECT_FALSE(SideFiles(path).empty()) << "open, the table has its log";
        ASSERT_EQ(table.Close(), status::kSuccess);
    }
    EXPECT_TRUE(SideFiles(path).empty());
    const std::string copy = dir.Folder() + "copy.bt6";
    fs::copy_file(path, copy);
    Contents original;
    Contents copied;
    std::string problem;
    ASSERT_TRUE(ReadTable(path, original, problem)) << problem;
    ASSERT_TRUE(ReadTable(copy, copied, problem)) << problem;
    EXPECT_EQ(copied.size(), 300U);
    EXPECT_EQ(copied, original);
    EXPECT_TRUE(SideFiles(path).empty());
    EXPECT_TRUE(SideFiles(copy).empty());
}

TEST_F(Bundle, AFailureOfTheCommitHookOnTheTimerThreadIsNeitherFatalNorALoss) {
    // The age commit runs on the engine's own thread; an exception there must never end the
    // program. The hook throws after the commit, so the record is on disk and nothing was
    // lost: no call answers a failure, and the file still takes writes.
    std::atomic<bool> thrown{false};
    engine::EngineOptions options;
    options.bundleAgeMs = 10;
    options.onBundleCommitted = [&thrown](const fs::path&) {
        thrown = true;
        throw std::runtime_error("hook failure");
    };
    RecordEngine engine(options);
    TableClient table(engine, path);
    ASSERT_EQ(table.Open(), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(0, 0)), status::kSuccess);
    for (int wait = 0; wait < 500 && !thrown; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(thrown) << "the timer never committed the aged bundle";
    EXPECT_EQ(Visible(path, 1), 1) << "committed before the hook threw";
    std::string record;
    EXPECT_EQ(table.GetEqual(0, KeyText(0), record), status::kSuccess);
    EXPECT_EQ(table.Insert(MakeRecord(1, 0)), status::kSuccess);
    EXPECT_EQ(table.Close(), status::kSuccess);
    EXPECT_EQ(Visible(path, 2), 2);
}

}  // namespace
}  // namespace ks::test::durability
