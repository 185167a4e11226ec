// Record engine benchmark. Every operation is measured on a table of 100,000 songs (900-byte
// records, six keys) kept by the engine and on the same table kept directly with SQLite
// prepared statements, with the same journal, sync and bundle size, in the same run: once
// with a fresh seek per read (each read its own transaction) and once with a held cursor
// (reads share a transaction, a get next steps the statement already on its row: the floor
// for reads). Then a sequence of about 100,000 operations shaped like a load. Prints the
// times and the ratios against the goals: get next within 1.5 of the held cursor, get equal
// within 1.2 of the fresh seek, the load sequence under 2 seconds.
//
//     bench_engine [--dir FOLDER] [Google Benchmark options]
//     bench_engine --count-reads N [--dir FOLDER]
// The second form fills the engine's table, then makes N get next and N get equal and ends:
// tools/engine-syscalls.sh runs it under strace to count the system calls per read.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "direct_table.h"
#include "engine/record_engine.h"
#include "engine_table.h"
#include "mixed_load.h"
#include "song_table.h"

namespace ks::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kSongs = 100000;
constexpr std::int64_t kWrites = 5000;
// Each operation is measured this many times, ours and direct in turn, round after round;
// the summary takes the median, so that neither side gains from running first or last or
// from a moment when the machine was busy.
constexpr int kRounds = 3;

// Songs are the even numbers below 2 * kSongs; the inserts use odd numbers, so that they land
// between existing keys, and the deletes remove those again.
std::uint32_t SongNumber(std::uint32_t i) {
    return i * 2U;
}
std::uint32_t NewSongNumber(std::uint32_t i) {
    return (i * 7919U % kSongs) * 2U + 1U;
}

// A cheap, fixed sequence of pseudo-random indexes.
class Picker {
  public:
    std::uint32_t Next(std::uint32_t below) {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>((m_state >> 33U) % below);
    }

  private:
    std::uint64_t m_state = 88172645463325252ULL;
};

struct Side {
    std::string name;
    std::unique_ptr<BenchTable> songs;
    std::unique_ptr<BenchTable> extras;
    std::unique_ptr<BenchTable> pointers;
    std::unique_ptr<BenchTable> schedule;
    std::unique_ptr<BenchTable> sourceSchedule;
    double fillSeconds = 0;
    std::uint32_t inserted = 0;  // new songs inserted so far, deleted again by Delete
    std::uint32_t deleted = 0;
};

void Fill(Side& side) {
    const auto start = Clock::now();
    for (std::uint32_t i = 0; i < kSongs; ++i) {
        if (!side.songs->Insert(SongRecord(SongNumber(i)))) {
            throw std::runtime_error(side.name + ": insert refused while filling");
        }
    }
    side.songs->Flush();
    side.fillSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    LoadTables tables{*side.songs, *side.extras, *side.pointers, *side.schedule,
                      *side.sourceSchedule};
    PrepareLoadTables(tables);
}

void GetEqual(benchmark::State& state, Side& side) {
    Picker picker;
    std::string record;
    for (auto _ : state) {
        const bool found =
            side.songs->GetEqual(0, Digits(SongNumber(picker.Next(kSongs)), 8), record);
        benchmark::DoNotOptimize(found);
    }
}

void GetEqualDuplicateKey(benchmark::State& state, Side& side) {
    Picker picker;
    std::string record;
    for (auto _ : state) {
        const std::uint32_t song = SongNumber(picker.Next(kSongs));
        const bool found = side.songs->GetEqual(1, Digits(song % 5000U, 5), record);
        benchmark::DoNotOptimize(found);
    }
}

void WalkKey(benchmark::State& state, Side& side, int key) {
    std::string record;
    side.songs->GetFirst(key, record);
    for (auto _ : state) {
        if (!side.songs->GetNext(record)) {
            side.songs->GetFirst(key, record);
        }
    }
}

void GetNext(benchmark::State& state, Side& side) {
    WalkKey(state, side, 0);
}

void GetNextDuplicateKey(benchmark::State& state, Side& side) {
    WalkKey(state, side, 1);
}

void GetGreaterOrEqual(benchmark::State& state, Side& side) {
    Picker picker;
    std::string record;
    for (auto _ : state) {
        // An odd number: no song has it, the next one is found.
        const bool found = side.songs->GetGreaterOrEqual(
            0, Digits(SongNumber(picker.Next(kSongs - 1)) + 1U, 8), record);
        benchmark::DoNotOptimize(found);
    }
}

