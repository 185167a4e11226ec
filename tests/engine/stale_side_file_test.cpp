// Side files left beside a table by a killed process (write-ahead log, rollback journal): the
// engine applies the log that belongs to the table and never one that belongs to another file,
// such as the table's older self or another table copied over it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

namespace fs = std::filesystem;
using engine::RecordEngine;
namespace status = engine::status;

constexpr std::int32_t kReady = 1000000;

void Fill(const std::string& path, std::uint32_t first, std::uint32_t count,
          std::uint32_t version) {
    RecordEngine engine;
    TableClient table(engine, path);
    if (!fs::exists(path)) {
        ASSERT_EQ(table.Create(), status::kSuccess);
    }
    ASSERT_EQ(table.Open(), status::kSuccess);
    for (std::uint32_t key = first; key < first + count; ++key) {
        ASSERT_EQ(table.Insert(MakeRecord(key, version)), status::kSuccess);
    }
    ASSERT_EQ(table.Close(), status::kSuccess);
}

Contents Read(const std::string& path) {
    Contents contents;
    std::string problem;
    EXPECT_TRUE(ReadTable(path, contents, problem)) << path << ": " << problem;
    return contents;
}

// A child writes bundles of ten inserts to `path` (keys from 5000), and is killed after its
// third committed bundle, in the middle of the fourth: its write-ahead log stays beside the
// table. Returns how many inserts the child had seen committed.
std::uint32_t KillWriterMidBundle(const std::string& path) {
    Child child([&](int channel, int) {
        engine::EngineOptions options;
        options.bundleOperations = 10;
        options.bundleAgeMs = 600000;
        int commits = 0;
        options.onBundleCommitted = [&](const fs::path&) {
            ++commits;
            Report(channel, commits);
        };
        RecordEngine engine(options);
        TableClient table(engine, path);
        if (table.Open() != status::kSuccess) {
            return 10;
        }
        for (std::uint32_t key = 5000; key < 5035; ++key) {
            if (table.Insert(MakeRecord(key, 9)) != status::kSuccess) {
                return 11;
            }
        }
        Report(channel, kReady);
        pause();
        return 12;
    });
    std::int32_t message = 0;
    std::int32_t commits = 0;
    while (child.NextMessage(message, 20000) && message != kReady) {
        commits = message;
    }
    EXPECT_EQ(message, kReady);
    child.Kill();
    EXPECT_EQ(child.Wait(), -SIGKILL);
    EXPECT_TRUE(fs::exists(path + "-wal")) << "the killed writer left no log to test with";
    return static_cast<std::uint32_t>(commits) * 10U;
}

TEST(StaleSideFile, LogOfAKilledWriterIsAppliedToItsOwnTable) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA22.bt6";
    Fill(path, 0, 20, 1);
    const std::uint32_t committed = KillWriterMidBundle(path);
    ASSERT_EQ(committed, 30U);

    Contents expected;
    for (std::uint32_t key = 0; key < 20; ++key) {
        expected[KeyText(key)] = MakeRecord(key, 1);
    }
    for (std::uint32_t key = 5000; key < 5000 + committed; ++key) {
        expected[KeyText(key)] = MakeRecord(key, 9);
    }
    EXPECT_EQ(Read(path), expected);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    EXPECT_TRUE(SideFiles(path).empty());
}

TEST(StaleSideFile, AnotherTableCopiedOverAKilledWritersTableOpensAsTheCopy) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATB22.bt6";
    const std::string other = dir.Folder() + "server/FDATA22.bt6";
    fs::create_directory(dir.Path() / "server");
    Fill(path, 0, 20, 1);
    Fill(other, 100, 50, 2);
    const Contents copied = Read(other);
    KillWriterMidBundle(path);

    // Written in place, as a plain copy tool does: same file, new bytes, old log beside it.
    fs::copy_file(other, path, fs::copy_options::overwrite_existing);
    EXPECT_EQ(Read(path), copied);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    EXPECT_TRUE(SideFiles(path).empty());
}

TEST(StaleSideFile, TheTablesOwnOlderCopyPutBackOpensAsThatCopy) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATB20.bt6";
    const std::string saved = dir.Folder() + "saved.bt6";
    Fill(path, 0, 40, 3);
    fs::copy_file(path, saved);
    const Contents before = Read(saved);
    KillWriterMidBundle(path);

    // The log continues the table from the state the copy also holds: only a log written
    // after the copy's last state may be applied to it, and this one is not.
    fs::copy_file(saved, path, fs::copy_options::overwrite_existing);
    EXPECT_EQ(Read(path), before);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    EXPECT_TRUE(SideFiles(path).empty());
}

void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        _exit(20);
    }
}

// A rollback journal left by a process killed in the middle of a large transaction on some
// other database, with the page size of the table files.
std::string HotJournalOfAnotherDatabase(const TempDir& dir) {
    const std::string database = dir.Folder() + "other.db";
    Child child([&](int channel, int) {
        sqlite3* db = nullptr;
        if (sqlite3_open(database.c_str(), &db) != SQLITE_OK) {
            return 10;
        }
        Exec(db, "PRAGMA page_size=4096; PRAGMA journal_mode=DELETE; PRAGMA cache_size=8");
        Exec(db, "CREATE TABLE t(x BLOB)");
        Exec(db, "BEGIN");
        for (int i = 0; i < 100; ++i) {
            Exec(db, "INSERT INTO t VALUES(randomblob(3000))");
        }
        Exec(db, "COMMIT");
        // Changing every page with a cache of eight pages spills them into the file: the
        // journal now holds the pages as they were and is hot.
        Exec(db, "BEGIN; UPDATE t SET x = randomblob(3000)");
        Report(channel, kReady);
        pause();
        return 11;
    });
    std::int32_t message = 0;
    EXPECT_TRUE(child.NextMessage(message, 20000));
    child.Kill();
    child.Wait();
    EXPECT_GT(fs::file_size(database + "-journal"), 4096U);
    return database + "-journal";
}

TEST(StaleSideFile, ARollbackJournalOfAnotherDatabaseIsNeverPlayedIntoATable) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA21.bt6";
    Fill(path, 0, 200, 4);
    const Contents before = Read(path);
    fs::rename(HotJournalOfAnotherDatabase(dir), path + "-journal");

    EXPECT_EQ(Read(path), before);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    EXPECT_TRUE(SideFiles(path).empty());
}

}  // namespace
}  // namespace ks::test::durability
