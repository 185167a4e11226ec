// Whole loads of the core's composition in this process, its engine behind a fault engine that
// answers chosen statuses at chosen calls, then random statuses at random calls: no load
// crashes or spins, every transfer reaches its closing steps and leaves no table file open,
// every fault the load must report is in the trace, status 95 skips the later phases and
// status 8 the advertising songs. The lock statuses make the call layer wait and try again on
// a fake clock, so their waits cost nothing. A disk that fills up mid-load is injected in the
// engine's file layer. Between the faulted loads, a load without faults gives the local
// station exactly the state of a load never faulted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <random>
#include <utility>

#include "core/app/load_once.h"
#include "core/app/loader.h"
#include "engine/faulty_vfs.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "station.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/fake_load_view.h"
#include "support/fault_engine.h"
#include "support/real_db_stack.h"

namespace ks::test {
namespace {

using ::testing::Contains;
using ::testing::Not;
namespace st = engine::status;

// Every status the faults answer.
const std::vector<std::int16_t> kStatuses{2, 4, 5, 8, 9, 12, 22, 30, 46, 80, 84, 85, 95};
constexpr std::int16_t kConflict = 80;
// The loads run at 18:00 on the last day the station's server schedule covers: every phase
// runs, on the five hours left of that day, so that two hundred loads stay affordable.
constexpr DateTime kLoadTime{2026, 12, 14, 18, 0, 0, 0};
constexpr const char* kLoadDay = "20261214";  // its trace log
// Past this many engine calls a load is taken to spin: every later call answers 95, which
// ends it, and the test fails. A load here makes about 5,000.
constexpr long kSpinningCalls = 1'000'000;

// Statuses that are not always reported: the lock and conflict statuses the call layer waits
// on and tries again, and those a read or an insert meets in a normal run.
bool RetriedOrNormal(std::int16_t status) {
    return status == kConflict || status == 84 || status == 85 || status == st::kKeyNotFound ||
           status == st::kDuplicateKey || status == st::kEndOfFile;
}

struct Fault {
    std::int16_t status;
    int step;  // the transfer's progress step when it was answered (0 before the transfer)
    std::uint16_t operation;
};

// A "not found" forged on the lookup of a song's row in the destination (songs step 3,
// advertising songs step 5): the single-row replace then inserts the source's row beside the
// one still there, and in FDAT024 and FDAT026, whose key allows duplicates, every later load
// replaces only one of the two. The engine never answers so for a row it has; the test allows
// one extra row there for each such lie.
bool ForgedNotFound(const Fault& fault) {
    return fault.status == st::kKeyNotFound && fault.operation == engine::op::kGetEqual &&
           (fault.step == 3 || fault.step == 5);
}
constexpr std::array<int, 2> kDuplicateKeyTables{24, 26};

struct FaultedLoad {
    int exitCode = -1;
    std::vector<Fault> faults;
    long calls = 0;
    bool spun = false;
    int fatal = 0;
    std::vector<int> steps;              // the transfer's progress steps shown, in order
    std::vector<std::string> messages;   // of the trace
    std::vector<std::string> openFiles;  // files of the station this process had open after it
    std::vector<int> sleeps;
};

// "status@step ..." of the faults a load met.
std::string Faults(const FaultedLoad& load) {
    std::string text;
    for (const Fault& fault : load.faults) {
        text += std::to_string(fault.status) + "@" + std::to_string(fault.step) + " ";
    }
    return text;
}

// The value of the transfer's progress bar ("0..12:N").
int StepOf(const std::string& range) {
    return std::stoi(range.substr(range.find(':') + 1));
}

std::vector<std::string> OpenFilesUnder(const std::filesystem::path& root) {
    std::vector<std::string> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().starts_with(root.string())) {
            open.push_back(target.string());
        }
    }
    return open;
}

bool Traced(const std::vector<std::string>& messages, const std::string& text) {
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

// The framed line of a report of `status` ("Err: Pervasive: 46").
bool Reported(const std::vector<std::string>& messages, std::int16_t status) {
    if (status != kConflict) {
        return Traced(messages, "Err: Pervasive: " + std::to_string(status));
    }
    // A conflict's report goes to the trace without its framed status line: its text.
    return std::any_of(messages.begin(), messages.end(), [](const std::string& message) {
        return message.find("\nErr: 80\n") != std::string::npos;
    });
}

// The framed report lines of a load, for a failure's message.
std::string Reports(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages) {
        if (message.starts_with("Err: Pervasive: ")) {
            text += message + "; ";
        }
    }
    return text.empty() ? "no report" : text;
}