void Insert(benchmark::State& state, Side& side) {
    for (auto _ : state) {
        if (!side.songs->Insert(SongRecord(NewSongNumber(side.inserted++)))) {
            state.SkipWithError("insert refused");
            break;
        }
    }
    side.songs->Flush();
}

// Only the update is timed; the get equal that positions on the record is not.
void Update(benchmark::State& state, Side& side) {
    Picker picker;
    std::string record;
    std::uint32_t round = 0;
    for (auto _ : state) {
        const std::uint32_t song = SongNumber(picker.Next(kSongs));
        if (!side.songs->GetEqual(0, Digits(song, 8), record)) {
            state.SkipWithError("song missing");
            break;
        }
        // Bytes outside every key change: the record is rewritten, no index entry moves.
        record.replace(200, 8, Digits(round++, 8));
        const auto start = Clock::now();
        const bool updated = side.songs->UpdateCurrent(record);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!updated) {
            state.SkipWithError("update refused");
            break;
        }
    }
    side.songs->Flush();
}

// Only the delete is timed; the get equal that positions on the record is not.
void Delete(benchmark::State& state, Side& side) {
    std::string record;
    for (auto _ : state) {
        if (!side.songs->GetEqual(0, Digits(NewSongNumber(side.deleted++), 8), record)) {
            state.SkipWithError("inserted song missing");
            break;
        }
        const auto start = Clock::now();
        const bool deleted = side.songs->DeleteCurrent();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!deleted) {
            state.SkipWithError("delete refused");
            break;
        }
    }
    side.songs->Flush();
}

// Inserts into the songs table through an engine of its own whose bundles hold `bundle`
// writes: what a bundle's size buys. The songs are deleted again afterwards, untimed.
void InsertWithBundle(benchmark::State& state, const std::string& path, int bundle) {
    ks::engine::EngineOptions options;
    options.bundleOperations = bundle;
    ks::engine::RecordEngine engine(options);
    EngineTable songs(engine, path, SongTableSpec(), false);
    const std::uint32_t first = 3U * kSongs;
    std::uint32_t i = 0;
    for (auto _ : state) {
        if (!songs.Insert(SongRecord(first + 2U * i++ + 1U))) {
            state.SkipWithError("insert refused");
            break;
        }
    }
    songs.Flush();
    std::string record;
    for (std::uint32_t n = 0; n < i; ++n) {
        if (songs.GetEqual(0, Digits(first + 2U * n + 1U, 8), record)) {
            songs.DeleteCurrent();
        }
    }
    songs.Flush();
}

void LoadSequence(benchmark::State& state, Side& side) {
    LoadTables tables{*side.songs, *side.extras, *side.pointers, *side.schedule,
                      *side.sourceSchedule};
    std::uint64_t operations = 0;
    for (auto _ : state) {
        operations = RunLoadSequence(tables);
    }
    state.counters["operations"] = static_cast<double>(operations);
}

// Keeps the time of each benchmark for the summary (the median of its repetitions), and
// prints them as usual. The processor time of the thread, which other work on a shared
// machine changes less than the wall time; the writes timed by hand (their own wall time,
// without the read that positions them) keep that.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                const bool manual = run.run_name.time_type == "manual_time";
                m_samples[run.run_name.function_name].push_back(manual ? run.GetAdjustedRealTime()
                                                                       : run.GetAdjustedCPUTime());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double Time(const std::string& name) const {
        const auto it = m_samples.find(name);
        if (it == m_samples.end() || it->second.empty()) {
            return 0.0;
        }
        std::vector<double> samples = it->second;
        std::sort(samples.begin(), samples.end());
        return samples[samples.size() / 2];
    }

  private:
    std::map<std::string, std::vector<double>> m_samples;
};

struct Measured {
    const char* label;
    const char* name;
    double goal;
};

