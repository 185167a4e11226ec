// When the next load falls due, as the main window shows it and the trace records it.
#include "core/app/load_scheduling.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/app/time_stamp.h"
#include "load_env.h"

namespace ks {
namespace {

using ::testing::ElementsAre;

TEST(TimeStampTest, ReadsBackOnlyItsOwnForm) {
    const DateTime at{2026, 12, 7, 14, 5, 0, 742};
    EXPECT_EQ(TimeStamp(at), "07/12/2026 14:05:00");
    EXPECT_EQ(ParseTimeStamp(" 07/12/2026 14:05:00 "), (DateTime{2026, 12, 7, 14, 5, 0, 0}));
    for (const char* bad :
         {"", "07/12/2026", "2026-12-07 14:05:00", "31/11/2026 10:00:00", "07/12/2026 24:00:00",
          "07/12/2026 1:05:00", "+7/12/2026 14:05:00", "07/12/2026 14:05:00x"}) {
        EXPECT_FALSE(ParseTimeStamp(bad)) << bad;
    }
}

struct NextLoadCase {
    const char* lastLoad;  // [Data] Last_Timing
    int frequency;         // [Data] Frequency
    const char* expected;
};

class NextLoadTest : public ::testing::TestWithParam<NextLoadCase> {};

// The clock reads 07/12/2026 09:05:07 throughout.
TEST_P(NextLoadTest, CountsOnePeriodFromTheLastLoadOrFromNow) {
    test::LoadEnv env;
    const NextLoadCase& c = GetParam();
    env.Start("[Data]\r\nFrequency=" + std::to_string(c.frequency) +
              "\r\nLast_Timing=" + c.lastLoad + "\r\n");

    EXPECT_EQ(env.view.values["timing1"], c.expected);
    EXPECT_EQ(env.state.ProchainChargement, *ParseTimeStamp(c.expected));
    EXPECT_THAT(env.Lines({"Next loading data: "}),
                ElementsAre(std::string("Next loading data: ") + c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NextLoadTest,
    ::testing::Values(NextLoadCase{"07/12/2026 09:00:00", 1, "07/12/2026 09:30:00"},
                      NextLoadCase{"07/12/2026 22:30:00", 6, "08/12/2026 02:30:00"},
                      // No last load, or one that does not read as a time: from now.
                      NextLoadCase{"", 0, "07/12/2026 09:20:07"},
                      NextLoadCase{"07/12/2026 9h", 3, "07/12/2026 10:05:07"},
                      // A stored period no line has: 30 minutes.
                      NextLoadCase{"06/12/2026 23:45:00", 9, "07/12/2026 00:15:00"}));

}  // namespace
}  // namespace ks
