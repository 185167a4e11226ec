// A file opened for appending raw bytes: the trace log writes each batch through one, so a
// line holding any byte, NUL and 255 included, reaches the file whole.
#pragma once

#include <string_view>

namespace ks {

class AppendFile {
  public:
    // Opens `path` (a Windows-1252 path, looked up without regard to case), creating it when
    // missing. Throws Failure with the classic error number when it cannot be opened.
    explicit AppendFile(std::string_view path);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Appends every byte; throws Failure when the file system refuses some.
    void Write(std::string_view bytes);

  private:
    int m_fd = -1;
};

}  // namespace ks
