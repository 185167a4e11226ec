// The import of a genuine 6.x song table (catalogue file 22: 900-byte records, six keys) of
// 20,000 songs made by the test writer, against `cp` of the same file, in the same run. Each
// is run in a process of its own (this program again, or cp), so that its peak resident
// memory is its own; the best and the median of five wall times are printed.
//
//     bench_import [SONGS]          (20000 by default; the goal: under 0.5 s and 64 MiB)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ks/engine/genuine_import.h"
#include "song_table.h"
#include "support/genuine_writer.h"

namespace {

namespace fs = std::filesystem;

struct Run {
    double seconds = 0;
    long peakKib = 0;
    int exitCode = -1;
};

// Runs `args` (args[0] a path) in a child process and waits for it.
Run Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    Run run;
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.peakKib = usage.ru_maxrss;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

void Report(const char* name, std::vector<Run> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
    long peak = 0;
    bool failed = false;
    for (const auto& run : runs) {
        peak = std::max(peak, run.peakKib);
        failed = failed || run.exitCode != 0;
    }
    std::printf("%-8s best %.3f s, median %.3f s, peak memory %.1f MiB%s\n", name,
                runs.front().seconds, runs[runs.size() / 2].seconds,
                static_cast<double>(peak) / 1024.0, failed ? "  (A RUN FAILED)" : "");
}

}  // namespace

int main(int argc, char** argv) {
    // The child: one import, its result as the exit code.
    if (argc == 4 && std::string(argv[1]) == "--import") {
        const auto result = ks::engine::genuine::ImportGenuineTable(argv[2], argv[3]);
        if (result.status != 0) {
            std::fprintf(stderr, "import refused: %s\n", result.reason.c_str());
        }
        return result.status == 0 ? 0 : 1;
    }
    // The file is written by a child too: this process stays small, and so do the children it
    // forks, whose peak memory counts what they share with it until they run their program.
    if (argc == 4 && std::string(argv[1]) == "--write") {
        std::vector<std::string> records;
        const auto songs = static_cast<std::uint32_t>(std::atoi(argv[2]));
        for (std::uint32_t n = 0; n < songs; ++n) {
            records.push_back(ks::bench::SongRecord(n));
        }
        return ks::test::WriteGenuineFile(argv[3], ks::test::CatalogueShape(22), records) ? 0 : 1;
    }
    const std::string songs = argc > 1 ? argv[1] : "20000";
    const fs::path folder =
        fs::temp_directory_path() / ("bench_import_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path genuine = folder / "FDAT022.DAT";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    if (Spawn({self, "--write", songs, genuine.string()}).exitCode != 0) {
        std::fprintf(stderr, "cannot write %s\n", genuine.c_str());
        return 1;
    }
    std::printf("genuine song table: %s songs, %.1f MiB, 2048-byte pages\n", songs.c_str(),
                static_cast<double>(fs::file_size(genuine)) / (1024.0 * 1024.0));
    std::vector<Run> imports;
    std::vector<Run> copies;
    for (int i = 0; i < 5; ++i) {
        imports.push_back(
            Spawn({self, "--import", genuine.string(), (folder / "FDATA22.bt6").string()}));
        copies.push_back(Spawn({"cp", genuine.string(), (folder / "copy.DAT").string()}));
    }
    Report("import", imports);
    Report("cp", copies);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
