#include "core/sys/watched_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "core/sys/descriptor.h"
#include "core/sys/server_share.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// One read of the share: small enough that a crawling share still shows progress (a network
// file system serves a read in requests of this size or less), large enough to cost nothing.
constexpr std::size_t kPiece = std::size_t{128} * 1024;
// A table's header: its change counter (byte 24) and session mark (byte 60) among the rest.
constexpr std::size_t kHeaderBytes = 100;

// What tells one state of the source from another.
struct Stamp {
    off_t size = 0;
    timespec modified{};
    std::array<char, kHeaderBytes> header{};

    bool operator==(const Stamp& other) const {
        return size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec && header == other.header;
    }
};

std::optional<Stamp> StampOf(const fs::path& file) {
    const Descriptor in(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (in.Get() < 0 || fstat(in.Get(), &info) != 0) {
        return std::nullopt;
    }
    Stamp stamp;
    stamp.size = info.st_size;
    stamp.modified = info.st_mtim;
    if (pread(in.Get(), stamp.header.data(), stamp.header.size(), 0) < 0) {
        return std::nullopt;
    }
    return stamp;
}

bool WriteAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::error_code CopyInPieces(const fs::path& from, const fs::path& to, ShareProgress& progress,
                             const AfterRead& afterRead) {
    const Descriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) {
        return LastError();
    }
    const Descriptor out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (out.Get() < 0) {
        return LastError();
    }
    std::vector<char> piece(kPiece);
    std::uint64_t total = 0;
    for (;;) {
        if (progress.GivenUp()) {
            return std::make_error_code(std::errc::operation_canceled);
        }
        const ssize_t got = read(in.Get(), piece.data(), piece.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        if (got == 0) {
            return {};
        }
        if (!WriteAll(out.Get(), piece.data(), static_cast<std::size_t>(got))) {
            return LastError();
        }
        if (afterRead) {
            afterRead(from, total);
        }
        total += static_cast<std::uint64_t>(got);
        progress.Bytes(total);
    }
}

WatchedCopyResult CopyUnchanged(const fs::path& from, const fs::path& to, ShareProgress& progress,
                                const AfterRead& afterRead) {
    WatchedCopyResult result;
    for (result.attempts = 1; result.attempts <= kCopyAttempts; ++result.attempts) {
        const std::optional<Stamp> before = StampOf(from);
        if (!before) {
            result.error = LastError();
            return result;
        }
        result.error = CopyInPieces(from, to, progress, afterRead);
        if (result.error) {
            return result;
        }
        const std::optional<Stamp> after = StampOf(from);
        if (after && *after == *before) {
            result.bytes = static_cast<std::uint64_t>(before->size);
            return result;
        }
    }
    result.attempts = kCopyAttempts;
    result.keptChanging = true;
    result.error = std::make_error_code(std::errc::resource_unavailable_try_again);
    return result;
}

}  // namespace ks
