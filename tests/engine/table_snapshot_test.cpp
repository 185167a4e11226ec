// Copies of a table that another process has open: taken while a writer inserts without
// pause, each copy is one whole table holding a prefix of the writer's commits; the source is
// never changed; a source on a folder the copier may only read copies as well; failures say
// what failed and leave the target as it was.
#include "ks/engine/table_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "support/run_as.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

namespace fs = std::filesystem;
using engine::CopyTableSnapshot;
using engine::RecordEngine;
using engine::SnapshotStatus;
namespace status = engine::status;

constexpr std::int32_t kReady = -1;
constexpr std::int32_t kStop = -2;

// The writer: inserts records 0, 1, 2... in that order, through bundles, a transaction now
// and then, and a close and reopen now and then (the last connection's close copies the log
// into the table and removes it), until told to stop. After each commit it reports how many
// records it had inserted by then: every copy taken later must hold at least those.
int RunWriter(const std::string& path, int channel) {
    std::atomic<std::int32_t> inserted{0};
    engine::EngineOptions options = NoSyncOptions();
    options.onBundleCommitted = [&](const fs::path&) { Report(channel, inserted.load()); };
    RecordEngine engine(options);
    TableClient table(engine, path);
    if (table.Open() != status::kSuccess) {
        return 10;
    }
    std::int32_t message = 0;
    while (!Receive(channel, message, 0)) {
        const auto next = static_cast<std::uint32_t>(inserted.load());
        const bool transaction = next % 101 == 0;
        if (transaction && EngineCall(engine, engine::op::kBeginTransaction) != 0) {
            return 11;
        }
        for (std::uint32_t i = 0; i < (transaction ? 5U : 1U); ++i) {
            if (table.Insert(MakeRecord(next + i, 0)) != status::kSuccess) {
                return 12;
            }
            ++inserted;
        }
        if (transaction) {
            if (EngineCall(engine, engine::op::kEndTransaction) != 0) {
                return 13;
            }
            Report(channel, inserted.load());
        }
        if (next % 2000 < 5) {
            if (table.Close() != 0 || table.Open() != 0) {
                return 14;
            }
            Report(channel, inserted.load());
        }
        if (next % 8 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return table.Close() == status::kSuccess ? 0 : 15;
}

// How many records 0..n-1 the copy holds, exactly those and as written; -1 when it holds
// anything else.
int PrefixLength(const std::string& copy, std::string& problem) {
    Contents contents;
    if (!ReadTable(copy, contents, problem)) {
        return -1;
    }
    std::uint32_t key = 0;
    for (const auto& [text, record] : contents) {
        if (text != KeyText(key) || record != MakeRecord(key, 0)) {
            problem = "record " + text + " where " + KeyText(key) + " was due";
            return -1;
        }
        ++key;
    }
    return static_cast<int>(key);
}

// For a child: holds the table open, idle, with the commit of record `id` in its log, until
// the parent's message.
int HoldOpenWithACommit(const std::string& path, std::uint32_t id, int channel) {
    RecordEngine engine(NoSyncOptions());
    TableClient table(engine, path);
    if (table.Open() != 0 || table.Insert(MakeRecord(id, 0)) != 0 ||
        EngineCall(engine, engine::op::kBeginTransaction) != 0 ||
        EngineCall(engine, engine::op::kEndTransaction) != 0) {
        return 10;
    }
    Report(channel, kReady);
    std::int32_t message = 0;
    Receive(channel, message, 20000);
    return table.Close() == 0 ? 0 : 11;
}

std::string Bytes(const fs::path& file) {
    return fs::exists(file) ? TempDir::Read(file) : "(none)";
}

TEST(TableSnapshot, CopiesTakenWhileAnotherProcessWritesHoldAPrefixOfItsCommits) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA22.bt6";
    {
        RecordEngine creator;
        ASSERT_EQ(TableClient(creator, path).Create(), status::kSuccess);
    }
    Child writer([&](int channel, int) { return RunWriter(path, channel); });
    // The commits the writer has reported so far.
    std::int32_t committed = 0;
    auto catchUp = [&] {
        for (const std::int32_t count : writer.Messages()) {
            committed = std::max(committed, count);
        }
    };
    while (committed < 300 && writer.NextMessage(committed, 20000)) {
    }

    constexpr int kCopies = 20;
    int withLog = 0;
    std::vector<std::int32_t> committedBefore;
    for (int i = 0; i < kCopies; ++i) {
        catchUp();
        committedBefore.push_back(committed);
        const auto result = CopyTableSnapshot(path, dir.Folder() + "copy" + std::to_string(i));
        ASSERT_TRUE(result.Copied()) << "copy " << i << ": " << result.reason;
        withLog += result.withLog ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    writer.Send(kStop);
    ASSERT_EQ(writer.Wait(), 0);
    catchUp();

    int previous = 0;
    for (int i = 0; i < kCopies; ++i) {
        const std::string copy = dir.Folder() + "copy" + std::to_string(i);
        EXPECT_TRUE(SideFiles(copy).empty()) << "copy " << i << " is not one file";
        EXPECT_EQ(IntegrityCheck(copy), "ok") << "copy " << i;
        std::string problem;
        const int length = PrefixLength(copy, problem);
        ASSERT_GE(length, 0) << "copy " << i << ": " << problem;
        EXPECT_GE(length, committedBefore[static_cast<std::size_t>(i)])
            << "copy " << i << " misses commits made before it began";
        EXPECT_GE(length, previous) << "copy " << i << " holds less than the one before";
        previous = length;
    }
    EXPECT_LE(previous, committed);
    EXPECT_GT(previous, committedBefore.front()) << "the writer did not write during the copies";
    EXPECT_GT(withLog, kCopies / 2) << "most copies must meet the table open, its log beside it";
}

TEST(TableSnapshot, NeverChangesTheSourceOrItsSideFiles) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA27.bt6";
    {
        RecordEngine creator;
        TableClient table(creator, path);
        ASSERT_EQ(table.Create(), status::kSuccess);
        ASSERT_EQ(table.Open(), status::kSuccess);
        ASSERT_EQ(table.Insert(MakeRecord(1, 0)), status::kSuccess);
    }
    const std::string closedBytes = Bytes(path);
    const auto closed = CopyTableSnapshot(path, dir.Folder() + "closed.bt6");
    ASSERT_TRUE(closed.Copied()) << closed.reason;
    EXPECT_FALSE(closed.withLog);
    EXPECT_EQ(Bytes(path), closedBytes);
    EXPECT_TRUE(SideFiles(path).empty());

    // Held open by another process, idle, with a commit in its log.
    Child holder([&](int channel, int) { return HoldOpenWithACommit(path, 2, channel); });
    std::int32_t message = 0;
    ASSERT_TRUE(holder.NextMessage(message, 20000));
    std::vector<std::string> before;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        before.push_back(Bytes(path + suffix));
    }
    const auto open = CopyTableSnapshot(path, dir.Folder() + "open.bt6");
    std::vector<std::string> after;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        after.push_back(Bytes(path + suffix));
    }
    holder.Send(kStop);
    EXPECT_EQ(holder.Wait(), 0);
    ASSERT_TRUE(open.Copied()) << open.reason;
    EXPECT_TRUE(open.withLog);
    EXPECT_EQ(after, before);
    EXPECT_NE(before[1], "(none)") << "the table was not open";
    std::string problem;
    Contents contents;
    ASSERT_TRUE(ReadTable(dir.Folder() + "closed.bt6", contents, problem)) << problem;
    EXPECT_EQ(contents, (Contents{{KeyText(1), MakeRecord(1, 0)}}));
    ASSERT_TRUE(ReadTable(dir.Folder() + "open.bt6", contents, problem)) << problem;
    EXPECT_EQ(contents, (Contents{{KeyText(1), MakeRecord(1, 0)}, {KeyText(2), MakeRecord(2, 0)}}));
}

