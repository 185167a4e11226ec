#include "core/log/tick_count.h"

#include <gtest/gtest.h>

#include "support/fake_clock.h"

namespace ks {
namespace {

constexpr std::uint64_t k32BitRange = 4294967296ULL;

TEST(TickCounterTest, UsesTheWhole64BitCountWhenAvailable) {
    test::FakeClock clock;
    clock.SetTick(5'000'000'000ULL);
    TickCounter ticks(clock);
    EXPECT_EQ(ticks.TimingTickCount(), 5'000'000'000ULL);
}

TEST(TickCounterTest, FallsBackTo32BitsWhenThe64BitCountIsMissing) {
    test::FakeClock clock;
    clock.SetTick64Available(false);
    clock.SetTick(k32BitRange + 1234);
    TickCounter ticks(clock);
    EXPECT_EQ(ticks.TimingTickCount(), 1234U);
}

TEST(TickCounterTest, AvailabilityIsTestedOnceAtConstruction) {
    test::FakeClock clock;
    clock.SetTick64Available(false);
    clock.SetTick(k32BitRange + 10);
    TickCounter ticks(clock);
    clock.SetTick64Available(true);  // appearing later changes nothing
    EXPECT_EQ(ticks.TimingTickCount(), 10U);
}

TEST(TickCounterTest, A64BitReadingOfZeroFallsBackTo32Bits) {
    test::FakeClock clock;
    clock.SetTick(777);
    TickCounter ticks(clock);
    EXPECT_EQ(ticks.TimingTickCount(), 777U);
    clock.SetTick64Available(false);  // the 64-bit call now answers 0
    clock.SetTick(900);
    EXPECT_EQ(ticks.TimingTickCount(), 900U);
}

TEST(TickCounterTest, EachWrapOfThe32BitCountAddsOneLessThanItsRange) {
    test::FakeClock clock;
    clock.SetTick64Available(false);
    clock.SetTick(k32BitRange - 6);
    TickCounter ticks(clock);
    EXPECT_EQ(ticks.TimingTickCount(), 4294967290ULL);

    clock.SetTick(k32BitRange + 5);  // the 32-bit count wrapped and reads 5
    EXPECT_EQ(ticks.TimingTickCount(), 5ULL + 4294967295ULL);
    clock.SetTick(k32BitRange + 100);  // no further wrap: the offset stays
    EXPECT_EQ(ticks.TimingTickCount(), 100ULL + 4294967295ULL);

    clock.SetTick(2 * k32BitRange + 1);  // second wrap
    EXPECT_EQ(ticks.TimingTickCount(), 1ULL + 2 * 4294967295ULL);
}

TEST(TickCounterTest, AnEqualReadingIsNoWrap) {
    test::FakeClock clock;
    clock.SetTick(42);
    TickCounter ticks(clock);
    EXPECT_EQ(ticks.TimingTickCount(), 42U);
    EXPECT_EQ(ticks.TimingTickCount(), 42U);
}

}  // namespace
}  // namespace ks
