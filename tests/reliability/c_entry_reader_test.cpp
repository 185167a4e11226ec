// Another program reading the local music schedule while the loader loads: the real program
// loads a demo station headless while this process walks the local FDATA35.bt6 again and again
// through BTRCALL, the C entry of libksbtr.so, read-only, as a backup player would. Every record
// read is whole, and once the load is over the reader reads exactly what the loader wrote.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ks/btrcall.h"
#include "station.h"

namespace ks::test {
namespace {

constexpr std::uint32_t kScheduleLength = 400;  // FDAT035's record length
constexpr std::size_t kKeyLength = 19;          // its key 0

struct Walk {
    std::int16_t status = KS_BTR_STATUS_SUCCESS;  // the call that ended the walk
    std::vector<std::string> records;
    std::vector<std::string> torn;  // records that are not whole, with why
};

// Every record of the table along key 0, each checked whole: of the table's record length,
// key 0 equal to its first 19 bytes and after the key of the record before.
Walk ReadSchedule(const std::string& path) {
    Walk walk;
    std::array<std::uint8_t, KS_BTR_POSITION_BLOCK_SIZE> block{};
    std::array<char, KS_BTR_KEY_BUFFER_SIZE> key{};
    path.copy(key.data(), key.size() - 1);
    std::uint32_t length = 0;
    walk.status = BTRCALL(KS_BTR_OP_OPEN, block.data(), nullptr, &length, key.data(),
                          KS_BTR_KEY_BUFFER_SIZE, KS_BTR_OPEN_READ_ONLY);
    if (walk.status != KS_BTR_STATUS_SUCCESS) {
        return walk;
    }
    // Room for more than a record: a longer one must show.
    std::string record(2 * kScheduleLength, '\0');
    for (std::uint16_t op = KS_BTR_OP_GET_FIRST;; op = KS_BTR_OP_GET_NEXT) {
        length = static_cast<std::uint32_t>(record.size());
        walk.status = BTRCALL(op, block.data(), record.data(), &length, key.data(),
                              KS_BTR_KEY_BUFFER_SIZE, 0);
        if (walk.status != KS_BTR_STATUS_SUCCESS) {
            break;
        }
        const std::string read = record.substr(0, length);
        const std::string readKey(key.data(), kKeyLength);
        if (length != kScheduleLength) {
            walk.torn.push_back(std::to_string(length) + " bytes: " + read.substr(0, kKeyLength));
        } else if (readKey != read.substr(0, kKeyLength)) {
            walk.torn.push_back("key " + readKey + " on record " + read.substr(0, kKeyLength));
        } else if (!walk.records.empty() && readKey <= walk.records.back().substr(0, kKeyLength)) {
            walk.torn.push_back("key " + readKey + " after " +
                                walk.records.back().substr(0, kKeyLength));
        }
        walk.records.push_back(read);
    }
    BTRCALL(KS_BTR_OP_CLOSE, block.data(), nullptr, &length, key.data(), KS_BTR_KEY_BUFFER_SIZE, 0);
    return walk;
}

TEST(CEntryReader, ReadsWholeRecordsDuringALoadAndWhatTheLoaderWroteAfterIt) {
    const WorkStation station;
    const std::string schedule = station.Folder("Local/Data") + "FDATA35.bt6";
    const Walk before = ReadSchedule(schedule);
    ASSERT_EQ(before.status, KS_BTR_STATUS_END_OF_FILE);
    ASSERT_FALSE(before.records.empty()) << "the generated station's past days";

    std::atomic<bool> loading{true};
    LoadRun run;
    std::thread loader([&] {
        run = station.Load();
        loading = false;
    });
    // How each walk ended, and what it read; a walk during the load sees the tables between
    // two of the loader's bundles, so its records are not compared with anything.
    std::map<std::int16_t, long> endings;
    long walks = 0;
    long records = 0;
    std::vector<std::string> torn;
    while (loading) {
        Walk walk = ReadSchedule(schedule);
        ++walks;
        ++endings[walk.status];
        records += static_cast<long>(walk.records.size());
        torn.insert(torn.end(), walk.torn.begin(), walk.torn.end());
    }
    loader.join();
    std::cout << "walks during the load: " << walks << ", records read: " << records << "\n";
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_GT(walks, 1) << "the reader walked the table while it was loaded";
    EXPECT_TRUE(torn.empty()) << torn.size() << " records not whole, the first: " << torn.front();
    for (const auto& [status, count] : endings) {
        EXPECT_EQ(status, KS_BTR_STATUS_END_OF_FILE) << count << " walks ended on that status";
    }

    const Walk after = ReadSchedule(schedule);
    EXPECT_EQ(after.status, KS_BTR_STATUS_END_OF_FILE);
    EXPECT_TRUE(after.torn.empty()) << after.torn.front();
    EXPECT_EQ(after.records, station.LocalState().at(35)) << "the in-process engine's read";
    EXPECT_EQ(after.records, WorkStation::Expected().at(35)) << "a load without a reader";
    PrintFigures(Figures{.loads = 1});
}

}  // namespace
}  // namespace ks::test
