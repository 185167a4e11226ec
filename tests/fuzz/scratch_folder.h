// The folder a fuzzing process writes its inputs' files into: one per process, removed when
// the process ends, in memory when /dev/shm is there (no disk is worn).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace ks::test {

class ScratchFolder {
  public:
    ScratchFolder() {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
        std::string folder = std::string(base) + "/ks-fuzz-XXXXXX";
        if (mkdtemp(folder.data()) == nullptr) {
            std::abort();
        }
        m_folder = folder;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return m_folder + "/" + name; }

  private:
    std::string m_folder;
};

}  // namespace ks::test