class FaultedLoads : public ::testing::Test {
  protected:
    // One load of the station; `choose` picks the status of a call instead of the engine.
    FaultedLoad Run(const FaultEngine::Rule& choose,
                    const engine::EngineOptions& options = FastEngineOptions()) {
        FaultedLoad load;
        engine::RecordEngine engine(options);
        FaultEngine faults(engine);
        FakeClock clock(kLoadTime);
        FakeEventPump pump;
        FakeDialogs dialogs;
        FakeLoadView view;
        faults.rule = [&](std::uint16_t operation) -> std::optional<std::int16_t> {
            if (faults.calls > kSpinningCalls) {
                load.spun = true;
                return st::kEngineGone;
            }
            const std::optional<std::int16_t> status = choose ? choose(operation) : std::nullopt;
            if (status) {
                const auto progress = view.values.find("progress");
                load.faults.push_back({*status,
                                       progress != view.values.end() ? StepOf(progress->second) : 0,
                                       operation});
            }
            return status;
        };
        const std::size_t traceFrom = station.TraceSize(kLoadDay);
        {
            Loader loader({faults, clock, pump, dialogs, view, station.ProgramFolder(),
                           [&] { ++load.fatal; }});
            load.exitCode = LoadOnce(loader);
            load.openFiles = OpenFilesUnder(station.Root());
        }
        load.calls = faults.calls;
        load.messages = station.TraceMessages(traceFrom, kLoadDay);
        load.sleeps = clock.sleeps;
        for (const std::string& call : view.calls) {
            if (call.starts_with("progress=")) {
                load.steps.push_back(StepOf(call));
            }
        }
        ++figures.loads;
        figures.faults += static_cast<long>(load.faults.size());
        m_forgedNotFound += std::count_if(load.faults.begin(), load.faults.end(), ForgedNotFound);
        figures.hangs += load.spun ? 1 : 0;
        return load;
    }

    // What every load must show, whatever its faults.
    static void ExpectSound(const FaultedLoad& load) {
        EXPECT_FALSE(load.spun) << "more than " << kSpinningCalls << " engine calls";
        EXPECT_EQ(load.fatal, 0) << "a call on a table that was not open";
        for (const int step : {10, 11, 12}) {
            EXPECT_THAT(load.steps, Contains(step)) << "the transfer did not close";
        }
        EXPECT_TRUE(load.openFiles.empty()) << load.openFiles.front() << " is still open";

        bool reportable = false;
        for (const Fault& fault : load.faults) {
            if (fault.step == 0) {
                // The copy's look at the shape of a copied table: a table it cannot look at is
                // left to the transfer's open, which reports what it meets itself.
                continue;
            }
            if (!RetriedOrNormal(fault.status)) {
                reportable = true;
                EXPECT_TRUE(Reported(load.messages, fault.status))
                    << "status " << fault.status << " at step " << fault.step << " not reported";
            } else if (fault.status == kConflict || fault.status == 84 || fault.status == 85) {
                // Waited on and tried again through the call layer, or reported by the opening.
                EXPECT_TRUE(!load.sleeps.empty() || Reported(load.messages, fault.status))
                    << "status " << fault.status << " at step " << fault.step;
            }
        }
        if (reportable) {
            EXPECT_TRUE(load.exitCode == kExitErrors || load.exitCode == kExitCancelled)
                << load.exitCode;
        }

        // 95 in a phase (steps 2 to 9) ends the transfer there: the closing comes next. At step
        // 1 it does too when the check of the source schedule meets it, not when an open does.
        const bool cancelled8 =
            Traced(load.messages, "Load data: cancelled because of Pervasive Err: 8");
        const bool cancelled95 =
            Traced(load.messages, "Load data: cancelled because of Pervasive Err: 95");
        const auto lost = std::find_if(load.faults.begin(), load.faults.end(), [](const Fault& f) {
            return f.status == st::kEngineGone && f.step >= 2 && f.step <= 9;
        });
        if (lost != load.faults.end()) {
            EXPECT_TRUE(cancelled95 || cancelled8);
            const auto at = std::find(load.steps.begin(), load.steps.end(), lost->step);
            ASSERT_NE(at, load.steps.end());
            ASSERT_NE(at + 1, load.steps.end());
            EXPECT_EQ(*(at + 1), 10) << "a phase ran after status 95 at step " << lost->step;
        } else if (std::none_of(load.faults.begin(), load.faults.end(), [](const Fault& f) {
                       return f.status == st::kEngineGone && f.step == 1;
                   })) {
            EXPECT_FALSE(cancelled95) << Faults(load);
        }
        // 8 on the advertising schedule skips its songs, and only that.
        if (cancelled8) {
            EXPECT_THAT(load.steps, Not(Contains(5)));
            EXPECT_TRUE(std::any_of(load.faults.begin(), load.faults.end(), [](const Fault& f) {
                return f.status == st::kInvalidPositioning && f.step == 4;
            }));
        }
    }

    // A load without faults: it succeeds and the local station is as if no load had failed.
    void ExpectRecovered(const engine::EngineOptions& options = FastEngineOptions()) {
        const FaultedLoad clean = Run(nullptr, options);
        ExpectSound(clean);
        EXPECT_EQ(clean.exitCode, kExitLoaded);
        StationState got = station.LocalState();
        StationState want = m_clean;
        StationState gotDuplicates;
        StationState wantDuplicates;
        for (const int table : kDuplicateKeyTables) {
            gotDuplicates[table] = std::move(got[table]);
            wantDuplicates[table] = std::move(want[table]);
            got.erase(table);
            want.erase(table);
        }
        const Comparison comparison = Compare(got, want);
        const Comparison duplicates = Compare(gotDuplicates, wantDuplicates);
        figures.lost += comparison.missing + duplicates.missing;
        EXPECT_TRUE(comparison.Same()) << comparison.first;
        EXPECT_EQ(duplicates.missing, 0) << duplicates.first;
        EXPECT_LE(duplicates.extra, m_forgedNotFound) << duplicates.first;
    }

