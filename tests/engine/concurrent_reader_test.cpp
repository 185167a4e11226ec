// A second process reading a table while this one writes it in bundles: its reads never wait
// for the writer, and it only ever sees whole bundles; a bundle the writer leaves open while
// it does nothing still reaches the reader once its age is up.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

using engine::RecordEngine;
namespace status = engine::status;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kReady = -1;
constexpr std::int32_t kStop = -2;
constexpr std::uint32_t kBundle = 25;
constexpr std::uint32_t kRecords = 1000;
// The longest any read may take. Reads of a file in write-ahead-log mode take no lock that a
// writer holds, so they never wait for a bundle; the bound only allows for a slow machine.
constexpr std::int64_t kReadBoundUs = 300000;

struct ScanReport {
    std::int32_t scans = 0;
    std::int32_t statesSeen = 0;  // different record counts met while the writer wrote
    std::int32_t longestReadUs = 0;
    std::int32_t problems = 0;
};

// The reader: scans the table by key 0 until told to stop. Every scan must find records 0 to
// n-1 exactly as written, with n a whole number of bundles.
int RunReader(const std::string& path, int channel) {
    RecordEngine engine;
    TableClient table(engine, path);
    if (table.Open() != status::kSuccess) {
        return 10;
    }
    Report(channel, kReady);
    ScanReport report;
    std::uint32_t lastCount = 0;
    std::int32_t message = 0;
    while (!Receive(channel, message, 0)) {
        std::uint32_t count = 0;
        std::string record;
        std::int16_t result = status::kSuccess;
        for (bool first = true; result == status::kSuccess; first = false) {
            const auto start = Clock::now();
            result = first ? table.GetFirst(0, record) : table.GetNext(0, record);
            const auto us =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            report.longestReadUs = std::max(report.longestReadUs, static_cast<std::int32_t>(us));
            if (result == status::kSuccess) {
                report.problems += record == MakeRecord(count, 0) ? 0 : 1;
                ++count;
            }
        }
        report.problems += result == status::kEndOfFile ? 0 : 1;
        report.problems += count % kBundle == 0 ? 0 : 1;
        report.problems += count < lastCount ? 1 : 0;
        if (count != lastCount) {
            ++report.statesSeen;
            lastCount = count;
        }
        ++report.scans;
    }
    Report(channel, report.scans);
    Report(channel, report.statesSeen);
    Report(channel, report.longestReadUs);
    Report(channel, report.problems);
    return 0;
}

TEST(ConcurrentReader, SeesOnlyWholeBundlesAndNeverWaitsForTheWriter) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA35.bt6";
    engine::EngineOptions options;
    options.bundleOperations = kBundle;
    options.bundleAgeMs = 600000;  // only the count ends a bundle here
    RecordEngine writer(options);
    TableClient table(writer, path);
    ASSERT_EQ(table.Create(), status::kSuccess);
    ASSERT_EQ(table.Open(), status::kSuccess);

    Child reader([&](int channel, int) { return RunReader(path, channel); });
    std::int32_t message = 0;
    ASSERT_TRUE(reader.NextMessage(message, 20000));
    ASSERT_EQ(message, kReady);
    for (std::uint32_t key = 0; key < kRecords; ++key) {
        ASSERT_EQ(table.Insert(MakeRecord(key, 0)), status::kSuccess);
        // Slow enough for the reader to scan many times while bundles come in.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    ASSERT_EQ(table.Close(), status::kSuccess);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    reader.Send(kStop);

    ScanReport report;
    ASSERT_TRUE(reader.NextMessage(report.scans, 20000));
    ASSERT_TRUE(reader.NextMessage(report.statesSeen, 20000));
    ASSERT_TRUE(reader.NextMessage(report.longestReadUs, 20000));
    ASSERT_TRUE(reader.NextMessage(report.problems, 20000));
    EXPECT_EQ(reader.Wait(), 0);
    EXPECT_EQ(report.problems, 0);
    EXPECT_GE(report.statesSeen, 3) << "the reader never read while the writer wrote";
    EXPECT_LT(report.longestReadUs, kReadBoundUs);
}

TEST(ConcurrentReader, ABundleLeftOpenByAnIdleWriterReachesTheReaderOnceItsAgeIsUp) {
    TempDir dir;
    const std::string path = dir.Folder() + "FDATA27.bt6";
    engine::EngineOptions options;
    options.bundleOperations = 1000000;  // only the age ends a bundle here
    options.bundleAgeMs = 50;
    RecordEngine writer(options);
    TableClient table(writer, path);
    ASSERT_EQ(table.Create(), status::kSuccess);
    ASSERT_EQ(table.Open(), status::kSuccess);

    Child reader([&](int channel, int) {
        RecordEngine engine;
        TableClient view(engine, path);
        if (view.Open() != status::kSuccess) {
            return 10;
        }
        Report(channel, kReady);
        std::string record;
        std::int16_t result = status::kKeyNotFound;
        while (result == status::kKeyNotFound) {
            result = view.GetEqual(0, KeyText(7), record);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        Report(channel, result == status::kSuccess && record == MakeRecord(7, 0) ? 1 : 0);
        return 0;
    });
    std::int32_t message = 0;
    ASSERT_TRUE(reader.NextMessage(message, 20000));
    ASSERT_EQ(message, kReady);
    ASSERT_EQ(table.Insert(MakeRecord(7, 0)), status::kSuccess);
    // The writer makes no further call: only the engine itself can end the bundle. The wait
    // is far longer than the age, so that only a bundle that is never committed fails.
    ASSERT_TRUE(reader.NextMessage(message, 10000)) << "the bundle was never committed";
    EXPECT_EQ(message, 1);
    EXPECT_EQ(reader.Wait(), 0);
}

}  // namespace
}  // namespace ks::test::durability
