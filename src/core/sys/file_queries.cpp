// The queries of FileOps: a file's size, the size text of the trace log, clearing an
// attribute, free disk space and the plain file listing.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "core/base/error_handler.h"
#include "core/base/failure.h"
#include "core/base/trace_sink.h"
#include "core/sys/descriptor.h"
#include "core/sys/file_ops.h"
#include "core/sys/text_helpers.h"
#include "platform/native_path.h"

namespace ks {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTailleDuFichier = "Lib_Systeme:TailleDuFichier";
constexpr std::string_view kLibSize = "Lib_Systeme:LibSize";
constexpr std::string_view kFileRemoveFlag = "Lib_Systeme:File_RemoveFlag";
constexpr std::string_view kDiskFreeSpace = "Lib_Systeme:DiskFreeSpace";

constexpr std::uint64_t kSlowSizeQueryMs = 1000;
constexpr std::int16_t kReadOnly = 1;

// The classic run-time error of a file that cannot be opened.
[[noreturn]] void ThrowOpenFailure(int error) {
    if (error == ENOENT || error == ENOTDIR) {
        throw Failure(kErrFileNotFound, "File not found");
    }
    if (error == EACCES || error == EPERM) {
        throw Failure(kErrPermissionDenied, "Permission denied");
    }
    if (error == ENOMEM) {
        throw Failure(kErrOutOfMemory, "Out of memory");
    }
    throw Failure(kErrPathFileAccess, "Path/File access error");
}

// The number with two decimals, rounded half away from zero, digits grouped by three with a
// blank and a comma before the decimals, as the French locale writes it.
std::string FrenchTwoDecimals(double value) {
    const bool negative = value < 0;
    char digits[400];
    std::snprintf(digits, sizeof digits, "%.0f", std::round(std::fabs(value) * 100.0));
    std::string cents(digits);
    if (cents.size() < 3) {
        cents.insert(0, 3 - cents.size(), '0');
    }
    const std::string whole = cents.substr(0, cents.size() - 2);
    std::string out = negative && cents.find_first_not_of('0') != std::string::npos ? "-" : "";
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) {
            out += ' ';
        }
        out += whole[i];
    }
    out += ',';
    out += cents.substr(cents.size() - 2);
    return out;
}

}  // namespace

std::int32_t FileOps::TailleDuFichier(std::string_view file) {
    std::int32_t size = -1;
    m_errors.Guard(kTailleDuFichier, [&] {
        const std::uint64_t start = m_ticks();
        // Non-blocking, so that a named pipe given as a file answers at once instead of
        // waiting for a writer; regular files are not affected.
        const Descriptor fd(open(NativePath(file).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (fd.Get() < 0) {
            ThrowOpenFailure(errno);
        }
        struct stat info {};
        if (fstat(fd.Get(), &info) != 0) {
            ThrowOpenFailure(errno);
        }
        if (S_ISDIR(info.st_mode)) {
            throw Failure(kErrPathFileAccess, "Path/File access error");
        }
        const std::uint64_t end = m_ticks();
        if (end >= start && end - start > kSlowSizeQueryMs) {
            m_trace.TraceLog(-1, -1, -1,
                             "Function " + std::string(kTailleDuFichier) +
                                 " Duration: " + std::to_string(end - start) +
                                 " ms (File: " + std::string(file) + ")");
        }
        if (info.st_size > std::numeric_limits<std::int32_t>::max()) {
            throw Failure(kErrOverflow, "Overflow");
        }
        size = static_cast<std::int32_t>(info.st_size);
    });
    return size;
}

std::string FileOps::LibSize(double bytes) {
    static constexpr std::string_view kUnits[] = {" Octets", " Ko", " Mo", " Go", " To",
                                                  " Po",     " Eo", " Zo", " Yo"};
    std::string text;
    m_errors.Guard(kLibSize, [&] {
        if (!std::isfinite(bytes)) {
            throw Failure(kErrOverflow, "Overflow");
        }
        std::size_t divisions = 0;
        while (bytes >= 1024.0 && divisions < 8) {
            bytes /= 1024.0;
            ++divisions;
        }
        text = FrenchTwoDecimals(bytes);
        text += kUnits[divisions];
    });
    return text;
}

void FileOps::File_RemoveFlag(std::string_view file, std::int16_t flag) {
    ErrorHandler::Silent([&] {
        if (IsBlank(file)) {
            return;
        }
        if (!File_Exist(file, kFileRemoveFlag)) {
            m_trace.TraceLog(-1, -1, -1,
                             "Warning: File_RemoveFlag: File not found: " + std::string(file));
            return;
        }
        if ((flag & kReadOnly) != 0) {
            fs::permissions(NativePath(file), fs::perms::owner_write, fs::perm_options::add);
        }
    });
}

double FileOps::DiskFreeSpace(std::string_view root) {
    double freeBytes = 0;
    m_errors.Guard(kDiskFreeSpace, [&] {
        if (IsBlank(root)) {
            return;
        }
        fs::path folder = NativePath(root);
        std::error_code error;
        while (!fs::is_directory(fs::status(folder, error))) {
            fs::path parent = folder.has_relative_path() ? folder.parent_path() : folder;
            if (parent.empty()) {
                parent = ".";
            }
            if (parent == folder) {
                return;
            }
            folder = std::move(parent);
        }
        struct statvfs info {};
        if (statvfs(folder.c_str(), &info) != 0) {
            throw std::system_error(errno, std::generic_category(), "statvfs");
        }
        freeBytes = static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
    });
    return freeBytes;
}

std::vector<std::string> FileOps::ListFiles(std::string_view folder, std::string_view pattern) {
    std::vector<std::string> names;
    ErrorHandler::Silent([&] {
        std::error_code error;
        fs::directory_iterator it(NativePath(folder), error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            std::error_code statusError;
            if (!fs::is_regular_file(it->status(statusError))) {
                continue;
            }
            auto name = FromNativePath(it->path().filename());
            if (name && MatchesWildcard(*name, pattern)) {
                names.push_back(std::move(*name));
            }
        }
        std::sort(names.begin(), names.end());
    });
    return names;
}

}  // namespace ks
