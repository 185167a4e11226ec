// A file descriptor of the file operations, closed on every path out of the function that
// opened it, and the system error of the last failed call.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ks {

class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Closes now and reports the failure of the close (a delayed write error).
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_fd;
};

inline std::error_code LastError() {
    return {errno, std::generic_category()};
}

}  // namespace ks