TEST(TableSnapshot, FailuresSayWhatFailedAndLeaveTheTargetAsItWas) {
    TempDir dir;
    const std::string table = dir.Folder() + "FDATA20.bt6";
    {
        RecordEngine creator;
        ASSERT_EQ(TableClient(creator, table).Create(), status::kSuccess);
    }
    const std::string notATable = dir.Write("FDATA21.bt6", std::string(4096, 'x'));
    dir.Write("FDATA21.bt6-wal", std::string(100, 'y'));
    const std::string target = dir.Write("target.bt6", "as it was");
    fs::create_directory(dir.Path() / "folder.bt6");
    struct Case {
        const char* what;
        std::string source;
        std::string target;
        SnapshotStatus status;
    };
    const Case cases[] = {
        {"missing source", dir.Folder() + "FDATA99.bt6", target, SnapshotStatus::kSourceMissing},
        {"a folder as source", dir.Folder() + "folder.bt6", target, SnapshotStatus::kSourceMissing},
        {"a missing target folder", table, dir.Folder() + "missing/t.bt6",
         SnapshotStatus::kTargetFailed},
        {"the table onto itself", table, dir.Folder() + "fdata20.BT6",
         SnapshotStatus::kTargetFailed},
        {"not a database, with a log", notATable, target, SnapshotStatus::kNotATableFile},
    };
    for (const auto& each : cases) {
        const auto result = CopyTableSnapshot(each.source, each.target);
        EXPECT_EQ(result.status, each.status) << each.what << ": " << result.reason;
        EXPECT_FALSE(result.reason.empty()) << each.what;
    }
    EXPECT_EQ(TempDir::Read(target), "as it was");
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        EXPECT_NE(entry.path().filename().string().rfind(".ks-snapshot", 0), 0U)
            << "a temporary file was left: " << entry.path();
    }
}

