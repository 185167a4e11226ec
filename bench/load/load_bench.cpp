// Whole-load benchmark. For each demo station size it makes a station, then, round after
// round, runs `diffuseur-secours --root DIR --load-once` twice: a first load on the backup
// machine's tables as the generator left them, and a repeat load on the tables a first load
// left (every record it writes is already there and is replaced). Each is measured by wall
// time, processor time and peak memory (getrusage of the child). Each round also copies the
// fifteen table files the load copies from the server into a scratch folder (the floor of the
// load's copy phase). Prints the medians and the large station against its goals: a first
// load under 0.6 s, a repeat load under 0.8 s, both under 48 MiB. With --baseline, another
// build of the program loads the same station in the same rounds, one after the other, and
// gets a line of its own: on a shared machine only figures of one run compare.
//
//     bench_load [--sizes small,medium,large] [--rounds N] [--dir FOLDER] [--baseline PROGRAM]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kProgram = std::string(KS_BINARY_DIR) + "/src/gui/diffuseur-secours";
const std::string kGenerator = std::string(KS_BINARY_DIR) + "/tools/demo/ks-demo-station";

// The files a load copies from station 1 of the server.
const std::vector<std::string> kCopiedFiles{
    "FDAT000.bt6", "FDAT009.bt6", "FDATA20.bt6", "FDATA21.bt6", "FDATA22.bt6",
    "FDATA23.bt6", "FDATA24.bt6", "FDATA26.bt6", "FDATA27.bt6", "FDATA28.bt6",
    "FDATA29.bt6", "FDATA31.bt6", "FDATA32.bt6", "FDATA35.bt6", "FDATA53.bt6"};

constexpr double kGoalFirstSeconds = 0.6;
constexpr double kGoalRepeatSeconds = 0.8;
constexpr double kGoalMiB = 48.0;

struct Child {
    int exitCode = -1;
    double seconds = 0;
    double processorSeconds = 0;
    double peakMiB = 0;
};

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Runs `args` with its output in `log`; wall time, the child's own processor time (user and
// system, all its threads) and peak resident memory.
Child Run(std::vector<std::string> args, const std::string& log) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    Child child;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        child.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        child.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        child.processorSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
        child.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

void Replace(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

double PlainCopy(const fs::path& server, const fs::path& target) {
    fs::remove_all(target);
    fs::create_directories(target);
    const auto start = Clock::now();
    for (const std::string& name : kCopiedFiles) {
        fs::copy_file(server / name, target / name, fs::copy_options::overwrite_existing);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The loads of one program in every round.
struct Loads {
    std::string program;
    std::vector<double> firsts;
    std::vector<double> firstProcessor;
    std::vector<double> repeats;
    std::vector<double> repeatProcessor;
    double peak = 0;
    int status = 0;

    void Add(const Child& first, const Child& repeat) {
        for (const Child& child : {first, repeat}) {
            peak = std::max(peak, child.peakMiB);
            status = std::max(status, child.exitCode);
        }
        firsts.push_back(first.seconds);
        firstProcessor.push_back(first.processorSeconds);
        repeats.push_back(repeat.seconds);
        repeatProcessor.push_back(repeat.processorSeconds);
    }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::uintmax_t CopiedBytes(const fs::path& server) {
    std::uintmax_t bytes = 0;
    for (const std::string& name : kCopiedFiles) {
        bytes += fs::file_size(server / name);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> sizes{"small", "medium", "large"};
    int rounds = 5;
    fs::path dir = fs::temp_directory_path() / ("ks-bench-load-" + std::to_string(getpid()));
    bool keep = false;
    std::vector<std::string> programs{kProgram};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc) {
            sizes.clear();
            std::stringstream list(argv[++i]);
            for (std::string size; std::getline(list, size, ',');) {
                sizes.push_back(size);
            }
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
            keep = true;
        } else if (arg == "--baseline" && i + 1 < argc) {
            programs.emplace_back(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "Usage: bench_load [--sizes small,medium,large] [--rounds N] "
                         "[--dir FOLDER] [--baseline PROGRAM]\n");
            return 2;
        }
    }
    fs::create_directories(dir);
    std::printf("%-7s %9s %17s %17s %8s %8s %7s %s\n", "station", "tables", "first s (cpu)",
                "repeat s (cpu)", "peak MiB", "copy s", "status", "goal");
    bool goalsMet = true;
    for (const std::string& size : sizes) {
        const fs::path station = dir / size;
        const fs::path local = station / "Local" / "Data";
        const fs::path log = dir / (size + ".out");
        const Child made = Run({kGenerator, "--size", size, "--fresh", station.string()}, log);
        if (made.exitCode != 0) {
            std::fprintf(stderr, "Generating the %s station failed, see %s\n", size.c_str(),
                         log.c_str());
            return 1;
        }
        const fs::path generated = dir / (size + "-local");
        const fs::path loaded = dir / (size + "-loaded");
        Replace(local, generated);
        std::vector<Loads> loads;
        for (const std::string& program : programs) {
            loads.push_back({program});
        }
        std::vector<double> copies;
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t p = 0; p < loads.size(); ++p) {
                const std::vector<std::string> load{loads[p].program, "--root", station.string(),
                                                    "--load-once"};
                Replace(generated, local);
                const Child first = Run(load, log.string());
                if (round == 0 && p == 0) {
                    Replace(local, loaded);
                }
                Replace(loaded, local);
                loads[p].Add(first, Run(load, log.string()));
            }
            copies.push_back(PlainCopy(station / "Serveur" / "Data", dir / (size + "-copy")));
        }
        const double mib =
            static_cast<double>(CopiedBytes(station / "Serveur" / "Data")) / (1024.0 * 1024.0);
        for (const Loads& measured : loads) {
            const bool baseline = &measured != &loads.front();
            const double first = Median(measured.firsts);
            const double repeat = Median(measured.repeats);
            std::string goal = "-";
            if (size == "large") {
                const bool met = first < kGoalFirstSeconds && repeat < kGoalRepeatSeconds &&
                                 measured.peak < kGoalMiB;
                goalsMet = goalsMet && (met || baseline);
                goal = std::string(met ? "met" : "MISSED") + " (< 0.6 s, < 0.8 s, < 48 MiB)";
            }
            std::printf("%-7s %5.1f MiB %8.3f (%6.3f) %8.3f (%6.3f) %8.1f %8.4f %7d %s%s\n",
                        size.c_str(), mib, first, Median(measured.firstProcessor), repeat,
                        Median(measured.repeatProcessor), measured.peak, Median(copies),
                        measured.status, goal.c_str(),
                        baseline ? (" baseline " + measured.program).c_str() : "");
        }
        std::fflush(stdout);
    }
    std::printf(
        "medians of %d rounds, wall time and (processor time); the load's exit status "
        "must be 0\n",
        rounds);
    if (!keep) {
        fs::remove_all(dir);
    }
    return goalsMet ? 0 : 1;
}
