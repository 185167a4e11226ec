// A failure belongs to its table: a table damaged or on a failing disk fails only its own
// calls, however the engine's timer and the other tables' calls interleave with it; a bundle
// lost outside the table's calls is answered once by the table's next call, after which the
// table refuses writes until it is opened again, so that no later write looks as if the lost
// ones were kept.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "faulty_vfs.h"
#include "ks/engine/btr_codes.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

using engine::RecordEngine;
namespace status = engine::status;
namespace op = engine::op;

// The failing layer hits this table (and its log) only.
constexpr const char* kLostName = "FDATA27.bt6";

class TableFailure : public ::testing::Test {
  protected:
    // Both tables made anew (each case of a test starts from them).
    void CreateTables() {
        RecordEngine creator(NoSyncOptions());
        TableClient kept(creator, keptPath);
        TableClient lost(creator, lostPath);
        ASSERT_EQ(kept.Create(), status::kSuccess);
        ASSERT_EQ(lost.Create(), status::kSuccess);
    }

    engine::EngineOptions Options(int bundleAgeMs) const {
        engine::EngineOptions options = NoSyncOptions();
        options.vfs = faulty.Name();
        options.bundleAgeMs = bundleAgeMs;
        return options;
    }

    // Both open; the lost table holds the committed records 0..9, the kept table an open
    // bundle of one record.
    static void OpenBoth(TableClient& kept, TableClient& lost) {
        ASSERT_EQ(kept.Open(), status::kSuccess);
        ASSERT_EQ(lost.Open(), status::kSuccess);
        for (std::uint32_t key = 0; key < 10; ++key) {
            ASSERT_EQ(lost.Insert(MakeRecord(key, 0)), status::kSuccess);
        }
        ASSERT_EQ(lost.Close(), status::kSuccess);
        ASSERT_EQ(lost.Open(), status::kSuccess);
        ASSERT_EQ(kept.Insert(MakeRecord(0, 0)), status::kSuccess);
    }

    // Records 10.. into the lost table's bundle, answered 0, then lost with the disk failing
    // under it: the writes stay in SQLite's cache until the commit, so the failure is set
    // first and nothing else of the table can meet it.
    void FillBundleOnAFailingDisk(TableClient& lost, std::uint32_t pending, int failure) {
        faulty.FailWritesWith(failure);
        for (std::uint32_t key = 10; key < 10 + pending; ++key) {
            ASSERT_EQ(lost.Insert(MakeRecord(key, 0)), status::kSuccess);
        }
    }

    // Opened again, the lost table takes writes; it holds its committed records and the one
    // written since (so none of the lost bundle), and is whole.
    void ExpectReopenedWhole(TableClient& lost) {
        ASSERT_EQ(lost.Open(), status::kSuccess);
        EXPECT_EQ(lost.Insert(MakeRecord(100, 0)), status::kSuccess);
        EXPECT_EQ(lost.Close(), status::kSuccess);
        Contents contents;
        std::string problem;
        ASSERT_TRUE(ReadTable(lostPath, contents, problem)) << problem;
        EXPECT_EQ(contents.size(), 11U);
        for (std::uint32_t key = 0; key < 10; ++key) {
            EXPECT_EQ(contents.count(KeyText(key)), 1U) << key;
        }
        EXPECT_EQ(contents.count(KeyText(100)), 1U);
        EXPECT_EQ(IntegrityCheck(lostPath), "ok");
    }

    TempDir dir;
    std::string keptPath = dir.Folder() + "FDATA26.bt6";
    std::string lostPath = dir.Folder() + kLostName;
    engine::test::FaultyVfs faulty{"ks-faulty-table", kLostName};
};

