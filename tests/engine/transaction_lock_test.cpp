// A transaction holds the write lock of each file from the moment it first touches it: a file
// it has read cannot be changed under it by another process, so its own writes never meet a
// stale read and its end commits every write it answered 0 for.
#include <gtest/gtest.h>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

using engine::RecordEngine;
namespace status = engine::status;
namespace op = engine::op;

constexpr std::int32_t kGo = 1;

class TransactionLock : public ::testing::TestWithParam<std::uint16_t> {};

// The other process is started before this one opens the table: a child forked while its
// parent has a file open would share the parent's record of SQLite's locks, not its locks.
TEST_P(TransactionLock, AFileReadInATransactionIsWrittenByItAndWaitsForItsEnd) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA22.bt6";
    Child other([&](int channel, int) {
        std::int32_t go = 0;
        for (int round = 0; round < 2; ++round) {
            if (!Receive(channel, go, 20000)) {
                return 10;
            }
            RecordEngine otherEngine(NoSyncOptions());
            TableClient view(otherEngine, path);
            if (view.Open() != status::kSuccess) {
                return 11;
            }
            Report(channel, view.Insert(MakeRecord(2, 0)));
            Report(channel, view.Close());
        }
        return 0;
    });
    RecordEngine engine(NoSyncOptions());
    TableClient table(engine, path);
    ASSERT_EQ(table.Create(), status::kSuccess);
    ASSERT_EQ(table.Open(), status::kSuccess);
    ASSERT_EQ(table.Insert(MakeRecord(1, 0)), status::kSuccess);

    ASSERT_EQ(EngineCall(engine, GetParam()), status::kSuccess);
    std::string record;
    ASSERT_EQ(table.GetEqual(0, KeyText(1), record), status::kSuccess);

    // The other process writes the file between the transaction's read and its writes: it
    // must be held off (84 after its short wait) until the transaction ends, then go through.
    other.Send(kGo);
    std::int32_t inserted = -1;
    std::int32_t closed = -1;
    ASSERT_TRUE(other.NextMessage(inserted, 20000));
    ASSERT_TRUE(other.NextMessage(closed, 20000));
    EXPECT_EQ(inserted, status::kRecordLocked) << "the other process wrote into the transaction";
    EXPECT_EQ(closed, status::kSuccess);

    EXPECT_EQ(table.Update(MakeRecord(1, 1)), status::kSuccess);
    EXPECT_EQ(table.Insert(MakeRecord(3, 0)), status::kSuccess);
    EXPECT_EQ(EngineCall(engine, op::kEndTransaction), status::kSuccess);

    other.Send(kGo);
    ASSERT_TRUE(other.NextMessage(inserted, 20000));
    ASSERT_TRUE(other.NextMessage(closed, 20000));
    EXPECT_EQ(inserted, status::kSuccess) << "the lock outlived the transaction";
    EXPECT_EQ(closed, status::kSuccess);
    EXPECT_EQ(other.Wait(), 0);
    ASSERT_EQ(table.Close(), status::kSuccess);

    Contents contents;
    std::string problem;
    ASSERT_TRUE(ReadTable(path, contents, problem)) << problem;
    EXPECT_EQ(contents, (Contents{{KeyText(1), MakeRecord(1, 1)},
                                  {KeyText(2), MakeRecord(2, 0)},
                                  {KeyText(3), MakeRecord(3, 0)}}));
}

TEST_P(TransactionLock, AFileTheTransactionNeverTouchesStaysFreeForOthers) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA22.bt6";
    Child other([&](int channel, int) {
        std::int32_t go = 0;
        if (!Receive(channel, go, 20000)) {
            return 10;
        }
        RecordEngine otherEngine(NoSyncOptions());
        TableClient view(otherEngine, path);
        Report(channel, view.Open());
        Report(channel, view.Insert(MakeRecord(5, 0)));
        Report(channel, view.Close());
        return 0;
    });
    RecordEngine engine(NoSyncOptions());
    TableClient table(engine, path);
    ASSERT_EQ(table.Create(), status::kSuccess);
    ASSERT_EQ(table.Open(), status::kSuccess);
    ASSERT_EQ(EngineCall(engine, GetParam()), status::kSuccess);

    other.Send(kGo);
    for (const char* step : {"open", "insert", "close"}) {
        std::int32_t answer = -1;
        ASSERT_TRUE(other.NextMessage(answer, 20000)) << step;
        EXPECT_EQ(answer, status::kSuccess) << step;
    }
    EXPECT_EQ(other.Wait(), 0);
    // The first touch comes after the other process's commit: the transaction sees it.
    std::string record;
    EXPECT_EQ(table.GetEqual(0, KeyText(5), record), status::kSuccess);
    EXPECT_EQ(table.Delete(), status::kSuccess);
    EXPECT_EQ(EngineCall(engine, op::kEndTransaction), status::kSuccess);
    EXPECT_EQ(table.GetEqual(0, KeyText(5), record), status::kKeyNotFound);
}

INSTANTIATE_TEST_SUITE_P(BothKinds, TransactionLock,
                         ::testing::Values(op::kBeginTransaction, op::kBeginConcurrentTransaction));

}  // namespace
}  // namespace ks::test::durability
