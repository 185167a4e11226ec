// Reads inside the engine's read window, where a get next or previous may step a statement
// left positioned by the block's last read: what a block reads after a write between two of
// its reads (by itself, by another block, by another process), after a change of key number,
// and that a table held open for long while another process writes keeps a bounded log.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

using engine::RecordEngine;
namespace status = engine::status;

constexpr std::int32_t kGo = 1;  // to a writer forked early: the table is ready, write now

// Records 0, 2, 4 ... 18 by key 0, in version 0.
void Fill(TableClient& table) {
    ASSERT_EQ(table.Create(), status::kSuccess);
    ASSERT_EQ(table.Open(), status::kSuccess);
    for (std::uint32_t key = 0; key < 20; key += 2) {
        ASSERT_EQ(table.Insert(MakeRecord(key, 0)), status::kSuccess);
    }
}

struct WriteCase {
    const char* name;
    // Done between two reads of block `a`, which stands on record 8 after reading 6 then 8.
    std::function<void(TableClient& a, TableClient& b)> write;
    std::string next;      // record a get next of `a` answers then
    std::string previous;  // and a get previous
};

TEST(HeldCursor, ABlockReadsWhatTheWritesBetweenItsReadsLeft) {
    const WriteCase cases[] = {
        {"nothing", [](TableClient&, TableClient&) {}, MakeRecord(10, 0), MakeRecord(6, 0)},
        {"the block deletes its record",
         [](TableClient& a, TableClient&) { EXPECT_EQ(a.Delete(), status::kSuccess); },
         MakeRecord(10, 0), MakeRecord(6, 0)},
        {"another block deletes it",
         [](TableClient&, TableClient& b) {
             std::string record;
             EXPECT_EQ(b.GetEqual(0, KeyText(8), record), status::kSuccess);
             EXPECT_EQ(b.Delete(), status::kSuccess);
         },
         MakeRecord(10, 0), MakeRecord(6, 0)},
        {"another block deletes the next one and the previous one",
         [](TableClient&, TableClient& b) {
             std::string record;
             EXPECT_EQ(b.GetEqual(0, KeyText(10), record), status::kSuccess);
             EXPECT_EQ(b.Delete(), status::kSuccess);
             EXPECT_EQ(b.GetEqual(0, KeyText(6), record), status::kSuccess);
             EXPECT_EQ(b.Delete(), status::kSuccess);
         },
         MakeRecord(12, 0), MakeRecord(4, 0)},
        {"another block updates the next one and the previous one",
         [](TableClient&, TableClient& b) {
             std::string record;
             EXPECT_EQ(b.GetEqual(0, KeyText(10), record), status::kSuccess);
             EXPECT_EQ(b.Update(MakeRecord(10, 1)), status::kSuccess);
             EXPECT_EQ(b.GetEqual(0, KeyText(6), record), status::kSuccess);
             EXPECT_EQ(b.Update(MakeRecord(6, 1)), status::kSuccess);
         },
         MakeRecord(10, 1), MakeRecord(6, 1)},
        {"the block updates its record",
         [](TableClient& a, TableClient&) {
             EXPECT_EQ(a.Update(MakeRecord(8, 1)), status::kSuccess);
         },
         MakeRecord(10, 0), MakeRecord(6, 0)},
        {"another block inserts around it",
         [](TableClient&, TableClient& b) {
             EXPECT_EQ(b.Insert(MakeRecord(9, 0)), status::kSuccess);
             EXPECT_EQ(b.Insert(MakeRecord(7, 0)), status::kSuccess);
         },
         MakeRecord(9, 0), MakeRecord(7, 0)},
    };
    for (const auto& entry : cases) {
        for (const bool next : {true, false}) {
            SCOPED_TRACE(std::string(entry.name) + (next ? ", next" : ", previous"));
            TempDir dir;
            RecordEngine engine(NoSyncOptions());
            const std::string path = dir.Folder() + "held.bt6";
            TableClient a(engine, path);
            Fill(a);
            TableClient b(engine, path);
            ASSERT_EQ(b.Open(), status::kSuccess);
            std::string record;
            ASSERT_EQ(a.GetEqual(0, KeyText(6), record), status::kSuccess);
            ASSERT_EQ(next ? a.GetNext(0, record) : a.GetPrevious(0, record), status::kSuccess);
            ASSERT_EQ(next ? a.GetPrevious(0, record) : a.GetNext(0, record), status::kSuccess);
            ASSERT_EQ(a.GetNext(0, record), status::kSuccess);
            ASSERT_EQ(record, MakeRecord(8, 0));
            entry.write(a, b);
            ASSERT_EQ(next ? a.GetNext(0, record) : a.GetPrevious(0, record), status::kSuccess);
            EXPECT_EQ(record, next ? entry.next : entry.previous);
        }
    }
}

// Two blocks walking the same key in turn, one of them forwards and one backwards, then a
// change of key number: each keeps its own position throughout.
TEST(HeldCursor, BlocksTakingTurnsKeepTheirOwnPositions) {
    TempDir dir;
    RecordEngine engine(NoSyncOptions());
    const std::string path = dir.Folder() + "turns.bt6";
    TableClient a(engine, path);
    Fill(a);
    TableClient b(engine, path);
    ASSERT_EQ(b.Open(), status::kSuccess);
    std::string record;
    ASSERT_EQ(a.GetFirst(0, record), status::kSuccess);
    ASSERT_EQ(b.GetLast(0, record), status::kSuccess);
    for (std::uint32_t i = 1; i < 10; ++i) {
        ASSERT_EQ(a.GetNext(0, record), status::kSuccess);
        EXPECT_EQ(record, MakeRecord(2 * i, 0));
        ASSERT_EQ(b.GetPrevious(0, record), status::kSuccess);
        EXPECT_EQ(record, MakeRecord(18 - 2 * i, 0));
    }
    EXPECT_EQ(a.GetNext(0, record), status::kEndOfFile);
    EXPECT_EQ(b.GetPrevious(0, record), status::kEndOfFile);
    // By key 1 (groups G000... in key order with version 0), from the record a stands on.
    ASSERT_EQ(a.GetEqual(1, MakeRecord(8, 0).substr(8, 4), record), status::kSuccess);
    EXPECT_EQ(a.GetNext(0, record), status::kDifferentKeyNumber);
    ASSERT_EQ(a.GetNext(1, record), status::kSuccess);
    EXPECT_EQ(record, MakeRecord(10, 0));
}

