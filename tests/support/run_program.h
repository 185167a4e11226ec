// Runs one of the programs the build made beside the tests and waits for it (or starts it
// and waits later), its standard output and error caught together in a file.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ks::test {

struct ProgramOutcome {
    int exitCode = -1;  // -1: not started, or ended by a signal
    std::string output;
};

// Starts `program` without waiting for it, its output caught in `outputFile`; its process
// id, or -1 when it could not be started.
inline pid_t StartProgram(const std::string& program, std::vector<std::string> args,
                          const std::string& outputFile) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        child = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// The exit status of a started program once it ends; -1 when a signal ended it.
inline int WaitProgram(pid_t child) {
    int status = 0;
    if (child <= 0 || waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// `environment`, when given, is the child's whole environment ("NAME=value" entries);
// otherwise it inherits this process's.
inline ProgramOutcome RunProgram(const std::string& program, std::vector<std::string> args,
                                 const std::string& outputFile,
                                 std::vector<std::string>* environment = nullptr) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (environment != nullptr) {
        for (std::string& entry : *environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    ProgramOutcome outcome;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(),
                    environment != nullptr ? envp.data() : environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.output = TempDir::Read(outputFile);
    return outcome;
}

}  // namespace ks::test
