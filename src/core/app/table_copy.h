// One table file of the server copied into the intermediate folder and checked, as the work of
// a share call (on a thread of its own: it traces nothing and touches nothing but the source
// and work files of the target's folder). What the server holds under the table's name decides how:
// a table of ours that no process has open is copied byte for byte, one that a process has open as
// a consistent snapshot with its log, a genuine file of the suite's record manager is read whole
// and converted into a table of ours. Whatever it is, nothing damaged reaches the transfer: a table
// of ours must pass the copy's check (SQLite's pages, the engine's header, records and keys), a
// genuine file the conversion's validation. The copy is made under a work name beside the
// target, which the caller renames over the target once it has traced the outcome, so that a
// copy given up half-way never takes the target's place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/sys/watched_copy.h"

namespace ks {

class ShareProgress;

struct TableCopy {
    enum class Outcome { kCopied, kMissing, kEmpty, kFailed };
    Outcome outcome = Outcome::kFailed;
    bool plain = false;     // copied byte for byte: traced as a file copy
    std::error_code error;  // why a plain copy failed, when it did
    // Why the copy was refused, a trace line of its own ("Err: ..."); empty when it was not
    // (or when the plain copy's failure says it all).
    std::string reason;
    std::uint16_t recordLength = 0;
    std::filesystem::path work;  // the checked copy, when copied
};

// Copies `source` (Windows-1252) into a work file of `folder` (the target's folder, native);
// kMissing when there is no such file.
TableCopy CopyServerTable(const std::string& source, const std::filesystem::path& folder,
                          ShareProgress& progress, const AfterRead& afterRead = nullptr);

}  // namespace ks