    // Two clean loads first: the first also purges the station's past days, the second makes
    // the calls every later load makes (the faults are spread over them) and leaves the state
    // every later clean load must give.
    long CallsOfACleanLoad() {
        for (int i = 0; i < 2; ++i) {
            const FaultedLoad clean = Run(nullptr);
            ExpectSound(clean);
            EXPECT_EQ(clean.exitCode, kExitLoaded);
            m_calls = clean.calls;
        }
        m_clean = station.LocalState();
        return m_calls;
    }

    WorkStation station;
    Figures figures;

  private:
    StationState m_clean;
    long m_forgedNotFound = 0;
    long m_calls = 0;
};

// One fault a load: each status at positions spread over the whole load (in the soak, at
// random positions).
TEST_F(FaultedLoads, OneChosenFaultALoad) {
    const long calls = CallsOfACleanLoad();
    std::mt19937 random(SoakSeed());
    // Under the sanitizers, three times slower, each status once.
    const int positions = Sanitized() ? 1 : 8;
    const auto chosen = static_cast<long>(kStatuses.size()) * positions;
    for (long i = 0; i < chosen; ++i) {
        const std::int16_t status = kStatuses[static_cast<std::size_t>(i) % kStatuses.size()];
        const long at =
            1 + (SoakSeed() != 0 ? static_cast<long>(random() % static_cast<unsigned long>(calls))
                                 : (calls - 1) * i / chosen);
        SCOPED_TRACE("status " + std::to_string(status) + " at call " + std::to_string(at));
        long call = 0;
        ExpectSound(Run([&call, status, at](std::uint16_t) -> std::optional<std::int16_t> {
            return ++call == at ? std::optional<std::int16_t>(status) : std::nullopt;
        }));
        if (i % 50 == 49) {
            ExpectRecovered();
        }
    }
    ExpectRecovered();
    PrintFigures(figures);
}

// About three faults a load at random calls with random statuses, none on the call after a
// conflict (the layer's re-read of the record, whose status is its own).
TEST_F(FaultedLoads, RandomFaults) {
    const long calls = CallsOfACleanLoad();
    const int loads = Sanitized() ? 20 : 100;  // three times slower under the sanitizers
    for (int i = 0; i < loads; ++i) {
        const auto seed = SoakSeed() * 1000U + static_cast<unsigned>(i);
        SCOPED_TRACE("random faults, seed " + std::to_string(seed));
        FaultEngine::Rule pick =
            RandomFaults(seed, static_cast<std::uint32_t>(calls / 3), kStatuses);
        bool afterConflict = false;
        ExpectSound(Run([&](std::uint16_t operation) -> std::optional<std::int16_t> {
            if (std::exchange(afterConflict, false)) {
                return std::nullopt;
            }
            const std::optional<std::int16_t> status = pick(operation);
            afterConflict = status == kConflict;
            return status;
        }));
        if (i % 50 == 49) {
            ExpectRecovered();
        }
    }
    ExpectRecovered();
    PrintFigures(figures);
}

// A disk that fills up in the middle of a load, injected in the engine's file layer (where the
// machine lets the test mount a tmpfs, the bad-input test fills a real one): every write
// answers 18 from then on and is reported, the local tables stay whole, and once there is
// room again the next load brings the station to the state of a load never interrupted.
TEST_F(FaultedLoads, ADiskThatFillsUpMidLoadLosesNothing) {
    engine::test::FaultyVfs disk("ks-reliability-disk");
    engine::EngineOptions options = FastEngineOptions();
    options.vfs = disk.Name();
    const long calls = CallsOfACleanLoad();
    for (const long at : {calls / 6, calls / 3, calls / 2, calls * 3 / 4}) {
        SCOPED_TRACE("the disk is full from call " + std::to_string(at));
        long call = 0;
        const FaultedLoad load = Run(
            [&](std::uint16_t) -> std::optional<std::int16_t> {
                if (++call == at) {
                    disk.FailWritesWith(SQLITE_FULL);
                }
                return std::nullopt;
            },
            options);
        disk.FailWritesWith(SQLITE_OK);
        EXPECT_FALSE(load.spun);
        EXPECT_EQ(load.exitCode, kExitErrors);
        EXPECT_TRUE(Reported(load.messages, st::kDiskFull)) << Reports(load.messages);
        EXPECT_THAT(load.steps, Contains(12)) << "the transfer did not close";
        EXPECT_TRUE(load.openFiles.empty()) << load.openFiles.front() << " is still open";
        const std::vector<std::string> failed = station.FailedChecks("Local/Data");
        EXPECT_TRUE(failed.empty()) << failed.front();
        ExpectRecovered(options);
    }
    PrintFigures(figures);
}

}  // namespace
}  // namespace ks::test
