// The hours a load replaces in the schedules: from the current hour plus an offset (one hour
// more from half past) to the end of today, then every hour of the seven following days.
// Days are calendar days, so a day of 23 or 25 hours still has the hours 00 to 23.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/base/date_time.h"

namespace ks {

// One hour of the window as the schedule keys start: the date as eight digits and the hour
// as two ("2026120710").
struct WindowHour {
    int day = 0;  // 0 for today, up to 7
    std::string prefix;
};

class TimeWindow {
  public:
    static constexpr int kDays = 8;

    // `now` is taken once per transfer; `hourOffset` whole hours after the current one stay
    // untouched.
    TimeWindow(const DateTime& now, std::int16_t hourOffset);

    const DateTime& Now() const { return m_now; }

    // Calls `hour` for every hour of the window in order, today's hours starting at
    // `currentHour` + the start offset, and `dayDone` after each day; either returning false
    // ends the walk.
    void ForEachHour(int currentHour, const std::function<bool(const WindowHour&)>& hour,
                     const std::function<bool(int day)>& dayDone) const;

  private:
    DateTime m_now;
    int m_startOffset;
};

}  // namespace ks
