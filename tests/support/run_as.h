// Runs a command as the unprivileged user "nobody", for the tests of read-only files and
// unwritable folders: the tests run as root, which ignores permission bits.
#pragma once

#include <string>
#include <vector>

namespace ks::test {

struct RunResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// True when this process can switch users (it runs as root and setpriv exists).
bool CanRunAsNobody();

// Runs `argv` as nobody:nogroup without supplementary groups and waits for it.
RunResult RunAsNobody(const std::vector<std::string>& argv);

// The path of the running test executable, or of a copy that nobody may run when the build
// folder is closed to other users (to re-run it as a child with other arguments).
std::string SelfExecutable();

}  // namespace ks::test
