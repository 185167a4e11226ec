#include "support/run_as.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace ks::test {

bool CanRunAsNobody() {
    return geteuid() == 0 &&
           (std::filesystem::exists("/usr/bin/setpriv") || std::filesystem::exists("/bin/setpriv"));
}

RunResult RunAsNobody(const std::vector<std::string>& argv) {
    std::string command = "setpriv --reuid=nobody --regid=nogroup --clear-groups";
    for (const auto& arg : argv) {
        std::string quoted = "'";
        for (const char c : arg) {
            if (c == '\'') {
                quoted += "'\\''";
            } else {
                quoted += c;
            }
        }
        command += " " + quoted + "'";
    }
    command += " 2>&1";
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

namespace {

// A copy of the test executable in a folder every user can enter, removed at exit.
class SharedCopy {
  public:
    explicit SharedCopy(const std::filesystem::path& original) {
        namespace fs = std::filesystem;
        std::string folder = (fs::temp_directory_path() / "ks-test-exe-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr) {
            return;
        }
        m_folder = folder;
        std::error_code error;
        fs::permissions(m_folder,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        error);
        const fs::path copy = m_folder / original.filename();
        if (fs::copy_file(original, copy, error)) {
            m_path = copy.string();
        }
    }
    ~SharedCopy() {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }
    SharedCopy(const SharedCopy&) = delete;
    SharedCopy& operator=(const SharedCopy&) = delete;

    const std::string& Path() const { return m_path; }

  private:
    std::filesystem::path m_folder;
    std::string m_path;
};

}  // namespace

std::string SelfExecutable() {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    if (!CanRunAsNobody() || RunAsNobody({"/usr/bin/test", "-x", self}).exitCode == 0) {
        return self;
    }
    // The build folder lies below a folder that nobody may not enter (a clone in root's home,
    // for instance): run a copy instead. One copy serves the whole test run.
    static const SharedCopy copy(self);
    return copy.Path().empty() ? self : copy.Path();
}

}  // namespace ks::test
