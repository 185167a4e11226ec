// A fresh folder per test, removed with everything in it at the end of the test.
#pragma once

#include <filesystem>
#include <string>

namespace ks::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

    // The folder as the program writes folder names: ending with "/".
    std::string Folder() const { return m_path.string() + "/"; }

    // Writes `bytes` to the file `name` of the folder and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const;

    // The bytes of a file (empty when it cannot be read).
    static std::string Read(const std::filesystem::path& file);

  private:
    std::filesystem::path m_path;
};

}  // namespace ks::test