// Another process's commit between two reads of a block reaches it once the window in which
// the block read has ended, with no call in between to end it.
TEST(HeldCursor, AnotherProcessesCommitIsSeenAfterTheWindow) {
    TempDir dir;
    const std::string path = dir.Folder() + "shared.bt6";
    // Forked before this process's engine starts its timer thread: a fork of a process with
    // threads is unsound (and ThreadSanitizer refuses threads in the child). It waits for go.
    Child writer([&path](int toParent, int fromParent) {
        std::int32_t go = 0;
        if (!Receive(fromParent, go, 20000)) {
            return 1;
        }
        RecordEngine other(NoSyncOptions());
        TableClient table(other, path);
        const bool done = table.Open() == status::kSuccess &&
                          table.Insert(MakeRecord(3, 0)) == status::kSuccess &&
                          table.Close() == status::kSuccess;
        Report(toParent, done ? 1 : 0);
        return 0;
    });
    RecordEngine engine(NoSyncOptions());
    TableClient a(engine, path);
    Fill(a);
    ASSERT_EQ(a.Close(), status::kSuccess);
    ASSERT_EQ(a.Open(), status::kSuccess);
    std::string record;
    ASSERT_EQ(a.GetFirst(0, record), status::kSuccess);
    ASSERT_EQ(a.GetNext(0, record), status::kSuccess);  // on 2, inside a window
    writer.Send(kGo);
    std::int32_t done = 0;
    ASSERT_TRUE(writer.NextMessage(done, 10000));
    ASSERT_EQ(done, 1);
    EXPECT_EQ(writer.Wait(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(4 * engine::kDefaultBundleAgeMs));
    ASSERT_EQ(a.GetNext(0, record), status::kSuccess);
    EXPECT_EQ(record, MakeRecord(3, 0));
}

// The desktop program keeps a table open for hours and reads it while another process
// writes it: the log is still emptied and started again, so it stays near the size at which
// SQLite empties it (about 4 MiB). A reader that never let go of its snapshot would leave all
// 6,000 commits of the writer in it, some 60 MiB.
TEST(HeldCursor, ATableHeldOpenAcrossManyWindowsKeepsItsLogBounded) {
    TempDir dir;
    const std::string path = dir.Folder() + "busy.bt6";
    // Forked before this process's engine starts its timer thread (see above); waits for go.
    Child writer([&path](int toParent, int fromParent) {
        std::int32_t go = 0;
        if (!Receive(fromParent, go, 20000)) {
            return 4;
        }
        // A commit per write: the log grows fastest.
        engine::EngineOptions options = NoSyncOptions();
        options.bundleOperations = 1;
        RecordEngine other(options);
        TableClient table(other, path);
        if (table.Open() != status::kSuccess) {
            return 1;
        }
        Report(toParent, 0);
        std::string record;
        for (std::uint32_t round = 0; round < 600; ++round) {
            for (std::uint32_t key = 0; key < 20; key += 2) {
                if (table.GetEqual(0, KeyText(key), record) != status::kSuccess ||
                    table.Update(MakeRecord(key, round % 3U)) != status::kSuccess) {
                    return 2;
                }
            }
        }
        Report(toParent, 1);
        return table.Close() == status::kSuccess ? 0 : 3;
    });
    RecordEngine engine(NoSyncOptions());
    TableClient reader(engine, path);
    Fill(reader);
    ASSERT_EQ(reader.Close(), status::kSuccess);  // the filling bundle committed
    ASSERT_EQ(reader.Open(), status::kSuccess);
    writer.Send(kGo);
    std::int32_t message = -1;
    ASSERT_TRUE(writer.NextMessage(message, 10000));
    ASSERT_EQ(message, 0);
    std::uintmax_t largest = 0;
    std::string record;
    std::uint32_t reads = 0;
    // Reads without a pause, window after window, until the writer is done. A writer that
    // ended without its last message ends the test: nothing more will come.
    while (!writer.NextMessage(message, 0)) {
        if (writer.HasEnded()) {
            // Its last message may have come between the look for it and its end.
            ASSERT_TRUE(writer.NextMessage(message, 0))
                << "the writer ended (" << writer.Wait() << ") before it was done";
            break;
        }
        if (reader.GetNext(0, record) != status::kSuccess) {
            ASSERT_EQ(reader.GetFirst(0, record), status::kSuccess);
        }
        if (++reads % 100 == 0) {
            std::error_code error;
            largest = std::max(largest, std::filesystem::file_size(path + "-wal", error));
        }
    }
    EXPECT_EQ(message, 1);
    EXPECT_EQ(writer.Wait(), 0);
    EXPECT_GT(reads, 1000U);
    // At most what the writer adds while one window of the reader lasts comes on top.
    EXPECT_LT(largest, 24U << 20U);
}

}  // namespace
}  // namespace ks::test::durability
