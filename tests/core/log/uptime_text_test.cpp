#include "core/log/uptime_text.h"

#include <gtest/gtest.h>

namespace ks {
namespace {

constexpr std::uint64_t kSecond = 1000;
constexpr std::uint64_t kMinute = 60 * kSecond;
constexpr std::uint64_t kHour = 60 * kMinute;
constexpr std::uint64_t kDay = 24 * kHour;

TEST(UptimeTextTest, ShowsDaysAndHoursOnlyWhenThereAreSome) {
    EXPECT_EQ(UptimeText(3 * kDay + 4 * kHour + 5 * kMinute + 6 * kSecond), "3 D 4 H 5 Min 6 Sec");
    EXPECT_EQ(UptimeText(12 * kMinute), "12 Min 0 Sec");
    EXPECT_EQ(UptimeText(kHour), "1 H 0 Min 0 Sec");
    EXPECT_EQ(UptimeText(2 * kDay), "2 D 0 H 0 Min 0 Sec");
    EXPECT_EQ(UptimeText(0), "0 Min 0 Sec");
}

TEST(UptimeTextTest, SecondsAreRoundedWhileMinutesAreCut) {
    EXPECT_EQ(UptimeText(6'600), "0 Min 7 Sec");
    EXPECT_EQ(UptimeText(6'400), "0 Min 6 Sec");
    // 59.6 s: the minute is not reached yet but the rounded seconds already wrap to 0.
    EXPECT_EQ(UptimeText(59'600), "0 Min 0 Sec");
}

TEST(UptimeTextTest, LongUptimesBeyondThe32BitRange) {
    EXPECT_EQ(UptimeText(100 * kDay + 23 * kHour + 59 * kMinute + 59 * kSecond),
              "100 D 23 H 59 Min 59 Sec");
}

}  // namespace
}  // namespace ks
