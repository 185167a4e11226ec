// The clock port: local time, tick counts and waits. The desktop program fills it with the
// system clock; tests drive a fake one so that every time-dependent rule can be checked.
#pragma once

#include <cstdint>

#include "core/base/date_time.h"

namespace ks {

class Clock {
  public:
    virtual ~Clock() = default;

    // Local date and time now, with milliseconds.
    virtual DateTime Now() const = 0;

    // Milliseconds since system start on 64 bits; 0 when the counter is not available.
    virtual std::uint64_t TickCount64() const = 0;

    // The same count on 32 bits, which wraps after about 49.7 days.
    virtual std::uint32_t TickCount32() const = 0;

    // Blocks the calling thread (used only by the database lock retries).
    virtual void Sleep(int milliseconds) = 0;
};

}  // namespace ks
