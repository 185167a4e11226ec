#include "core/sys/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/native_path.h"

namespace ks {

InstanceLock::InstanceLock(std::string_view programFolder) {
    const std::filesystem::path folder = NativePath(programFolder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path file = folder / std::string(kFileName);
    // Close-on-exec: a program started from here (the text viewer) must not keep the lock.
    m_fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        m_reason = file.string() + ": " + std::strerror(errno);
        return;
    }
    if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_outcome = Outcome::Acquired;
        return;
    }
    if (errno == EWOULDBLOCK) {
        m_outcome = Outcome::HeldElsewhere;
    } else {
        m_reason = file.string() + ": " + std::strerror(errno);
    }
    close(m_fd);
    m_fd = -1;
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

}  // namespace ks
