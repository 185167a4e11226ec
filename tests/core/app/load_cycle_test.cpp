// The load cycle: when a load runs, what it traces and records, how it waits for the suite's
// scheduler, and what turns it away.
#include "core/app/load_cycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "core/app/time_stamp.h"
#include "core/base/failure.h"
#include "load_env.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

const std::vector<std::string> kCycleLines{"Load data", "Next loading data: "};

class LoadCycleTest : public ::testing::Test {
  protected:
    std::string LastTiming() {
        return env.ini.LectureIni(env.SettingsFile(), "Data", "Last_Timing", "<none>");
    }
    void Tick() { env.cycle.DataGestion(1, false); }
    void Button() { env.cycle.DataGestion(1, true); }

    test::LoadEnv env;
};

// The clock reads 07/12/2026 09:05:07; the last load was at 08:00:00, the period is 30 min.
TEST_F(LoadCycleTest, DueLoadTracesItsStepsInOrderAndSchedulesTheNextFromItsStart) {
    env.Start("[Data]\r\nFrequency=1\r\nLast_Timing=07/12/2026 08:00:00\r\n");
    Tick();

    ASSERT_THAT(env.transfers, SizeIs(1));
    EXPECT_EQ(env.transfers[0].set, 1);
    EXPECT_EQ(env.transfers[0].hourOffset, 1);
    EXPECT_EQ(env.transfers[0].copied.stations.NoStation2, 1);  // the copy's stations
    EXPECT_EQ(env.transfers[0].copied.stations.NoStation1, 2);
    EXPECT_TRUE(env.transfers[0].copied.PresenceFichier53);
    EXPECT_THAT(
        env.Lines(kCycleLines),
        ElementsAre("Next loading data: 07/12/2026 08:30:00",
                    "Load data. Data timing: 07/12/2026 08:30:00", "Load data: Start files copy",
                    "Load data: End files copy", "Load data: Start transfert records",
                    "Load data: End transfert records", "Next loading data: 07/12/2026 09:35:07"));
    // The copy's lines come between the start and the end of the copy.
    const std::vector<std::string> all = env.trace.Messages();
    const auto start = std::find(all.begin(), all.end(), "Load data: Start files copy");
    const auto copy = std::find_if(all.begin(), all.end(),
                                   [](const std::string& l) { return l.starts_with("Copy: "); });
    const auto end = std::find(all.begin(), all.end(), "Load data: End files copy");
    EXPECT_TRUE(start < copy && copy < end);
    EXPECT_EQ(LastTiming(), "07/12/2026 09:05:07");
    EXPECT_EQ(env.view.values["timing0"], "07/12/2026 09:05:07");
    EXPECT_EQ(env.view.values["timing1"], "07/12/2026 09:35:07");
    EXPECT_FALSE(env.state.ChargementEnCours);
    EXPECT_TRUE(env.cycle.LastLoad()[0].transferred);
    EXPECT_FALSE(env.cycle.LastLoad()[1].active);
}

