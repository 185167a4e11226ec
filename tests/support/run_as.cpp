#include "support/run_as.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>

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

std::string SelfExecutable() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

}  // namespace ks::test
