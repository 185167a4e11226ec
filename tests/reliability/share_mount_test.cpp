// ks-test-share as a reader of the mount meets it, through ShareMount: the plain view, a
// crawling share, delayed reads, an EIO, a read or a lookup that hangs until the share goes,
// and a share that vanishes mid-read; each time the mount is gone once its ShareMount is.
#include "support/share_mount.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace ks::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Reading {
    std::string bytes;
    int error = 0;  // errno of the open or read that ended it; 0 at the end of the file
    double seconds = 0;
};

// Reads `file` 16 KiB at a time, as a copy does, until its end or an error.
Reading ReadAll(const std::string& file) {
    const auto start = Clock::now();
    Reading reading;
    const int descriptor = open(file.c_str(), O_RDONLY);
    if (descriptor < 0) {
        reading.error = errno;
    }
    std::string chunk(16 * 1024, '\0');
    while (descriptor >= 0) {
        const ssize_t got = read(descriptor, chunk.data(), chunk.size());
        if (got <= 0) {
            reading.error = got < 0 ? errno : 0;
            close(descriptor);
            break;
        }
        reading.bytes.append(chunk.data(), static_cast<std::size_t>(got));
    }
    reading.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return reading;
}

// The errno of a stat of `path`, 0 when it answers.
int StatError(const std::string& path) {
    struct stat attributes {};
    return stat(path.c_str(), &attributes) == 0 ? 0 : errno;
}

dev_t Device(const std::string& path) {
    struct stat attributes {};
    stat(path.c_str(), &attributes);
    return attributes.st_dev;
}

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

// Runs `job` on a thread of its own that nobody waits for, so that a job hung in the share
// fails the test instead of hanging it.
template <typename Job>
std::future<std::invoke_result_t<Job>> Detached(Job job) {
    std::packaged_task<std::invoke_result_t<Job>()> task(std::move(job));
    std::future<std::invoke_result_t<Job>> result = task.get_future();
    std::thread(std::move(task)).detach();
    return result;
}

struct Behaviour {
    const char* what;
    std::vector<std::string> options;
    std::size_t bytesRead;  // the bytes of the file the reader gets
    int error;              // what ends its reading (when `hangs`, once the share is ended)
    double minSeconds;      // the least time the reading takes
    bool hangs;             // the reading waits until the share is ended: by its unmount, or
                            // by Vanish() when nothing below its root answers (--hang-lookups)
    int rootError;          // what a stat of the mount point gives once the reading is over
};

TEST(ShareMount, EachBehaviourAsAReaderMeetsIt) {
    constexpr std::size_t kSize = 64 * 1024;
    const std::string content = RandomBytes(kSize);
    const std::vector<Behaviour> behaviours{
        {"pass-through", {}, kSize, 0, 0, false, 0},
        // 64 KiB at 128 KiB/s: half a second at least.
        {"crawl", {"--rate", "131072"}, kSize, 0, 0.45, false, 0},
        // Five reads (four chunks and the end) of 100 ms each.
        {"delayed reads", {"--delay-reads", "fdata22.BT6:100"}, kSize, 0, 0.45, false, 0},
        {"EIO", {"--eio", "fdata22.BT6:10000"}, 10000, EIO, 0, false, 0},
        {"hung read", {"--hang-reads", "FDATA22.bt6:20000"}, 20000, ECONNABORTED, 0, true, 0},
        {"every read hung", {"--hang-reads", "*"}, 0, ECONNABORTED, 0, true, 0},
        {"hung lookups", {"--hang-lookups"}, 0, ECONNABORTED, 0, true, ENOTCONN},
        {"vanished", {"--vanish", "FDATA22.bt6:30000"}, 30000, ECONNABORTED, 0, false, ENOTCONN},
    };
    for (const Behaviour& behaviour : behaviours) {
        SCOPED_TRACE(behaviour.what);
        const TempDir folder;
        fs::create_directory(folder.Path() / "server");
        fs::create_directory(folder.Path() / "share");
        folder.Write("server/FDATA22.bt6", content);
        folder.Write("server/FDATA20.bt6", "other");
        const std::string mountPoint = (folder.Path() / "share").string();
        std::optional<ShareMount> share;
        share.emplace((folder.Path() / "server").string(), mountPoint, behaviour.options);
        ASSERT_TRUE(share->Mounted()) << share->Failure();

        std::future<Reading> reading =
            Detached([=] { return ReadAll(mountPoint + "/FDATA22.bt6"); });
        if (behaviour.hangs) {
            ASSERT_EQ(reading.wait_for(std::chrono::milliseconds(500)),
                      std::future_status::timeout);
            if (behaviour.options[0] == "--hang-lookups") {
                share->Vanish();
            } else {
                // A hung read leaves the rest of the share answering.
                std::future<int> otherStat =
                    Detached([=] { return StatError(mountPoint + "/FDATA20.bt6"); });
                ASSERT_EQ(otherStat.wait_for(std::chrono::seconds(5)), std::future_status::ready);
                EXPECT_EQ(otherStat.get(), 0);
                share.reset();
            }
        }
        ASSERT_EQ(reading.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        const Reading result = reading.get();
        EXPECT_EQ(result.bytes.size(), behaviour.bytesRead);
        EXPECT_TRUE(result.bytes == content.substr(0, behaviour.bytesRead));
        EXPECT_EQ(result.error, behaviour.error) << std::strerror(result.error);
        EXPECT_GE(result.seconds, behaviour.minSeconds);
        if (share) {
            EXPECT_EQ(StatError(mountPoint), behaviour.rootError);
            share.reset();
        }
        EXPECT_EQ(Device(mountPoint), Device(folder.Path().string())) << "still mounted";
    }
}

}  // namespace
}  // namespace ks::test
