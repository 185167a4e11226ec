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

// The source's stamp now; nullopt with `error` set when it cannot be read.
std::optional<Stamp> StampOf(const fs::path& file, std::error_code& error) {
    const Descriptor in(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    Stamp stamp;
    if (!in.Valid() || fstat(in.Get(), &info) != 0 ||
        pread(in.Get(), stamp.header.data(), stamp.header.size(), 0) < 0) {
        error = LastError();
        return std::nullopt;
    }
    stamp.size = info.st_size;
    stamp.modified = info.st_mtim;
    return stamp;
}

}  // namespace

std::error_code CopyInPieces(const fs::path& from, const fs::path& to, ShareProgress& progress,
                             const AfterRead& afterRead) {
    const Descriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.Valid()) {
        return LastError();
    }
    Descriptor out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!out.Valid()) {
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
            // A write the disk refuses late shows at the close.
            return out.Close() ? std::error_code() : LastError();
        }
        if (!WriteAll(out.Get(), {piece.data(), static_cast<std::size_t>(got)})) {
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
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        const std::optional<Stamp> before = StampOf(from, result.error);
        if (!before) {
            return result;
        }
        result.error = CopyInPieces(from, to, progress, afterRead);
        if (result.error) {
            return result;
        }
        const std::optional<Stamp> after = StampOf(from, result.error);
        if (!after || *after == *before) {
            return result;
        }
    }
    result.keptChanging = true;
    result.error = std::make_error_code(std::errc::resource_unavailable_try_again);
    return result;
}

}  // namespace ks