TEST_F(TableFailure, ABundleLostOutsideItsTablesCallsIsAnsweredOnceByThatTable) {
    enum class Where { kTimer, kBeginTransaction };
    struct Case {
        const char* name;
        Where where;
        int failure;
        std::int16_t answer;
    };
    const Case cases[] = {
        {"a full disk met by the timer", Where::kTimer, SQLITE_FULL, status::kDiskFull},
        {"a failing disk met by the timer", Where::kTimer, SQLITE_IOERR_WRITE, status::kIoError},
        {"a full disk met at the begin of a transaction", Where::kBeginTransaction, SQLITE_FULL,
         status::kDiskFull},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(CreateTables());
        const bool timer = c.where == Where::kTimer;
        // On the timer's short age, one write: the timer cannot cut the bundle before it.
        const std::uint32_t pending = timer ? 1 : 10;
        {
            RecordEngine engine(Options(timer ? 5 : 600000));
            TableClient kept(engine, keptPath);
            TableClient lost(engine, lostPath);
            ASSERT_NO_FATAL_FAILURE(OpenBoth(kept, lost));
            const int failedBefore = faulty.FailedWrites();
            ASSERT_NO_FATAL_FAILURE(FillBundleOnAFailingDisk(lost, pending, c.failure));
            std::string record;
            if (timer) {
                for (int wait = 0; wait < 500 && faulty.FailedWrites() == failedBefore; ++wait) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                ASSERT_GT(faulty.FailedWrites(), failedBefore)
                    << "the timer never committed the bundle";
            } else {
                EXPECT_EQ(EngineCall(engine, op::kBeginTransaction), status::kSuccess);
            }
            EXPECT_EQ(kept.Insert(MakeRecord(1, 0)), status::kSuccess) << "another table";
            EXPECT_EQ(kept.GetEqual(0, KeyText(0), record), status::kSuccess);
            TableClient reader(engine, lostPath);
            ASSERT_EQ(reader.Open(engine::open_mode::kReadOnly), status::kSuccess);
            EXPECT_EQ(reader.GetEqual(0, KeyText(0), record), status::kSuccess)
                << "a reader of the table did not lose the writes";
            EXPECT_EQ(reader.Close(), status::kSuccess);
            EXPECT_EQ(lost.GetEqual(0, KeyText(0), record), c.answer) << "the loss, answered";
            EXPECT_EQ(lost.GetEqual(0, KeyText(0), record), status::kSuccess) << "once";
            EXPECT_EQ(lost.GetEqual(0, KeyText(10), record), status::kKeyNotFound);
            faulty.FailWritesWith(SQLITE_OK);
            // Writes stay refused with the disk back: only opening the table again ends that.
            EXPECT_EQ(lost.Insert(MakeRecord(50, 0)), status::kAccessDenied);
            EXPECT_EQ(lost.Update(MakeRecord(0, 1)), status::kAccessDenied);
            EXPECT_EQ(lost.Delete(), status::kAccessDenied);
            EXPECT_EQ(lost.GetFirst(0, record), status::kSuccess);
            EXPECT_EQ(record, MakeRecord(0, 0));
            EXPECT_EQ(lost.GetNext(0, record), status::kSuccess);
            EXPECT_EQ(record, MakeRecord(1, 0));
            if (!timer) {
                EXPECT_EQ(EngineCall(engine, op::kEndTransaction), status::kSuccess);
            }
            EXPECT_EQ(lost.Insert(MakeRecord(50, 0)), status::kAccessDenied);
            EXPECT_EQ(lost.Close(), status::kSuccess) << "answered already";
            EXPECT_EQ(kept.Close(), status::kSuccess);
            ASSERT_NO_FATAL_FAILURE(ExpectReopenedWhole(lost));
        }
        Contents contents;
        std::string problem;
        ASSERT_TRUE(ReadTable(keptPath, contents, problem)) << problem;
        EXPECT_EQ(contents.size(), 2U) << "the other table kept its writes";
    }
}

TEST_F(TableFailure, ABundleLostAtTheEndOfEveryFileIsAnsweredByThatEnd) {
    struct Case {
        const char* name;
        std::uint16_t end;  // close of the lost table, or stop
    };
    const Case cases[] = {{"close", op::kClose}, {"stop", op::kStop}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(CreateTables());
        RecordEngine engine(Options(600000));
        TableClient kept(engine, keptPath);
        TableClient lost(engine, lostPath);
        ASSERT_NO_FATAL_FAILURE(OpenBoth(kept, lost));
        ASSERT_NO_FATAL_FAILURE(FillBundleOnAFailingDisk(lost, 10, SQLITE_FULL));
        const std::int16_t ended =
            c.end == op::kClose ? lost.Close() : EngineCall(engine, op::kStop);
        EXPECT_EQ(ended, status::kDiskFull);
        faulty.FailWritesWith(SQLITE_OK);
        if (c.end == op::kStop) {
            ASSERT_EQ(kept.Open(), status::kSuccess);
        }
        EXPECT_EQ(kept.Insert(MakeRecord(1, 0)), status::kSuccess) << "another table";
        ASSERT_NO_FATAL_FAILURE(ExpectReopenedWhole(lost));
        EXPECT_EQ(kept.Close(), status::kSuccess);
        Contents contents;
        std::string problem;
        ASSERT_TRUE(ReadTable(keptPath, contents, problem)) << problem;
        EXPECT_EQ(contents.size(), 2U) << "the other table kept its writes";
    }
}

// Overwrites 16 KiB in the middle of a table with fixed noise. The descriptor is the test's
// own: closing it drops the locks this process's SQLite holds on the file, which is harmless
// here as no other process uses it.
void Damage(const std::string& path) {
    const auto size = std::filesystem::file_size(path);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size / 2 / 4096 * 4096));
    std::uint32_t x = 2463534242U;
    for (int i = 0; i < 16 * 1024; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        file.put(static_cast<char>(x & 0xFFU));
    }
}

