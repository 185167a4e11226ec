// What the operator of an unattended machine reads besides the last attempt: whether the
// loads are fresh (the last success at most two periods old), late or failing, and how the
// facts kept in the settings file read on the window and in --status.
#include "core/app/load_health.h"

#include <gtest/gtest.h>

#include "core/sys/ini_file.h"
#include "load_env.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

TEST(LoadHealthTest, FreshLateOrFailingFromTheLastSuccessTheLastResultAndThePeriod) {
    const DateTime now{2026, 12, 7, 10, 0, 0, 0};
    struct Row {
        const char* success;
        const char* result;
        const char* frequency;  // "" missing: 30 minutes
        Health health;
    };
    for (const Row& row : {
             Row{"07/12/2026 09:00:00", "0", "", Health::Fresh},    // 60 min, two periods
             Row{"07/12/2026 08:59:59", "0", "", Health::Late},     // one second more
             Row{"07/12/2026 09:29:59", "0", "0", Health::Late},    // 15 min period
             Row{"07/12/2026 02:00:00", "0", "6", Health::Fresh},   // 240 min period
             Row{"07/12/2026 09:50:00", "1", "", Health::Failing},  // last attempt failed
             Row{"07/12/2026 09:50:00", "", "", Health::Fresh},     // no result recorded
             Row{"", "0", "", Health::Failing},                     // never succeeded
             Row{"32/12/2026 09:50:00", "0", "", Health::Failing},  // not a time stamp
         }) {
        std::string text = "[Data]\r\nLast_Success=" + std::string(row.success) +
                           "\r\nLast_Result=" + row.result + "\r\n";
        if (*row.frequency != '\0') {
            text += "Frequency=" + std::string(row.frequency) + "\r\n";
        }
        EXPECT_EQ(Evaluate(ReadLoadFacts(IniFile(text)), now), row.health)
            << row.success << " " << row.result << " " << row.frequency;
    }
}

TEST(LoadHealthTest, TheFactsAsTheOperatorReadsThem) {
    LoadFacts facts;
    EXPECT_EQ(LastSuccessText(facts), "aucun");
    EXPECT_EQ(ScheduleText(facts), "Programme chargé : inconnu"_cp);
    EXPECT_EQ(LastResultText(facts), "");
    facts = ReadLoadFacts(
        IniFile("[Data]\r\nLast_Success=07/12/2026 09:00:00\r\nLast_Success_Sets=1,2\r\n"
                "Schedule_Until=2026121423\r\nLast_Result=2\r\n"));
    EXPECT_EQ(LastSuccessText(facts), "07/12/2026 09:00:00 (Secours 01 et 02)");
    EXPECT_EQ(ScheduleText(facts), "Programme chargé jusqu'au 14/12/2026 23:00"_cp);
    EXPECT_EQ(LastResultText(facts), "échec (transfert annulé, erreur 8 ou 95)"_cp);
    facts.scheduleUntil = "-";
    EXPECT_EQ(ScheduleText(facts), "Programme chargé : aucun"_cp);
}

// A set postponed by the scheduler's save has not run: the record is that of the sets that
// did, a good load of set 1 is a success, and only everything postponed records nothing.
TEST(LoadHealthTest, RecordsTheSetsThatRanAndLeavesPostponedOnesOut) {
    const DateTime now{2026, 12, 7, 10, 0, 0, 0};
    const SetOutcome loaded{.active = true, .transferred = true};
    const SetOutcome postponed{.active = true, .postponed = true};
    const SetOutcome failed{.active = true, .copyRefused = true};
    struct Row {
        std::array<SetOutcome, 2> sets;
        const char* result;  // "" nothing recorded
        const char* success;
        const char* successSets;
    };
    for (const Row& row : {
             Row{{loaded, postponed}, "0", "07/12/2026 09:58:00", "1"},
             Row{{loaded, loaded}, "0", "07/12/2026 09:58:00", "1,2"},
             Row{{failed, postponed}, "1", "", ""},
             Row{{postponed, postponed}, "", "", ""},
         }) {
        test::LoadEnv env;
        env.Start();
        LoadHealth health({env.ini, env.config, env.settings, env.view, env.errors});
        health.Record(row.sets, 0, "07/12/2026 09:58:00", std::nullopt, now);
        const auto value = [&](const char* key) {
            return env.ini.LectureIni(env.SettingsFile(), "Data", key, "");
        };
        EXPECT_EQ(value("Last_Result"), row.result);
        EXPECT_EQ(value("Last_Success"), row.success);
        EXPECT_EQ(value("Last_Success_Sets"), row.successSets);
    }
}

}  // namespace
}  // namespace ks