TEST_F(LoadCycleTest, LoadNotDueShowsTheCountdownOnly) {
    env.Start("[Data]\r\nFrequency=1\r\nLast_Timing=07/12/2026 08:37:12\r\n");
    Tick();
    EXPECT_THAT(env.transfers, IsEmpty());
    EXPECT_EQ(env.view.values["countdown"], "  2:05");  // 09:05:07 to 09:07:12

    env.clock.Advance(125'000);
    Tick();
    EXPECT_THAT(env.transfers, SizeIs(1));  // due at exactly the time shown
}

TEST_F(LoadCycleTest, NothingRunsBeforeStartUpHasFinished) {
    env.Start("[Data]\r\nLast_Timing=01/01/2020 00:00:00\r\n");
    env.state.FenetrePrincipaleChargee = false;
    Tick();
    Button();
    EXPECT_THAT(env.transfers, IsEmpty());
    EXPECT_EQ(env.view.values.count("countdown"), 0U);
}

// Set 2 runs when its box is ticked (or greyed, 2): two loads and two next-load lines in one
// call.
TEST_F(LoadCycleTest, SecondSetRunsOnlyWhenTicked) {
    for (const int ticked : {0, 1, 2}) {
        const int active = ticked != 0 ? 1 : 0;
        test::LoadEnv fresh;
        fresh.Start("[Station]\r\nCheckSecours02=" + std::to_string(ticked) + "\r\n");
        fresh.cycle.DataGestion(1, true);
        std::vector<std::int16_t> sets;
        for (const auto& call : fresh.transfers) {
            sets.push_back(call.set);
        }
        EXPECT_EQ(sets, (active ? std::vector<std::int16_t>{1, 2} : std::vector<std::int16_t>{1}));
        EXPECT_THAT(fresh.Lines({"Next loading data: "}), SizeIs(1 + 1 + active)) << ticked;
    }
}

TEST_F(LoadCycleTest, ButtonLoadsAtOnceButNeverWhileALoadRuns) {
    env.Start();
    // A click and a tick arrive while the copy lets events run, and while the transfer runs.
    env.pump.onEvents = [this](int) {
        Button();
        Tick();
    };
    env.duringTransfer = [this](bool&, bool&) { Button(); };
    Button();

    EXPECT_THAT(env.transfers, SizeIs(1));
    EXPECT_THAT(env.Lines({"Load data. Data timing: "}), SizeIs(1));
    EXPECT_GT(env.pump.calls, 60);
    EXPECT_FALSE(env.state.ChargementEnCours);
}

// The suite's scheduler marks a save of station 3 in progress with a "_Saved" key = "O".
struct SchedulerCase {
    const char* value;
    bool waits;
};

class SchedulerSaveTest : public LoadCycleTest,
                          public ::testing::WithParamInterface<SchedulerCase> {};

TEST_P(SchedulerSaveTest, OnlyAnUpperCaseOWaits) {
    env.Start("[Station]\r\nServeur=2\r\n[Data]\r\nLast_Timing=07/12/2026 08:00:00\r\n");
    env.WriteFile("Serveur/Config/KS3_Tools_Scheduler_Save.ini",
                  std::string("[Base_00_Station_01]\r\nBase_Saved=O\r\n"
                              "[Base_00_Station_03]\r\nDate=07/12/2026\r\nFDAT_Saved=") +
                      GetParam().value + "\r\n");
    Tick();
    EXPECT_THAT(env.transfers, SizeIs(GetParam().waits ? 0 : 1));
}

INSTANTIATE_TEST_SUITE_P(Values, SchedulerSaveTest,
                         ::testing::Values(SchedulerCase{"O", true}, SchedulerCase{"o", false},
                                           SchedulerCase{"N", false}, SchedulerCase{"", false}));

TEST_F(LoadCycleTest, SaveInProgressPostponesByAMinuteAndTheHundredthWaitLoadsAnyway) {
    env.Start("[Station]\r\nServeur=2\r\n[Data]\r\nLast_Timing=07/12/2026 09:00:00\r\n");
    env.WriteFile("Serveur/Config/KS3_Tools_Scheduler_Save.ini",
                  "[Base_00_Station_03]\r\nFDAT_Saved=O\r\n");
    env.clock.SetNow({2026, 12, 7, 9, 30, 0, 0});
    Tick();
    EXPECT_THAT(env.transfers, IsEmpty());
    EXPECT_EQ(TimeStamp(env.state.ProchainChargement), "07/12/2026 09:31:00");
    EXPECT_THAT(env.Lines({"Load data"}),
                ElementsAre("Load data. Data timing: 07/12/2026 09:30:00. Waiting because "
                            "schedule backup processing (1)"));
    EXPECT_EQ(LastTiming(), "07/12/2026 09:00:00");  // a wait is not a load
}

// After a downtime the due time is long past: each wait is still a minute from now, so the 99
// waits before the forced load last 99 minutes, not the 50 seconds of 99 ticks.
TEST_F(LoadCycleTest, WaitsFromAnOldDueTimeAreMinutesOfTheClock) {
    env.Start("[Station]\r\nServeur=2\r\n[Data]\r\nLast_Timing=06/12/2026 08:00:00\r\n");
    env.WriteFile("Serveur/Config/KS3_Tools_Scheduler_Save.ini",
                  "[Base_00_Station_03]\r\nFDAT_Saved=O\r\n");
    const DateTime firstWait = env.clock.Now();  // 07/12/2026 09:05:07, a day after 08:30
    while (env.transfers.empty() && env.state.CompteurAttente < 200) {
        Tick();
        env.clock.Advance(500);
    }
    ASSERT_THAT(env.transfers, SizeIs(1));
    EXPECT_EQ(env.state.CompteurAttente, 0);
    EXPECT_EQ(LastTiming(), TimeStamp(AddSeconds(firstWait, 99 * 60)));
    const std::vector<std::string> lines = env.Lines({"Load data. Data timing: "});
    ASSERT_THAT(lines, SizeIs(101));
    EXPECT_EQ(lines[0],
              "Load data. Data timing: 06/12/2026 08:30:00. Waiting because schedule backup "
              "processing (1)");
    EXPECT_EQ(lines[1],
              "Load data. Data timing: 07/12/2026 09:06:07. Waiting because schedule backup "
              "processing (2)");
    EXPECT_EQ(lines[99],
              "Load data. Data timing: 07/12/2026 10:44:07. Waiting because schedule backup "
              "processing (100)");
    EXPECT_EQ(lines[100], "Load data. Data timing: 07/12/2026 10:44:07");
}

TEST_F(LoadCycleTest, FailedFolderCheckStillMovesTheLastLoadAndSchedulesTheNext) {
    env.Start("[Data]\r\nFrequency=0\r\nLast_Timing=07/12/2026 08:00:00\r\n");
    fs::remove_all(env.dir.Path() / "Temporaire");
    Tick();

    EXPECT_THAT(env.transfers, IsEmpty());
    EXPECT_THAT(env.dialogs.messages, SizeIs(1));
    EXPECT_EQ(LastTiming(), "07/12/2026 09:05:07");
    EXPECT_THAT(
        env.Lines(kCycleLines),
        ElementsAre("Next loading data: 07/12/2026 08:15:00",
                    "Load data. Data timing: 07/12/2026 08:15:00", "Load data: Start files copy",
                    "Load data: End files copy", "Load data: Transfert records not done",
                    "Next loading data: 07/12/2026 09:20:07"));
    EXPECT_TRUE(env.cycle.LastLoad()[0].copyRefused);
}

TEST_F(LoadCycleTest, TransferStopsOnStatusEightOrNinetyFiveAreTraced) {
    struct Case {
        bool err95;
        bool err8;
        const char* line;
    };
    for (const Case& c : {Case{true, false, "Load data: cancelled because of Pervasive Err: 95"},
                          Case{false, true, "Load data: cancelled because of Pervasive Err: 8"},
                          Case{true, true, "Load data: cancelled because of Pervasive Err: 8"}}) {
        test::LoadEnv fresh;
        fresh.Start();
        fresh.duringTransfer = [&c](bool& err95, bool& err8) {
            err95 = c.err95;
            err8 = c.err8;
        };
        fresh.cycle.DataGestion(1, true);
        EXPECT_THAT(fresh.Lines({"Load data: cancelled", "Load data: End transfert"}),
                    ElementsAre(c.line));
        EXPECT_THAT(fresh.Lines({"Next loading data: "}), SizeIs(2));
    }
}

TEST_F(LoadCycleTest, ErrorInsideALoadIsReportedAndTheLoadStillEnds) {
    env.Start();
    env.duringTransfer = [](bool&, bool&) { throw Failure(kErrFileNotFound, "File not found"); };
    Button();

    EXPECT_FALSE(env.state.ChargementEnCours);
    bool reported = false;
    for (const auto& line : env.trace.lines) {
        reported = reported || (line.incident &&
                                line.message.find("Frm_Main:DataGestion") != std::string::npos);
    }
    EXPECT_TRUE(reported);
    EXPECT_THAT(env.Lines({"Next loading data: "}), SizeIs(2));

    env.duringTransfer = nullptr;
    Button();  // the next load is not turned away
    EXPECT_THAT(env.transfers, SizeIs(2));
}

TEST_F(LoadCycleTest, ShorterPeriodChosenAfterTheLastLoadMakesTheLoadDueAtOnce) {
    env.Start("[Data]\r\nFrequency=6\r\nLast_Timing=07/12/2026 08:05:07\r\n");
    Tick();
    EXPECT_THAT(env.transfers, IsEmpty());

    env.settings.SelectFrequence(0);  // 15 minutes: due since 08:20:07
    EXPECT_EQ(env.view.values["timing1"], "07/12/2026 08:20:07");
    Tick();
    EXPECT_THAT(env.transfers, SizeIs(1));
}

}  // namespace
}  // namespace ks