// Run as the unprivileged user by the test below: copies a table it may only read, which
// another process has open.
TEST(TableSnapshotChild, DISABLED_CopiesFromAFolderItMayOnlyRead) {
    const char* source = std::getenv("KS_SNAPSHOT_SOURCE");
    const char* target = std::getenv("KS_SNAPSHOT_TARGET");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    const auto result = CopyTableSnapshot(source, target);
    std::cout << "copied " << result.Copied() << " log " << result.withLog << " " << result.reason
              << "\n";
}

TEST(TableSnapshot, ATableOnAFolderTheCopierMayOnlyReadCopiesWhileOpen) {
    if (!CanRunAsNobody()) {
        GTEST_SKIP() << "needs root and setpriv";
    }
    TempDir dir;
    fs::create_directory(dir.Path() / "server");  // 0755, owned by root
    const std::string path = dir.Folder() + "server/FDATA22.bt6";
    {
        RecordEngine creator;
        ASSERT_EQ(TableClient(creator, path).Create(), status::kSuccess);
    }
    Child holder([&](int channel, int) { return HoldOpenWithACommit(path, 0, channel); });
    std::int32_t message = 0;
    ASSERT_TRUE(holder.NextMessage(message, 20000));
    const std::string copy = dir.Folder() + "copy.bt6";
    const RunResult run =
        RunAsNobody({"/usr/bin/env", "KS_SNAPSHOT_SOURCE=" + path, "KS_SNAPSHOT_TARGET=" + copy,
                     SelfExecutable(), "--gtest_also_run_disabled_tests",
                     "--gtest_filter=TableSnapshotChild.DISABLED_CopiesFromAFolderItMayOnlyRead"});
    holder.Send(kStop);
    EXPECT_EQ(holder.Wait(), 0);
    EXPECT_NE(run.output.find("copied 1 log 1 \n"), std::string::npos) << run.output;
    std::string problem;
    EXPECT_EQ(PrefixLength(copy, problem), 1) << problem;
    EXPECT_EQ(IntegrityCheck(copy), "ok");
}

}  // namespace
}  // namespace ks::test::durability
