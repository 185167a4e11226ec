#include "core/transfer/time_window.h"

#include <algorithm>

#include "core/sys/text_helpers.h"

namespace ks {

TimeWindow::TimeWindow(const DateTime& now, std::int16_t hourOffset)
    : m_now(now), m_startOffset(now.minute >= 30 ? hourOffset + 1 : hourOffset) {}

void TimeWindow::ForEachHour(int currentHour, const std::function<bool(const WindowHour&)>& hour,
                             const std::function<bool(int day)>& dayDone) const {
    for (int day = 0; day < kDays; ++day) {
        const std::string date = D2S(AddDays(m_now, day));
        for (int h = day == 0 ? std::max(0, currentHour + m_startOffset) : 0; h <= 23; ++h) {
            if (!hour(WindowHour{day, date + N2S(h, 2, 0, "0")})) {
                return;
            }
        }
        if (!dayDone(day)) {
            return;
        }
    }
}

}  // namespace ks
