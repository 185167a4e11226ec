// Runs one of the programs the build made beside the tests and waits for it (or starts it
// and waits later), its standard output and error caught together in a file.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace ks::test {

// The programs the build makes beside the tests.
inline const std::string kProgram = std::string(KS_BINARY_DIR) + "/src/gui/diffuseur-secours";
// The same program with the crash tests' kill switch (KS_KILL_AT_STEP).
inline const std::string kCrashProgram =
    std::string(KS_BINARY_DIR) + "/tests/diffuseur-secours-crash";
inline const std::string kDemoGenerator =
    std::string(KS_BINARY_DIR) + "/tools/demo/ks-demo-station";
inline const std::string kTableTool = std::string(KS_BINARY_DIR) + "/tools/ks-table/ks-table";
inline const std::string kShareProgram = std::string(KS_BINARY_DIR) + "/tests/ks-test-share";

struct ProgramOutcome {
    int exitCode = -1;  // -1: not started, or ended by a signal
    std::string output;
};

// Starts `program` without waiting for it, its output caught in `outputFile`; its process
// id, or -1 when it could not be started. `environment`, when given, is the child's whole
// environment ("NAME=value" entries); otherwise it inherits this process's.
inline pid_t StartProgram(const std::string& program, std::vector<std::string> args,
                          const std::string& outputFile,
                          std::vector<std::string>* environment = nullptr) {
    args.insert(args.begin(), program);
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        result.reserve(strings.size() + 1);
        for (std::string& text : strings) {
            result.push_back(text.data());
        }
        result.push_back(nullptr);
        return result;
    };
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp =
        environment != nullptr ? pointers(*environment) : std::vector<char*>();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(),
                    environment != nullptr ? envp.data() : environ) != 0) {
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

// The exit status of a started program that ends within `bound`, -1 when a signal ended it;
// nullopt when it was still running then (it is killed, so that no test leaves it behind).
inline std::optional<int> WaitProgramFor(pid_t child, std::chrono::milliseconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `program` and waits for it; `environment` as for StartProgram.
inline ProgramOutcome RunProgram(const std::string& program, std::vector<std::string> args,
                                 const std::string& outputFile,
                                 std::vector<std::string>* environment = nullptr) {
    ProgramOutcome outcome;
    outcome.exitCode = WaitProgram(StartProgram(program, std::move(args), outputFile, environment));
    outcome.output = TempDir::Read(outputFile);
    return outcome;
}

}  // namespace ks::test
