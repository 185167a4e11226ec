// A clock for tests: time moves only when the test (or a Sleep) moves it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/base/clock.h"

namespace ks::test {

class FakeClock : public Clock {
  public:
    explicit FakeClock(DateTime now = DateTime{2026, 12, 7, 9, 5, 7, 42}) : m_now(now) {}

    DateTime Now() const override { return m_now; }
    std::uint64_t TickCount64() const override { return m_tick64Available ? m_tick : 0; }
    std::uint32_t TickCount32() const override { return static_cast<std::uint32_t>(m_tick); }
    void Sleep(int milliseconds) override {
        sleeps.push_back(milliseconds);
        Advance(milliseconds);
    }

    // Moves the wall clock and the tick count together.
    void Advance(std::int64_t milliseconds) {
        m_tick += static_cast<std::uint64_t>(milliseconds);
        const std::int64_t total = m_now.millisecond + milliseconds;
        std::int64_t seconds = total / 1000;
        std::int64_t ms = total % 1000;
        if (ms < 0) {
            ms += 1000;
            --seconds;
        }
        m_now = AddSeconds(m_now, seconds);
        m_now.millisecond = static_cast<int>(ms);
    }

    void SetNow(const DateTime& now) { m_now = now; }
    void SetTick(std::uint64_t tick) { m_tick = tick; }
    void SetTick64Available(bool available) { m_tick64Available = available; }

    std::vector<int> sleeps;

  private:
    DateTime m_now;
    std::uint64_t m_tick = 1'000'000;
    bool m_tick64Available = true;
};

}  // namespace ks::test
