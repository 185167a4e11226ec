// Copies a file of the server's share in pieces, on the thread of a share call: each piece
// tells the caller the bytes done (the window shows them, and a share that delivers nothing for
// a minute is given up), and the copy stops at the next piece once its caller gave up.
// A server's table that is written while it is copied can be copied torn, so a whole copy
// also compares the source before and after: size, modification time and its first bytes
// (where a table keeps its change counter and session mark). A source that changed is copied
// again, at most three times in all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <system_error>

namespace ks {

class ShareProgress;

// Called after each piece read, with the offset it was read at (tests change the source there,
// as a writer on the server would between two reads).
using AfterRead = std::function<void(const std::filesystem::path& source, std::uint64_t offset)>;

inline constexpr int kCopyAttempts = 3;

struct WatchedCopyResult {
    std::error_code error;      // the copy failed; operation_canceled when its caller gave up
    bool keptChanging = false;  // every attempt met a source that changed while it was read
};

// The bytes of `from` onto `to` (created or replaced) in one pass, without looking at changes.
std::error_code CopyInPieces(const std::filesystem::path& from, const std::filesystem::path& to,
                             ShareProgress& progress, const AfterRead& afterRead = nullptr);

// A copy of `from` onto `to` that the source did not change under, trying again when it did.
WatchedCopyResult CopyUnchanged(const std::filesystem::path& from, const std::filesystem::path& to,
                                ShareProgress& progress, const AfterRead& afterRead = nullptr);

}  // namespace ks
