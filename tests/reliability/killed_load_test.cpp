// A load killed at chosen moments of its copy and of every step of its transfer: every table
// file of the local station and of the intermediate folder still passes the table tool's
// check, and the next load brings the local station to exactly the state that a load never
// interrupted gives. The moments are steps of the load (engine calls and event pumps) that
// the program counts when KS_KILL_AT_STEP names one: three in each phase, at its start and a
// third and two thirds through (the soak draws them at random instead).
#include <gtest/gtest.h>
#include <signal.h>

#include <random>
#include <sstream>

#include "station.h"

namespace ks::test {
namespace {

struct Phase {
    std::string name;
    long first = 0;  // the first step of the phase
    long steps = 0;
};

// The phases of an uninterrupted load from the program's own count: the copy, then the steps
// 1 to 11 of the transfer (opening and the schedule check, music, songs, advertising,
// advertising songs, settings, the three purges, closing the source and the destination).
std::vector<Phase> PhasesOfALoad() {
    const WorkStation station;
    const LoadRun run = station.Load({"KS_KILL_AT_STEP=0"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::size_t at = run.output.find("Load steps: ");
    if (at == std::string::npos) {
        ADD_FAILURE() << "the program counted no steps: " << run.output;
        return {};
    }
    std::istringstream words(run.output.substr(at + 12));
    std::vector<std::pair<std::string, long>> starts;
    for (std::string word; words >> word;) {
        const std::size_t colon = word.find(':');
        starts.emplace_back(word.substr(0, colon), std::stol(word.substr(colon + 1)));
        if (starts.back().first == "end") {
            break;
        }
    }
    std::vector<Phase> phases;
    for (std::size_t i = 0; i + 1 < starts.size() && starts[i].first != "12"; ++i) {
        phases.push_back(
            {starts[i].first, starts[i].second, starts[i + 1].second - starts[i].second});
    }
    return phases;
}

TEST(KilledLoad, LeavesWholeTablesAndTheNextLoadGivesTheUninterruptedState) {
    if (Sanitized()) {
        GTEST_SKIP() << "the debug run kills the same loads; the engine's own killed writers "
                        "run under the sanitizers";
    }
    const StationState& expected = WorkStation::Expected();
    const std::vector<Phase> phases = PhasesOfALoad();
    ASSERT_EQ(phases.size(), 12U) << "the copy and the transfer's steps 1 to 11";

    std::mt19937 random(SoakSeed());
    constexpr int kPerPhase = 3;
    Figures figures;
    for (const Phase& phase : phases) {
        ASSERT_GT(phase.steps, 0) << phase.name;
        for (int j = 0; j < kPerPhase; ++j) {
            const long moment =
                phase.first +
                (SoakSeed() == 0
                     ? phase.steps * j / 3
                     : static_cast<long>(random() % static_cast<unsigned long>(phase.steps)));
            SCOPED_TRACE("killed at step " + std::to_string(moment) + ", phase " + phase.name);
            const WorkStation station;
            const LoadRun killed = station.Load({"KS_KILL_AT_STEP=" + std::to_string(moment)});
            ++figures.loads;
            figures.hangs += killed.hung ? 1 : 0;
            if (killed.signal == SIGKILL && !killed.hung) {
                ++figures.kills;
            } else {
                figures.crashes += killed.signal != 0 && !killed.hung ? 1 : 0;
                ADD_FAILURE() << "not killed: exit " << killed.exitCode << ", signal "
                              << killed.signal << "\n"
                              << killed.output;
                continue;
            }
            for (const char* folder : {"Local/Data", "Temporaire"}) {
                const std::vector<std::string> failed = station.FailedChecks(folder);
                EXPECT_TRUE(failed.empty()) << folder << ": " << failed.front();
            }

            const LoadRun next = station.Load();
            ++figures.loads;
            figures.crashes += next.signal != 0 && !next.hung ? 1 : 0;
            figures.hangs += next.hung ? 1 : 0;
            EXPECT_EQ(next.exitCode, 0) << next.output;
            const Comparison comparison = Compare(station.LocalState(), expected);
            figures.lost += comparison.missing;
            EXPECT_TRUE(comparison.Same()) << comparison.first;
        }
    }
    PrintFigures(figures);
}

}  // namespace
}  // namespace ks::test
