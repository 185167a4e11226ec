// Record transfer benchmark: makes a demo station with ks-demo-station (the large one by
// default: 20,000 songs, 20 music events an hour over eight days, six advertising entries an
// hour, history to purge), copies the server's tables into the intermediate folder as a load
// does, then runs DataTransfert alone in a child process, twice: the first load of the local
// station, then the same load again (every hour deleted and copied anew). Prints wall time,
// engine calls and calls per second, the child's processor time (the rest is mostly waiting
// for the disk: commits wait for it, as in the program) and peak memory, against the goals
// of 1.5 seconds and 64 MiB.
//
//     bench_transfer [--size small|medium|large] [--dir FOLDER] [--again]
//
// --again runs only the second load on the station a former run left in FOLDER (for a
// profiler: the same work at every run).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/base/error_handler.h"
#include "core/base/load_view.h"
#include "core/base/trace_state.h"
#include "core/db/btrieve_layer.h"
#include "core/db/btrieve_report.h"
#include "core/db/db_state.h"
#include "core/db/load_stations.h"
#include "core/db/message_sink.h"
#include "core/db/pervasive_files.h"
#include "core/log/trace_log.h"
#include "core/ports/console_ports.h"
#include "core/sys/file_ops.h"
#include "core/transfer/copied_set.h"
#include "core/transfer/record_transfer.h"
#include "ks/engine/engine.h"

namespace ks::bench {
namespace {

namespace fs = std::filesystem;

constexpr double kGoalSeconds = 1.5;
constexpr double kGoalMiB = 64.0;

class QuietView final : public LoadView {
  public:
    void ShowLastLoad(const std::string&) override {}
    void ShowNextLoad(const std::string&) override {}
    void ShowCountdown(const std::string&) override {}
    void ShowClock(const std::string&) override {}
    void ShowTimingData(int, const std::string&) override {}
    void ShowCopy(bool) override {}
    void SetCopyProgress(int) override {}
    void ShowTransfer(bool) override {}
    void BlinkTransfer() override {}
    void SetTransferTimer(bool) override {}
    void SetTransferCaption(const std::string&) override {}
    void SetTransferProgress(int, int, int) override {}
    void SetTransferItemProgress(int, int, int) override {}
    void SetMenuEnabled(bool) override {}
};

class CountedMessages final : public MessageSink {
  public:
    void Dialog_Msg(std::string_view, std::string_view, std::string_view, std::int32_t,
                    std::int32_t) override {
        ++reports;
    }
    int reports = 0;
};

// Counts the calls that reach the engine.
class CountingEngine final : public engine::BtrCall {
  public:
    explicit CountingEngine(engine::BtrCall& inner) : m_inner(inner) {}
    std::int16_t Call(std::uint16_t operation, std::uint8_t* block, void* data,
                      std::uint32_t& length, void* key, std::uint8_t keyLength,
                      std::int8_t keyNumber) override {
        ++calls;
        return m_inner.Call(operation, block, data, length, key, keyLength, keyNumber);
    }
    long calls = 0;

