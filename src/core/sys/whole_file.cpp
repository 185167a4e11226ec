#include "core/sys/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <random>

#include "core/sys/descriptor.h"

namespace ks {
namespace {

// The file a chain of symbolic links ends at (the path itself when it is none).
std::filesystem::path FollowLinks(std::filesystem::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            break;
        }
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) {
            break;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

// A new file beside `target`, hidden, named after it; created with the usual permission
// (0666 less the umask), which the caller changes to the old file's.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temporary) {
    std::string name = target.filename().string().substr(0, 200);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target.parent_path() / ("." + name + "." + std::to_string(::getpid()) + "." +
                                            std::to_string(random()) + ".tmp");
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

void SyncFolder(const std::filesystem::path& folder) {
    const Descriptor fd(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) {
        ::fsync(fd.Get());  // the rename itself reaches the disk; a failure here changes nothing
    }
}

}  // namespace

ReadResult ReadWholeFile(const std::filesystem::path& file, std::string& bytes) {
    bytes.clear();
    // Non-blocking, so that a pipe put in place of the file cannot hang the program.
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return ReadResult::Failed;
    }
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t count = ::read(fd.Get(), buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            bytes.clear();
            return ReadResult::Failed;
        }
        if (count == 0) {
            return ReadResult::Read;
        }
        bytes.append(buffer.data(), static_cast<std::size_t>(count));
    }
}

std::error_code ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path target = FollowLinks(file);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        return LastError();
    }
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            return std::make_error_code(std::errc::is_a_directory);
        }
        if ((old.st_mode & S_IWUSR) == 0 || ::access(target.c_str(), W_OK) != 0) {
            return std::make_error_code(std::errc::permission_denied);
        }
    }

    std::filesystem::path temporary;
    Descriptor fd(CreateTemporaryBeside(target, temporary));
    if (!fd.Valid()) {
        return LastError();
    }
    std::error_code failure;
    if (exists) {
        // The owner first: changing it may clear the set-id bits that the mode then restores.
        // Only root may give the file away; for others this keeps what it can.
        [[maybe_unused]] const int owned = ::fchown(fd.Get(), old.st_uid, old.st_gid);
        if (::fchmod(fd.Get(), old.st_mode & 07777) != 0) {
            failure = LastError();
        }
    }
    if (!failure && !WriteAll(fd.Get(), bytes)) {
        failure = LastError();
    }
    if (!failure && ::fsync(fd.Get()) != 0) {
        failure = LastError();
    }
    if (!fd.Close() && !failure) {
        failure = LastError();
    }
    if (!failure && ::rename(temporary.c_str(), target.c_str()) != 0) {
        failure = LastError();
    }
    if (failure) {
        ::unlink(temporary.c_str());
        return failure;
    }
    SyncFolder(target.parent_path());
    return {};
}

}  // namespace ks