TEST_F(TableFailure, ABrokenTableNeverFailsTheCallsOfAnotherTable) {
    struct Case {
        const char* name;
        bool damaged;                          // else its disk is full
        std::set<std::int16_t> brokenAnswers;  // what the broken table's calls may answer
        std::int16_t failure;                  // the one of them that says it is broken
        bool failureOnce;  // a lost bundle, answered once, after which writes are refused
    };
    const Case cases[] = {
        // A commit that meets the damage loses its bundle as a full disk does.
        {"damaged pages",
         true,
         {status::kSuccess, status::kKeyNotFound, status::kEndOfFile, status::kNotATableFile,
          status::kAccessDenied},
         status::kNotATableFile,
         false},
        {"a full disk under one table",
         false,
         {status::kSuccess, status::kEndOfFile, status::kDiskFull, status::kAccessDenied},
         status::kDiskFull,
         true},
    };
    constexpr std::uint32_t kBrokenRecords = 6000;  // well past what its first reads bring in
    constexpr std::uint32_t kRounds = 2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(CreateTables());
        {
            RecordEngine filler(NoSyncOptions());
            TableClient broken(filler, lostPath);
            ASSERT_EQ(broken.Open(), status::kSuccess);
            for (std::uint32_t key = 0; key < kBrokenRecords; ++key) {
                ASSERT_EQ(broken.Insert(MakeRecord(key * 2, 0)), status::kSuccess);
            }
            ASSERT_EQ(broken.Close(), status::kSuccess);
        }
        // A short age and short pauses: the timer ends bundles and windows of both tables
        // many times over.
        RecordEngine engine(Options(3));
        TableClient healthy(engine, keptPath);
        TableClient broken(engine, lostPath);
        ASSERT_EQ(healthy.Open(), status::kSuccess);
        ASSERT_EQ(broken.Open(), status::kSuccess);
        std::string record;
        ASSERT_EQ(healthy.Insert(MakeRecord(0, 0)), status::kSuccess);
        ASSERT_EQ(broken.GetEqual(0, KeyText(0), record), status::kSuccess);
        ASSERT_EQ(broken.Insert(MakeRecord(1, 0)), status::kSuccess);
        ASSERT_EQ(healthy.GetEqual(0, KeyText(0), record), status::kSuccess);
        if (c.damaged) {
            Damage(lostPath);
        } else {
            faulty.FailWritesWith(SQLITE_FULL);
        }

        std::set<std::uint32_t> model{0};
        std::map<std::int16_t, int> brokenSeen;
        std::uint32_t x = 12345;
        auto next = [&x](std::uint32_t bound) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            return x % bound;
        };
        for (std::uint32_t round = 1; round <= kRounds; ++round) {
            ASSERT_EQ(healthy.Insert(MakeRecord(round, 0)), status::kSuccess) << round;
            model.insert(round);
            // A record of the model, then its neighbours both ways.
            const std::uint32_t key = next(round + 1);
            ASSERT_EQ(healthy.GetEqual(0, KeyText(key), record), status::kSuccess) << round;
            ASSERT_EQ(record, MakeRecord(key, 0));
            const auto after = model.upper_bound(key);
            if (after == model.end()) {
                ASSERT_EQ(healthy.GetNext(0, record), status::kEndOfFile) << round;
            } else {
                ASSERT_EQ(healthy.GetNext(0, record), status::kSuccess) << round;
                ASSERT_EQ(record, MakeRecord(*after, 0));
                ASSERT_EQ(healthy.GetPrevious(0, record), status::kSuccess) << round;
                ASSERT_EQ(record, MakeRecord(key, 0));
            }
            if (key > 0) {
                ASSERT_EQ(healthy.GetPrevious(0, record), status::kSuccess) << round;
                ASSERT_EQ(record, MakeRecord(*std::prev(model.find(key)), 0));
            }
            ASSERT_EQ(healthy.GetEqual(0, KeyText(kRounds + 1), record), status::kKeyNotFound);
            if (round % 3 == 0) {
                ++brokenSeen[broken.Insert(MakeRecord(next(kBrokenRecords) * 2 + 1, 0))];
                ++brokenSeen[broken.GetEqual(0, KeyText(next(kBrokenRecords) * 2), record)];
                ++brokenSeen[broken.GetNext(0, record)];
            }
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        faulty.FailWritesWith(SQLITE_OK);
        ++brokenSeen[broken.Close()];
        for (const auto& [answer, count] : brokenSeen) {
            EXPECT_EQ(c.brokenAnswers.count(answer), 1U)
                << "the broken table answered " << answer << " " << count << " times";
        }
        EXPECT_GT(brokenSeen[c.failure], 0) << "the broken table never failed";
        if (c.failureOnce) {
            EXPECT_EQ(brokenSeen[c.failure], 1);
            EXPECT_GT(brokenSeen[status::kAccessDenied], 0);
        }
        EXPECT_EQ(healthy.Close(), status::kSuccess);
        Contents contents;
        std::string problem;
        ASSERT_TRUE(ReadTable(keptPath, contents, problem)) << problem;
        EXPECT_EQ(contents.size(), model.size());
        EXPECT_EQ(IntegrityCheck(keptPath), "ok");
    }
}

}  // namespace
}  // namespace ks::test::durability