  private:
    engine::BtrCall& m_inner;
};

struct Outcome {
    double seconds = 0;
    long calls = 0;
    int reports = 0;
    bool err95 = false;
    bool err8 = false;
};

// The transfer as the program wires it: the real engine (commits wait for the disk), the
// daily trace log writing its file, the database layer; console ports for the rest.
Outcome Transfer(const std::string& root) {
    SystemClock clock;
    QuietEventPump pump;
    ConsoleDialogs dialogs;
    QuietView view;
    CountedMessages messages;
    TraceState traceState;
    ErrorHandler errors(traceState, pump);
    DailyTraceLog trace(traceState, errors, clock);
    errors.SetTrace(&trace);
    fs::create_directories(root + "/Log");
    trace.SetDossierLog(root + "/Log/");
    traceState.TraceFichierActif = true;

    const auto recordEngine = engine::MakeRecordEngine();
    CountingEngine counted(*recordEngine);
    DbState db;
    LoadStations stations;
    CopiedSet copied;
    copied.stations.NoStation1 = 2;
    copied.stations.DossierStation1 = root + "/Temporaire/";
    copied.stations.NoStation2 = 1;
    copied.stations.DossierStation2 = root + "/Local/Data/";
    copied.PresenceFichier53 = fs::exists(root + "/Temporaire/FDATB53.bt6");
    FileOps fileOps(trace, errors, clock);
    BtrieveReport report(db, clock, trace, messages, errors, "KS3_Diffuseur_Secours");
    BtrieveLayer layer(db, counted, report, clock, trace, dialogs, errors, traceState);
    PervasiveFiles files(db, stations, counted, report, fileOps, trace, errors);
    RecordTransfer transfer({db, stations, layer, files, report, trace, errors, clock, pump, view});

    Outcome outcome;
    const std::int16_t hourOffset = 1;
    const auto start = std::chrono::steady_clock::now();
    transfer.DataTransfert(1, copied, hourOffset, outcome.err95, outcome.err8);
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    trace.TraceLogForce(trace.ListeLog(), "");
    outcome.calls = counted.calls;
    outcome.reports = messages.reports;
    return outcome;
}

// Runs the transfer in a child and prints its figures with the child's peak memory.
bool Measure(const std::string& root, const char* label) {
    int channel[2];
    if (pipe(channel) != 0) {
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const Outcome outcome = Transfer(root);
        if (write(channel[1], &outcome, sizeof outcome) != static_cast<ssize_t>(sizeof outcome)) {
            _exit(2);
        }
        _exit(0);
    }
    close(channel[1]);
    Outcome outcome;
    const bool received =
        read(channel[0], &outcome, sizeof outcome) == static_cast<ssize_t>(sizeof outcome);
    close(channel[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: the transfer did not finish\n", label);
        return false;
    }
    const double mib = static_cast<double>(usage.ru_maxrss) / 1024.0;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    std::printf("%-16s %7.3f s (cpu %5.3f s) %8ld calls %8.0f calls/s %6.1f MiB  %s%s%s\n", label,
                outcome.seconds, seconds(usage.ru_utime) + seconds(usage.ru_stime), outcome.calls,
                static_cast<double>(outcome.calls) / outcome.seconds, mib,
                outcome.seconds < kGoalSeconds && mib < kGoalMiB ? "goal met" : "GOAL MISSED",
                outcome.err95 || outcome.err8 ? " (cancelled)" : "",
                outcome.reports > 0 ? " (errors reported)" : "");
    return true;
}

// The server's tables of station A, copied into the intermediate folder under letter B.
void CopyServerTables(const std::string& root) {
    const fs::path server = root + "/Serveur/Data";
    const fs::path copy = root + "/Temporaire";
    fs::create_directories(copy);
    for (const auto& entry : fs::directory_iterator(server)) {
        std::string name = entry.path().filename().string();
        if (name.size() == 11 && name[4] == 'A') {
            name[4] = 'B';
        }
        fs::copy_file(entry.path(), copy / name, fs::copy_options::overwrite_existing);
    }
}

}  // namespace
}  // namespace ks::bench

int main(int argc, char* argv[]) {
    namespace fs = std::filesystem;
    std::string size = "large";
    std::string dir;
    bool again = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--again") {
            again = true;
        } else if (option == "--size" && i + 1 < argc) {
            size = argv[++i];
        } else if (option == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        }
    }
    if (again) {
        return !dir.empty() && ks::bench::Measure(dir, "same load again") ? 0 : 1;
    }
    const bool scratch = dir.empty();
    if (scratch) {
        dir = fs::temp_directory_path() / ("ks-bench-transfer-" + std::to_string(getpid()));
    }
    const std::string generator = std::string(KS_BINARY_DIR) + "/tools/demo/ks-demo-station";
    // Small is the generator's default size.
    const std::string sizeOption = size == "small" ? "" : " --size " + size;
    const std::string command = generator + " --fresh" + sizeOption + " '" + dir + "' > /dev/null";
    std::printf("Record transfer on the %s demo station (%s)\n", size.c_str(), dir.c_str());
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "the demo station could not be made: %s\n", command.c_str());
        return 1;
    }
    ks::bench::CopyServerTables(dir);
    const bool ok =
        ks::bench::Measure(dir, "first load") && ks::bench::Measure(dir, "same load again");
    if (scratch) {
        fs::remove_all(dir);
    }
    return ok ? 0 : 1;
}
