// The millisecond tick count of the trace log and of the duration measures: the 64-bit
// system count when the machine has one, else the 32-bit count kept growing across its wraps.
#pragma once

#include <cstdint>

namespace ks {

class Clock;

class TickCounter {
  public:
    // Tests once whether the 64-bit count is available (a reading of 0 means it is not).
    explicit TickCounter(const Clock& clock);

    // Milliseconds since system start. A reading lower than the previous one is taken as a
    // wrap of the 32-bit count and adds 4294967295 to every later result, as the program
    // always counted. Never fails.
    std::uint64_t TimingTickCount();

  private:
    const Clock& m_clock;
    bool m_has64 = false;
    std::uint64_t m_previous = 0;
    std::uint64_t m_wrapOffset = 0;
};

}  // namespace ks
