// Loads from a server whose songs table another process writes meanwhile, through the record
// engine with its bundles, as the suite does on a live server: every copy in the intermediate
// folder passes the table tool's check and holds the server's songs and a prefix of the
// writer's inserts, at least those committed before the load began.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "core/db/catalogue.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "station.h"
#include "support/table_reader.h"

namespace ks::test {
namespace {

constexpr int kSongLength = 900;  // FDAT022's record length

// The writer's n-th song: its identifier "W" and seven digits, the rest blank.
std::string WriterSong(std::int32_t n) {
    char id[16];
    std::snprintf(id, sizeof id, "W%07d", static_cast<int>(n));
    std::string record(kSongLength, ' ');
    record.replace(0, 8, id);
    return record;
}

// The writer process: inserts songs 0, 1, 2... into `table` until its stop pipe closes, and
// after each commit tells the parent how many it had inserted by then.
[[noreturn]] void Write(const std::string& table, int report, int stop) {
    std::atomic<std::int32_t> inserted{0};
    engine::EngineOptions options;
    options.waitForDisk = false;
    options.onBundleCommitted = [&](const std::filesystem::path&) {
        const std::int32_t count = inserted.load();
        if (write(report, &count, sizeof count) != sizeof count) {
            return;  // the parent has gone
        }
    };
    int result = 0;
    {
        engine::RecordEngine engine(options);
        TableReader songs(engine, table, kSongLength);
        if (!songs.Opened()) {
            _exit(10);
        }
        for (pollfd wait{stop, POLLIN, 0}; poll(&wait, 1, 0) == 0; wait.revents = 0) {
            if (songs.Insert(WriterSong(inserted.load())) != engine::status::kSuccess) {
                result = 11;
                break;
            }
            ++inserted;
            // About 200 a second: each bundle, committed at its age, holds a few.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    _exit(result);
}

TEST(LiveServer, EveryCopyIsWholeAndHoldsAPrefixOfTheWritersCommits) {
    if (Sanitized()) {
        GTEST_SKIP() << "the debug run copies the same tables; the snapshot's own test runs "
                        "under the sanitizers";
    }
    const WorkStation station;
    const std::string table = station.Folder("Serveur/Data") + "FDATA22.bt6";
    const std::string copy = station.Folder("Temporaire") + "FDATB22.bt6";
    std::vector<std::string> serverSongs;
    {
        engine::RecordEngine engine;
        serverSongs = TableReader(engine, table, kSongLength).Records();
    }
    ASSERT_FALSE(serverSongs.empty());

    int reports[2] = {-1, -1};
    int stops[2] = {-1, -1};
    ASSERT_EQ(pipe(reports), 0);
    ASSERT_EQ(pipe(stops), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        close(reports[0]);
        close(stops[1]);
        Write(table, reports[1], stops[0]);
    }
    close(reports[1]);
    close(stops[0]);
    std::int32_t committed = 0;
    const auto catchUp = [&] {
        for (pollfd ready{reports[0], POLLIN, 0}; poll(&ready, 1, 0) > 0; ready.revents = 0) {
            std::int32_t count = 0;
            if (read(reports[0], &count, sizeof count) != sizeof count) {
                break;
            }
            committed = std::max(committed, count);
        }
    };
    for (int i = 0; i < 1000 && committed < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        catchUp();
    }
    ASSERT_GE(committed, 50) << "the writer does not write";

    Figures figures;
    constexpr int kLoads = 20;
    const std::int32_t first = committed;
    std::int32_t previous = 0;
    for (int i = 0; i < kLoads; ++i) {
        SCOPED_TRACE("load " + std::to_string(i));
        catchUp();
        const std::int32_t before = committed;
        const LoadRun run = station.Load();
        ++figures.loads;
        figures.crashes += run.signal != 0 && !run.hung ? 1 : 0;
        figures.hangs += run.hung ? 1 : 0;
        EXPECT_EQ(run.exitCode, 0) << run.output;
        const std::vector<std::string> failed = station.FailedChecks("Temporaire");
        EXPECT_TRUE(failed.empty()) << failed.front();

        std::vector<std::string> copied;
        {
            engine::RecordEngine engine;
            copied = TableReader(engine, copy, kSongLength).Records();
        }
        ASSERT_GE(copied.size(), serverSongs.size());
        EXPECT_TRUE(std::equal(serverSongs.begin(), serverSongs.end(), copied.begin()))
            << "the server's own songs";
        const auto written = static_cast<std::int32_t>(copied.size() - serverSongs.size());
        for (std::int32_t n = 0; n < written; ++n) {
            ASSERT_EQ(copied[serverSongs.size() + static_cast<std::size_t>(n)], WriterSong(n))
                << "not a prefix of the writer's inserts";
        }
        figures.lost += std::max(0, before - written);
        EXPECT_GE(written, before) << "commits made before the load are missing";
        EXPECT_GE(written, previous) << "a copy holds less than the one before";
        previous = written;
    }
    close(stops[1]);
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer failed";
    EXPECT_GT(previous, first) << "no copy met the writer's later inserts";
    close(reports[0]);
    PrintFigures(figures);
}

}  // namespace
}  // namespace ks::test
