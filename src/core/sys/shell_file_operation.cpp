#include "core/sys/shell_file_operation.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "platform/native_path.h"

namespace ks {
namespace fs = std::filesystem;

std::int32_t ShellResultCode(const std::error_code& error, ShellOp operation, bool sourceGone) {
    const auto e = static_cast<std::errc>(error.value());
    if (error.category() != std::generic_category() && error.category() != std::system_category()) {
        return kShellIoError;
    }
    switch (e) {
        case std::errc::no_such_file_or_directory:
        case std::errc::not_a_directory:
            if (operation == ShellOp::Delete) {
                return kShellFileNotFound;
            }
            return sourceGone ? kShellSourceMissing : kShellFolderNotFound;
        case std::errc::device_or_resource_busy:
        case std::errc::text_file_busy:
            return kShellFileInUse;
        case std::errc::permission_denied:
        case std::errc::operation_not_permitted:
        case std::errc::read_only_file_system:
            return kShellAccessDenied;
        case std::errc::not_enough_memory:
            return kShellOutOfMemory;
        case std::errc::no_space_on_device:
            return kShellDiskFull;
        case std::errc::filename_too_long:
            return kShellNameTooLong;
        case std::errc::is_a_directory:
            return kShellNotAFile;
        default:
            return kShellIoError;
    }
}

namespace {

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::status(path, error));
}

// The place the copy lands: the target itself, or the source's name inside a target folder.
fs::path CopyDestination(const fs::path& from, std::string_view target) {
    std::error_code error;
    fs::path to = NativePath(target);
    if (!fs::is_directory(fs::status(to, error))) {
        return to;
    }
    std::string inside(target);
    if (!inside.ends_with('/')) {
        inside += '/';
    }
    const auto name = FromNativePath(from.filename());
    return name ? NativePath(inside + *name) : to / from.filename();
}

std::int32_t Copy(std::string_view source, std::string_view target) {
    std::error_code error;
    const fs::path from = NativePath(source);
    const fs::file_status fromStatus = fs::status(from, error);
    if (error || !fs::exists(fromStatus)) {
        return ShellResultCode(
            error ? error : std::make_error_code(std::errc::no_such_file_or_directory),
            ShellOp::Copy, true);
    }
    if (fs::is_directory(fromStatus)) {
        return kShellNotAFile;
    }
    if (target.empty()) {
        return kShellFolderNotFound;
    }
    const fs::path to = CopyDestination(from, target);
    fs::path folder = to.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!fs::is_directory(fs::status(folder, error))) {
        return ShellResultCode(error ? error : std::make_error_code(std::errc::not_a_directory),
                               ShellOp::Copy, false);
    }

    // A unique temporary file next to the target: the rename over the target is atomic.
    std::string pattern = (folder / ".ks-copy-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return ShellResultCode(std::error_code(errno, std::generic_category()), ShellOp::Copy,
                               !Exists(from));
    }
    close(fd);
    const fs::path temporary(pattern);
    auto fail = [&](const std::error_code& cause) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return ShellResultCode(cause, ShellOp::Copy, !Exists(from));
    };
    if (!fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, error)) {
        return fail(error);
    }
    KeepAttributesOf(from, temporary);
    if (const std::error_code placed = PutInPlaceOf(temporary, to)) {
        return fail(placed);
    }
    return kShellOk;
}

std::int32_t Delete(std::string_view file) {
    if (file.empty()) {
        return kShellFileNotFound;
    }
    std::error_code error;
    const fs::path path = NativePath(file);
    const fs::file_status status = fs::symlink_status(path, error);
    if (error || !fs::exists(status)) {
        return ShellResultCode(
            error ? error : std::make_error_code(std::errc::no_such_file_or_directory),
            ShellOp::Delete, false);
    }
    // The shell would delete a folder with everything in it; one file is all we ever mean.
    if (fs::is_directory(status)) {
        return kShellNotAFile;
    }
    if (!fs::remove(path, error) || error) {
        return ShellResultCode(
            error ? error : std::make_error_code(std::errc::no_such_file_or_directory),
            ShellOp::Delete, false);
    }
    return kShellOk;
}

}  // namespace

void KeepAttributesOf(const fs::path& source, const fs::path& copy) {
    std::error_code ignored;
    fs::permissions(copy, fs::status(source, ignored).permissions(), ignored);
    const auto modified = fs::last_write_time(source, ignored);
    if (!ignored) {
        fs::last_write_time(copy, modified, ignored);
    }
}

std::error_code PutInPlaceOf(const fs::path& copy, const fs::path& target) {
    std::error_code error;
    for (const char* side : {"-wal", "-shm", "-journal"}) {
        fs::path stale = target;
        stale += side;
        fs::remove(stale, error);
    }
    fs::rename(copy, target, error);
    return error;
}

std::int32_t ShellFileOperation(ShellOp operation, std::string_view source, std::string_view target,
                                std::int32_t /*flags*/) noexcept {
    try {
        return operation == ShellOp::Copy ? Copy(source, target) : Delete(source);
    } catch (const std::bad_alloc&) {
        return kShellOutOfMemory;
    } catch (...) {
        return kShellIoError;
    }
}

}  // namespace ks
