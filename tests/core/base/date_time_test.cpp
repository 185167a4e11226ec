#include "core/base/date_time.h"

#include <gtest/gtest.h>

namespace ks {
namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return DateTime{year, month, day, hour, minute, second, 0};
}

TEST(AddDaysTest, CrossesMonthsYearsAndLeapDays) {
    EXPECT_EQ(AddDays(At(2026, 1, 31, 9, 15), 1), At(2026, 2, 1, 9, 15));
    EXPECT_EQ(AddDays(At(2026, 12, 31, 23, 59, 59), 1), At(2027, 1, 1, 23, 59, 59));
    EXPECT_EQ(AddDays(At(2027, 1, 1), -1), At(2026, 12, 31));
    EXPECT_EQ(AddDays(At(2028, 2, 28), 1), At(2028, 2, 29));
    EXPECT_EQ(AddDays(At(2028, 2, 29), 1), At(2028, 3, 1));
    EXPECT_EQ(AddDays(At(2026, 2, 28), 1), At(2026, 3, 1));
    EXPECT_EQ(AddDays(At(2100, 2, 28), 1), At(2100, 3, 1));   // not a leap year
    EXPECT_EQ(AddDays(At(2000, 2, 28), 1), At(2000, 2, 29));  // a leap year
    EXPECT_EQ(AddDays(At(2026, 3, 7), 7), At(2026, 3, 14));
    EXPECT_EQ(AddDays(At(2026, 3, 7), -3), At(2026, 3, 4));
}

TEST(AddDaysTest, KeepsTheTimeOfDayAcrossSummerTimeChanges) {
    // The last Sunday of March has 23 hours in Europe: the hour stays the same by number.
    EXPECT_EQ(AddDays(At(2026, 3, 28, 2, 30), 1), At(2026, 3, 29, 2, 30));
    DateTime withMs = At(2026, 10, 24, 23, 0);
    withMs.millisecond = 250;
    EXPECT_EQ(AddDays(withMs, 1).millisecond, 250);
}

TEST(AddSecondsTest, MovesForwardAndBackAcrossDays) {
    EXPECT_EQ(AddSeconds(At(2026, 12, 31, 23, 59, 30), 45), At(2027, 1, 1, 0, 0, 15));
    EXPECT_EQ(AddSeconds(At(2026, 1, 1, 0, 0, 10), -11), At(2025, 12, 31, 23, 59, 59));
    EXPECT_EQ(AddSeconds(At(2028, 3, 1, 0, 30), -3600), At(2028, 2, 29, 23, 30));
    EXPECT_EQ(AddSeconds(At(2026, 3, 7, 12), -86400LL * 3), At(2026, 3, 4, 12));
    EXPECT_EQ(AddSeconds(At(2026, 3, 7, 12), 0), At(2026, 3, 7, 12));
}

TEST(SecondsBetweenTest, SignFollowsTheOrder) {
    EXPECT_EQ(SecondsBetween(At(2026, 12, 31, 23, 59), At(2027, 1, 1, 0, 1)), 120);
    EXPECT_EQ(SecondsBetween(At(2027, 1, 1, 0, 1), At(2026, 12, 31, 23, 59)), -120);
    EXPECT_EQ(SecondsBetween(At(2028, 2, 28), At(2028, 3, 1)), 2 * 86400);
}

TEST(DayOfWeekTest, SundayIsOne) {
    EXPECT_EQ(DayOfWeek(At(2026, 3, 1)), 1);    // Sunday
    EXPECT_EQ(DayOfWeek(At(2026, 3, 2)), 2);    // Monday
    EXPECT_EQ(DayOfWeek(At(2026, 3, 7)), 7);    // Saturday
    EXPECT_EQ(DayOfWeek(At(2028, 2, 29)), 3);   // Tuesday
    EXPECT_EQ(DayOfWeek(At(1899, 12, 30)), 7);  // the classic day zero was a Saturday
}

TEST(DateOnlyTest, DropsTheTimeOfDay) {
    DateTime value = At(2026, 3, 7, 21, 45, 59);
    value.millisecond = 999;
    EXPECT_EQ(DateOnly(value), At(2026, 3, 7));
}

TEST(IsValidTest, RefusesImpossibleDatesAndTimes) {
    EXPECT_TRUE(IsValid(At(2028, 2, 29, 23, 59, 59)));
    EXPECT_FALSE(IsValid(At(2026, 2, 29)));
    EXPECT_FALSE(IsValid(At(2026, 4, 31)));
    EXPECT_FALSE(IsValid(At(2026, 0, 1)));
    EXPECT_FALSE(IsValid(At(2026, 13, 1)));
    EXPECT_FALSE(IsValid(At(2026, 1, 0)));
    EXPECT_FALSE(IsValid(At(2026, 1, 1, 24)));
    EXPECT_FALSE(IsValid(At(2026, 1, 1, 0, 60)));
    EXPECT_FALSE(IsValid(At(2026, 1, 1, 0, 0, -1)));
    EXPECT_TRUE(IsValid(DateTime{}));
}

}  // namespace
}  // namespace ks
