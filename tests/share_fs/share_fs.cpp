// ks-test-share: a read-only FUSE view of a folder whose reads can hang, crawl, fail with EIO
// or make the whole share vanish, so that the reliability tests can put the server's data
// folder on a share that misbehaves as a network share does. See share_options.h for its
// command line; tests mount it through tests/support/share_mount.h.
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "share_fs/share_options.h"

namespace ks::test {
namespace {

using Clock = std::chrono::steady_clock;

struct ShareState {
    explicit ShareState(ShareOptions shareOptions) : options(std::move(shareOptions)) {}

    const ShareOptions options;
    std::mutex paceMutex;
    Clock::time_point nextDelivery;  // when the share is free to deliver again (--rate)
};

ShareState& State() {
    return *static_cast<ShareState*>(fuse_get_context()->private_data);
}

std::string Source(const char* path) {
    return State().options.source + path;
}

// Sleeps until `deadline`, but gives up (false) once the file system is asked to end, so
// that a hung or crawling read never keeps SIGTERM or SIGINT from unmounting the share, or
// once the reader is interrupted by a signal: a network share's hung read gives way to a
// process being killed (its end waits for every thread), and a FUSE read already taken by the
// file system would otherwise hold the process for as long as the file system does.
bool WaitUntil(Clock::time_point deadline) {
    fuse_session* session = fuse_get_session(fuse_get_context()->fuse);
    while (Clock::now() < deadline) {
        if (fuse_session_exited(session) != 0 || fuse_interrupted() != 0) {
            return false;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(50), deadline - Clock::now()));
    }
    return true;
}

void Hang() {
    WaitUntil(Clock::time_point::max());
}

// Holds `bytes` back until the share, shared by every reader, has spent their time at the
// rate it is allowed.
bool Pace(std::uint64_t bytes) {
    ShareState& share = State();
    if (share.options.bytesPerSecond == 0) {
        return true;
    }
    Clock::time_point deadline;
    {
        const std::lock_guard lock(share.paceMutex);
        const auto cost = std::chrono::nanoseconds(
            static_cast<std::int64_t>(bytes * 1'000'000'000ULL / share.options.bytesPerSecond));
        share.nextDelivery = std::max(share.nextDelivery, Clock::now()) + cost;
        deadline = share.nextDelivery;
    }
    return WaitUntil(deadline);
}

// False (after hanging) when the share does not answer for `path`: with --hang-lookups,
// everything below the root. The root itself answers, so that the mount can be seen.
bool LookupAnswered(const char* path) {
    if (State().options.hangLookups && std::string(path) != "/") {
        Hang();
        return false;
    }
    return true;
}

int GetAttr(const char* path, struct stat* attributes, fuse_file_info* /*file*/) {
    if (!LookupAnswered(path)) {
        return -EIO;
    }
    return stat(Source(path).c_str(), attributes) == 0 ? 0 : -errno;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t /*offset*/,
            fuse_file_info* /*file*/, fuse_readdir_flags /*flags*/) {
    if (!LookupAnswered(path)) {
        return -EIO;
    }
    DIR* folder = opendir(Source(path).c_str());
    if (folder == nullptr) {
        return -errno;
    }
    while (const dirent* entry = readdir(folder)) {
        fill(buffer, entry->d_name, nullptr, 0, fuse_fill_dir_flags{});
    }
    closedir(folder);
    return 0;
}

// Writes never get here: the share is mounted read-only, and the kernel refuses them.
int Open(const char* path, fuse_file_info* file) {
    if (!LookupAnswered(path)) {
        return -EIO;
    }
    const int descriptor = open(Source(path).c_str(), O_RDONLY);
    if (descriptor < 0) {
        return -errno;
    }
    file->fh = static_cast<std::uint64_t>(descriptor);
    return 0;
}

int Release(const char* /*path*/, fuse_file_info* file) {
    close(static_cast<int>(file->fh));
    return 0;
}

int StatFs(const char* path, struct statvfs* figures) {
    return statvfs(Source(path).c_str(), figures) == 0 ? 0 : -errno;
}

// What a read that reaches the offset of `fault` meets.
int Strike(const FileFault& fault, const char* path) {
    if (fault.kind == FileFault::Kind::Vanish) {
        std::fprintf(stderr, "ks-test-share: vanishing at %s:%llu\n", path,
                     static_cast<unsigned long long>(fault.value));
        // No unmount: the kernel sees the share's end and the mount answers ENOTCONN.
        _exit(0);
    }
    if (fault.kind == FileFault::Kind::Hang) {
        Hang();
    }
    return -EIO;
}

int Read(const char* path, char* buffer, std::size_t size, off_t offset, fuse_file_info* file) {
    const ShareOptions& options = State().options;
    const std::string name = std::filesystem::path(path).filename().string();
    const auto start = static_cast<std::uint64_t>(offset);
    const FileFault* first = nullptr;  // the fault of this file met first when reading on
    for (const FileFault& fault : options.faults) {
        if (!NameMatches(fault.name, name)) {
            continue;
        }
        if (fault.kind == FileFault::Kind::Delay) {
            if (!WaitUntil(Clock::now() + std::chrono::milliseconds(fault.value))) {
                return -EIO;
            }
        } else if (first == nullptr || fault.value < first->value) {
            first = &fault;
        }
    }
    if (first != nullptr) {
        if (start >= first->value) {
            return Strike(*first, path);
        }
        // A read that begins before the fault ends at it: the reader gets every byte before
        // the fault's offset, and its next read meets the fault.
        size = std::min<std::uint64_t>(size, first->value - start);
    }
    const ssize_t got = pread(static_cast<int>(file->fh), buffer, size, offset);
    if (got < 0) {
        return -errno;
    }
    if (!Pace(static_cast<std::uint64_t>(got))) {
        return -EIO;
    }
    return static_cast<int>(got);
}

void* Init(fuse_conn_info* /*connection*/, fuse_config* config) {
    // Every read of a program reaches the share as it was asked, with no page cache or read
    // ahead in between to hide a fault or spread it; and a source that changes is seen at once.
    config->direct_io = 1;
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    return fuse_get_context()->private_data;
}

}  // namespace
}  // namespace ks::test

int main(int argc, char** argv) {
    using namespace ks::test;
    auto options = ParseShareOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::fputs(kShareUsage, stderr);
        return 2;
    }
    // libfuse's threads need not answer from our working folder.
    options->source = std::filesystem::absolute(options->source).string();
    ShareState state(*options);
    fuse_operations operations{};
    operations.getattr = GetAttr;
    operations.readdir = ReadDir;
    operations.open = Open;
    operations.read = Read;
    operations.release = Release;
    operations.statfs = StatFs;
    operations.init = Init;
    // In the foreground and multithreaded (libfuse's default), so that a hung read of one file
    // leaves the others answering. Every user may enter (the tests run some programs as
    // nobody) and the kernel checks the source's own permissions.
    std::vector<std::string> fuseArgs{argv[0], "-f", "-o",
                                      "ro,allow_other,default_permissions,fsname=ks-test-share",
                                      options->mountPoint};
    std::vector<char*> fuseArgv;
    for (std::string& arg : fuseArgs) {
        fuseArgv.push_back(arg.data());
    }
    fuseArgv.push_back(nullptr);
    return fuse_main(static_cast<int>(fuseArgs.size()), fuseArgv.data(), &operations, &state);
}
