#include "core/log/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/base/failure.h"
#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::int32_t kErrDeviceIo = 57;
constexpr std::int32_t kErrDiskFull = 61;
constexpr std::int32_t kErrTooManyFiles = 67;

[[noreturn]] void Fail(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
            throw Failure(kErrPathNotFound, "Path not found");
        case EACCES:
        case EPERM:
        case EROFS:
            throw Failure(kErrPermissionDenied, "Permission denied");
        case ENOSPC:
        case EDQUOT:
            throw Failure(kErrDiskFull, "Disk full");
        case EMFILE:
        case ENFILE:
            throw Failure(kErrTooManyFiles, "Too many files");
        case EIO:
            throw Failure(kErrDeviceIo, "Device I/O error");
        default:
            throw Failure(kErrPathFileAccess, "Path/File access error");
    }
}

}  // namespace

AppendFile::AppendFile(std::string_view path) {
    const std::string native = NativePath(path).string();
    constexpr mode_t kMode = 0666;  // narrowed by the umask, as for any new file
    // Non-blocking, so that a named pipe in place of the log file fails at once instead of
    // waiting for a reader; regular files are not affected.
    do {
        m_fd =
            ::open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, kMode);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        Fail(errno);
    }
}

AppendFile::~AppendFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void AppendFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
        }
        if (written == 0) {
            Fail(EIO);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace ks
