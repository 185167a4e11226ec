// Runs the demo station generator that the build made beside the tests, its standard output
// and error caught in a file of a scratch folder.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ks::test {

inline const std::string kDemoGenerator =
    std::string(KS_BINARY_DIR) + "/tools/demo/ks-demo-station";

struct GeneratorOutcome {
    int exitCode = -1;
    std::string output;
};

inline GeneratorOutcome RunDemoGenerator(std::vector<std::string> args, const TempDir& scratch) {
    const std::string outputFile = scratch.Folder() + "generator.out";
    args.insert(args.begin(), kDemoGenerator);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    GeneratorOutcome outcome;
    if (posix_spawn(&child, kDemoGenerator.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.output = TempDir::Read(outputFile);
    return outcome;
}

}  // namespace ks::test