void PrintSummary(const SummaryReporter& reporter, const Side& ours, const Side& direct,
                  int bundle) {
    // The goal is a ratio to the fresh seek (`toHeld` false) or to the held cursor.
    struct Row {
        const char* label;
        const char* name;
        double goal;
        bool toHeld;
    };
    const Row operations[] = {
        {"get equal (unique key)", "GetEqual", 1.2, false},
        {"get equal (duplicate key)", "GetEqualDuplicateKey", 1.2, false},
        {"get next (key 0)", "GetNext", 1.5, true},
        {"get next (duplicate key)", "GetNextDuplicateKey", 1.5, true},
        {"get greater or equal", "GetGreaterOrEqual", 1.2, false},
        {"insert", "Insert", 0, false},
        {"update", "Update", 0, false},
        {"delete", "Delete", 0, false},
    };
    std::printf(
        "\nRecord engine against direct SQLite (same run, bundles of %d operations; "
        "processor time, update and delete: wall time)\n",
        bundle);
    std::printf("%-27s %9s %9s %9s %7s %7s %s\n", "operation", "ours us", "fresh us", "held us",
                "/fresh", "/held", "goal");
    for (const auto& entry : operations) {
        const double mine = reporter.Time(std::string(entry.name) + "/ours");
        const double fresh = reporter.Time(std::string(entry.name) + "/direct");
        const double held = reporter.Time(std::string(entry.name) + "/held");
        if (mine <= 0 || fresh <= 0 || held <= 0) {
            std::printf("%-27s %9s\n", entry.label, "not run");
            continue;
        }
        std::string goal = "-";
        if (entry.goal > 0) {
            const double ratio = mine / (entry.toHeld ? held : fresh);
            char text[64];
            std::snprintf(text, sizeof text, "%s %.1f %s", entry.toHeld ? "/held" : "/fresh",
                          entry.goal, ratio <= entry.goal ? "met" : "MISSED");
            goal = text;
        }
        std::printf("%-27s %9.2f %9.2f %9.2f %7.2f %7.2f %s\n", entry.label, mine, fresh, held,
                    mine / fresh, mine / held, goal.c_str());
    }
    const double mixedOurs = reporter.Time("LoadSequence/ours") / 1e6;
    const double mixedDirect = reporter.Time("LoadSequence/direct") / 1e6;
    if (mixedOurs > 0 && mixedDirect > 0) {
        std::printf("%-27s %8.3fs %8.3fs %9s %7.2f %7s < 2 s %s\n", "load sequence (100k ops)",
                    mixedOurs, mixedDirect, "", mixedOurs / mixedDirect, "",
                    mixedOurs < 2.0 ? "met" : "MISSED");
    } else {
        std::printf("%-27s %9s\n", "load sequence (100k ops)", "not run");
    }
    std::printf("%-27s %8.3fs %8.3fs %9s %7.2f\n", "fill 100,000 songs", ours.fillSeconds,
                direct.fillSeconds, "",
                direct.fillSeconds > 0 ? ours.fillSeconds / direct.fillSeconds : 0.0);
    std::printf("system calls per read: tools/engine-syscalls.sh (goal: fcntl + fstat < 0.05)\n");
}

// N get next and N get equal on the engine's songs, for counting their system calls.
void CountReads(Side& side, std::uint32_t reads) {
    std::printf("reads start\n");
    std::fflush(stdout);
    std::string record;
    Picker picker;
    side.songs->GetFirst(0, record);
    for (std::uint32_t i = 0; i < reads; ++i) {
        if (!side.songs->GetNext(record)) {
            side.songs->GetFirst(0, record);
        }
        side.songs->GetEqual(0, Digits(SongNumber(picker.Next(kSongs)), 8), record);
    }
    std::printf("reads done: %u\n", 2 * reads);
}

template <typename Function>
void Register(const std::string& name, Function function, const std::vector<Side*>& sides,
              bool writes, bool manualTime = false) {
    for (Side* side : sides) {
        auto* benchmark = benchmark::RegisterBenchmark(
            (name + "/" + side->name).c_str(),
            [function, side](benchmark::State& state) { function(state, *side); });
        benchmark->Unit(benchmark::kMicrosecond);
        if (writes) {
            benchmark->Iterations(kWrites);
        }
        if (manualTime) {
            benchmark->UseManualTime();
        }
    }
}

}  // namespace
}  // namespace ks::bench

