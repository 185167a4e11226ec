#include "core/log/trace_prefix.h"

#include <gtest/gtest.h>

#include "core/base/failure.h"

namespace ks {
namespace {

TEST(TimingMilliSecTest, HoursMinutesSecondsAndThreeDigitMilliseconds) {
    EXPECT_EQ(TimingMilliSec(DateTime{2026, 12, 7, 9, 5, 7, 42}), "09:05:07:042");
    EXPECT_EQ(TimingMilliSec(DateTime{2026, 12, 7, 23, 59, 59, 999}), "23:59:59:999");
    EXPECT_EQ(TimingMilliSec(DateTime{2026, 12, 7, 0, 0, 0, 0}), "00:00:00:000");
}

TEST(TracePrefixFieldsTest, ContextNumbersAndLevels) {
    EXPECT_EQ(ContextField(-1), " :");
    EXPECT_EQ(ContextField(0), "0:");
    EXPECT_EQ(ContextField(22), "22:");
    EXPECT_EQ(LevelField(-1), " :");
    EXPECT_EQ(LevelField(0), "0:");
    EXPECT_EQ(LevelField(9), "9:");
    EXPECT_EQ(LevelField(10), "A:");
    EXPECT_EQ(LevelField(11), "B:");
    EXPECT_EQ(LevelField(35), "Z:");
    EXPECT_EQ(LevelField(200), std::string("\xff:", 2));
    EXPECT_THROW(LevelField(201), Failure);
}

TEST(ElapsedFieldTest, FirstLineSetsTheMark) {
    std::uint64_t mark = 0;
    EXPECT_EQ(ElapsedField(5000, mark), "    :");
    EXPECT_EQ(mark, 5000U);
}

TEST(ElapsedFieldTest, ShortGapsAddUpUntilOneExceeds20Ms) {
    std::uint64_t mark = 1000;
    EXPECT_EQ(ElapsedField(1015, mark), "    :");
    EXPECT_EQ(mark, 1000U);
    EXPECT_EQ(ElapsedField(1025, mark), "  25:");
    EXPECT_EQ(mark, 1025U);
    EXPECT_EQ(ElapsedField(1045, mark), "    :");  // exactly 20 ms
    EXPECT_EQ(ElapsedField(1046, mark), "  21:");
}

TEST(ElapsedFieldTest, FourDigitsThenCrosses) {
    std::uint64_t mark = 1000;
    EXPECT_EQ(ElapsedField(1135, mark), " 135:");
    EXPECT_EQ(ElapsedField(1135 + 9999, mark), "9999:");
    EXPECT_EQ(mark, 11134U);
    EXPECT_EQ(ElapsedField(11134 + 10000, mark), "xxxx:");
    EXPECT_EQ(mark, 21134U);
}

TEST(ElapsedFieldTest, ATickBehindTheMarkIsAShortGap) {
    std::uint64_t mark = 5000;
    EXPECT_EQ(ElapsedField(4000, mark), "    :");
    EXPECT_EQ(mark, 5000U);
}

TEST(ElapsedFieldTest, TicksHalfTheCounterApartAreALongGap) {
    // Found by the trace-line fuzz target: the signed difference overflowed.
    std::uint64_t mark = 200;
    const std::uint64_t tick = (std::uint64_t{1} << 63U) + 100;
    EXPECT_EQ(ElapsedField(tick, mark), "xxxx:");
    EXPECT_EQ(mark, tick);
}

TEST(TracePrefixTest, LineWithoutContext135MsAfterTheMark) {
    std::uint64_t mark = 1000;
    EXPECT_EQ(TracePrefix("09:05:07:042", -1, -1, -1, 1135, mark, false),
              "09:05:07:042 : : : : 135:");
}

TEST(TracePrefixTest, FirstLineOfABatchStartsWithAStar) {
    std::uint64_t mark = 0;
    EXPECT_EQ(TracePrefix("09:05:07:042", 0, 22, -1, 1000, mark, true),
              "*9:05:07:042 :0:22: :    :");
}

}  // namespace
}  // namespace ks
