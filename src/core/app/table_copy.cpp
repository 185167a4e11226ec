#include "core/app/table_copy.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "core/sys/server_share.h"
#include "core/sys/shell_file_operation.h"
#include "ks/engine/btr_codes.h"
#include "ks/engine/file_kind.h"
#include "ks/engine/genuine_import.h"
#include "ks/engine/table_check.h"
#include "ks/engine/table_snapshot.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// A new empty file of `folder` with a name no other copy uses; empty when none can be made.
fs::path WorkFile(const fs::path& folder) {
    std::string pattern = (folder / ".ks-copy-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return {};
    }
    close(fd);
    return pattern;
}

void Remove(const fs::path& file) {
    std::error_code ignored;
    fs::remove(file, ignored);
}

std::string Changing(const std::string& source) {
    return "Err: The server file changed while it was copied, " + std::to_string(kCopyAttempts) +
           " times: " + source;
}

// The copy's check of a table of ours; the reason when it fails.
void Check(TableCopy& copy, const std::string& source, ShareProgress& progress) {
    const engine::CopyCheck check = engine::CheckTableCopy(copy.work, [&] {
        progress.Alive();
        return !progress.GivenUp();
    });
    if (check.Whole()) {
        copy.outcome = TableCopy::Outcome::kCopied;
        copy.recordLength = check.recordLength;
    } else {
        copy.reason = "Err: Damaged table: " + Utf8ToCp1252(check.problem) + ": " + source;
    }
}

void CopyOurs(TableCopy& copy, const std::string& source, const fs::path& from,
              ShareProgress& progress, const AfterRead& afterRead) {
    copy.plain = true;
    const WatchedCopyResult result = CopyUnchanged(from, copy.work, progress, afterRead);
    if (result.keptChanging) {
        copy.reason = Changing(source);
    }
    copy.error = result.error;
    if (!result.error) {
        KeepAttributesOf(from, copy.work);
        Check(copy, source, progress);
    }
}

void CopyLive(TableCopy& copy, const std::string& source, ShareProgress& progress,
              const AfterRead& afterRead) {
    const auto work = FromNativePath(copy.work);
    const engine::SnapshotResult result = engine::CopyTableSnapshot(
        source, work.value_or(std::string()), [&](const fs::path& from, const fs::path& to) {
            return CopyInPieces(from, to, progress, afterRead);
        });
    if (!result.Copied()) {
        copy.reason = "Err: No consistent copy: " + result.reason;
        return;
    }
    Check(copy, source, progress);
}

void CopyGenuine(TableCopy& copy, const std::string& source, const fs::path& from,
                 ShareProgress& progress, const AfterRead& afterRead) {
    // Read whole from the share first, then converted from the local bytes: the conversion
    // reads here and there in the file, which a crawling share would make slow.
    const fs::path read = WorkFile(copy.work.parent_path());
    const WatchedCopyResult result = CopyUnchanged(from, read, progress, afterRead);
    if (result.keptChanging) {
        copy.reason = Changing(source);
    } else if (result.error) {
        copy.reason = "Err: Not converted: " + Utf8ToCp1252(from.filename().string()) +
                      ": cannot be read: " + Utf8ToCp1252(result.error.message());
    } else {
        progress.Local(true);
        const engine::genuine::ImportResult imported =
            engine::genuine::ImportGenuineTable(read, copy.work, {}, from.filename().string());
        progress.Local(false);
        if (imported.status == engine::status::kSuccess) {
            copy.outcome = TableCopy::Outcome::kCopied;
            copy.recordLength = imported.recordLength;
        } else {
            copy.reason = "Err: Not converted: " + Utf8ToCp1252(imported.reason);
        }
    }
    Remove(read);
}

}  // namespace

TableCopy CopyServerTable(const std::string& source, const fs::path& folder,
                          ShareProgress& progress, const AfterRead& afterRead) {
    TableCopy copy;
    const fs::path from = NativePath(source);
    std::error_code error;
    const fs::file_status status = fs::status(from, error);
    // A share that fails (gone, or an I/O error) does not say the file is missing: the table is
    // not copied, and not taken as absent from the server.
    if (error && error != std::errc::no_such_file_or_directory &&
        error != std::errc::not_a_directory) {
        copy.plain = true;
        copy.error = error;
        return copy;
    }
    if (!fs::exists(status)) {
        copy.outcome = TableCopy::Outcome::kMissing;
        return copy;
    }
    if (fs::is_directory(status)) {
        copy.plain = true;
        copy.error = std::make_error_code(std::errc::is_a_directory);
        return copy;
    }
    // An empty file is no table: a copy of nothing is not made.
    if (fs::is_regular_file(status) && fs::file_size(from, error) == 0 && !error) {
        copy.outcome = TableCopy::Outcome::kEmpty;
        return copy;
    }
    copy.work = WorkFile(folder);
    if (copy.work.empty()) {
        copy.plain = true;
        copy.error = std::error_code(errno, std::generic_category());
        return copy;
    }
    switch (engine::KindOfTableFile(from)) {
        case engine::TableFileKind::kGenuine:
            CopyGenuine(copy, source, from, progress, afterRead);
            break;
        case engine::TableFileKind::kOursWithLiveLog:
            CopyLive(copy, source, progress, afterRead);
            break;
        case engine::TableFileKind::kOurs:
        case engine::TableFileKind::kUnknown:
            CopyOurs(copy, source, from, progress, afterRead);
            break;
    }
    if (copy.outcome != TableCopy::Outcome::kCopied || progress.GivenUp()) {
        Remove(copy.work);
        copy.work.clear();
    }
    return copy;
}

}  // namespace ks