int main(int argc, char** argv) {
    using namespace ks::bench;
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / ("ks-bench-engine-" + std::to_string(getpid()));
    std::vector<char*> arguments;
    long countReads = -1;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            folder = fs::path(argv[++i]) / ("ks-bench-engine-" + std::to_string(getpid()));
            continue;
        }
        if (std::strcmp(argv[i], "--count-reads") == 0 && i + 1 < argc) {
            countReads = std::max(0L, std::atol(argv[++i]));
            continue;
        }
        arguments.push_back(argv[i]);
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    fs::create_directories(folder);

    const ks::engine::EngineOptions defaults;
    DirectSettings settings;
    settings.bundleOperations = defaults.bundleOperations;
    settings.synchronous = ks::engine::kTableSynchronous;
    settings.cacheKib = ks::engine::kTableCacheKib;
    int result = 0;
    {
        ks::engine::RecordEngine engine;
        auto path = [&](const char* name) { return (folder / name).string(); };
        Side ours{"ours",
                  std::make_unique<EngineTable>(engine, path("FDATA22.bt6"), SongTableSpec()),
                  std::make_unique<EngineTable>(engine, path("FDATA32.bt6"), SongExtraTableSpec()),
                  std::make_unique<EngineTable>(engine, path("FDATA31.bt6"), PointerTableSpec()),
                  std::make_unique<EngineTable>(engine, path("FDATA35.bt6"), ScheduleTableSpec()),
                  std::make_unique<EngineTable>(engine, path("FDATB35.bt6"), ScheduleTableSpec())};
        Side direct{
            "direct",
            std::make_unique<DirectTable>(path("songs.db"), SongTableSpec(), settings),
            std::make_unique<DirectTable>(path("extras.db"), SongExtraTableSpec(), settings),
            std::make_unique<DirectTable>(path("pointers.db"), PointerTableSpec(), settings),
            std::make_unique<DirectTable>(path("schedule.db"), ScheduleTableSpec(), settings),
            std::make_unique<DirectTable>(path("source.db"), ScheduleTableSpec(), settings)};
        DirectSettings heldSettings = settings;
        heldSettings.heldCursor = true;
        Side held{
            "held",
            std::make_unique<DirectTable>(path("songs-held.db"), SongTableSpec(), heldSettings),
            std::make_unique<DirectTable>(path("extras-held.db"), SongExtraTableSpec(),
                                          heldSettings),
            std::make_unique<DirectTable>(path("pointers-held.db"), PointerTableSpec(),
                                          heldSettings),
            std::make_unique<DirectTable>(path("schedule-held.db"), ScheduleTableSpec(),
                                          heldSettings),
            std::make_unique<DirectTable>(path("source-held.db"), ScheduleTableSpec(),
                                          heldSettings)};
        std::printf("Filling the tables (%u songs of 900 bytes, six keys)...\n", kSongs);
        std::fflush(stdout);
        Fill(ours);
        if (countReads >= 0) {
            CountReads(ours, static_cast<std::uint32_t>(countReads));
            std::_Exit(0);  // no benchmark, no clean-up reads: only the reads are counted
        }
        Fill(direct);
        Fill(held);

        const std::vector<Side*> sides{&ours, &direct, &held};
        for (int round = 0; round < kRounds; ++round) {
            Register("GetEqual", GetEqual, sides, false);
            Register("GetEqualDuplicateKey", GetEqualDuplicateKey, sides, false);
            Register("GetNext", GetNext, sides, false);
            Register("GetNextDuplicateKey", GetNextDuplicateKey, sides, false);
            Register("GetGreaterOrEqual", GetGreaterOrEqual, sides, false);
            Register("Insert", Insert, sides, true);
            Register("Update", Update, sides, true, true);
            Register("Delete", Delete, sides, true, true);
            for (Side* side : {&ours, &direct}) {
                benchmark::RegisterBenchmark(
                    ("LoadSequence/" + side->name).c_str(),
                    [side](benchmark::State& state) { LoadSequence(state, *side); })
                    ->Unit(benchmark::kMicrosecond)
                    ->Iterations(1);
            }
        }
        for (const int bundle : {1, 10, 50, 100, 200, 500, 1000, 2000}) {
            benchmark::RegisterBenchmark(("InsertWithBundle/" + std::to_string(bundle)).c_str(),
                                         [bundle, &path](benchmark::State& state) {
                                             InsertWithBundle(state, path("FDATA22.bt6"), bundle);
                                         })
                ->Unit(benchmark::kMicrosecond)
                ->Iterations(bundle < 10 ? 300 : 2000);
        }
        SummaryReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        PrintSummary(reporter, ours, direct, settings.bundleOperations);
    }
    benchmark::Shutdown();
    fs::remove_all(folder);
    return result;
}
