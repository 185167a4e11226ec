// The shell's copy and delete on Linux: std::filesystem underneath, failures mapped onto the
// result codes the trace lines of the file operations name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace ks {

enum class ShellOp : std::int32_t { Copy = 2, Delete = 3 };

// Option flags of a request.
inline constexpr std::int32_t kShellNoConfirmation = 16;
inline constexpr std::int32_t kShellFilesOnly = 128;
inline constexpr std::int32_t kShellNoErrorUi = 1024;

// Result codes.
inline constexpr std::int32_t kShellOk = 0;
inline constexpr std::int32_t kShellFileNotFound = 2;
inline constexpr std::int32_t kShellAccessDenied = 5;
inline constexpr std::int32_t kShellOutOfMemory = 14;
inline constexpr std::int32_t kShellFileInUse = 32;
inline constexpr std::int32_t kShellFolderNotFound = 53;
inline constexpr std::int32_t kShellTooManyNames = 68;
inline constexpr std::int32_t kShellDiskFull = 112;
inline constexpr std::int32_t kShellNameTooLong = 206;
inline constexpr std::int32_t kShellNotAFile = 267;
inline constexpr std::int32_t kShellSourceMissing = 1026;
inline constexpr std::int32_t kShellIoError = 1117;
inline constexpr std::int32_t kShellCancelled = 1223;

// (operation, source, target (copy only), flags) -> result code.
using ShellOperation =
    std::function<std::int32_t(ShellOp, std::string_view, std::string_view, std::int32_t)>;

// The result code of a failed system call. A missing entry means a missing source for a
// copy whose source is gone, a missing target folder for any other copy, and a missing file
// for a delete.
std::int32_t ShellResultCode(const std::error_code& error, ShellOp operation, bool sourceGone);

// The two halves of a copy made through a file beside its target, for the copies made
// elsewhere too (the load's copy of the server's tables): the copy keeps the source's
// permissions and modification time, as the shell's does; and it takes the target's place by a
// rename, after the log or journal a killed process left beside the old target is removed (the
// record engine would apply it to the new bytes). Native paths.
void KeepAttributesOf(const std::filesystem::path& source, const std::filesystem::path& copy);
std::error_code PutInPlaceOf(const std::filesystem::path& copy,
                             const std::filesystem::path& target);

// Copy: source onto target, replacing it; the bytes go to a temporary file of the target's
// folder first and are renamed over the target, so a failure never leaves half a target.
// A target that is an existing folder receives the file under the source's name.
// Delete: removes one file for good; a folder is refused (never deleted with its contents).
// Names are Windows-1252 paths looked up through NativePath. Never throws.
std::int32_t ShellFileOperation(ShellOp operation, std::string_view source, std::string_view target,
                                std::int32_t flags) noexcept;

}  // namespace ks
