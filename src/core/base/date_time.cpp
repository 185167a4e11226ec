#include "core/base/date_time.h"

#include <chrono>

namespace ks {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

std::int64_t DayNumber(const DateTime& value) {
    const year_month_day ymd{std::chrono::year{value.year},
                             std::chrono::month{static_cast<unsigned>(value.month)},
                             std::chrono::day{static_cast<unsigned>(value.day)}};
    return sys_days{ymd}.time_since_epoch().count();
}

void SetDayNumber(DateTime& value, std::int64_t dayNumber) {
    const year_month_day ymd{sys_days{days{dayNumber}}};
    value.year = static_cast<int>(ymd.year());
    value.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    value.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
}

std::int64_t WallSeconds(const DateTime& value) {
    return DayNumber(value) * 86400 + std::int64_t{value.hour} * 3600 +
           std::int64_t{value.minute} * 60 + value.second;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

}  // namespace

DateTime AddDays(const DateTime& value, int daysToAdd) {
    DateTime out = value;
    SetDayNumber(out, DayNumber(value) + daysToAdd);
    return out;
}

DateTime AddSeconds(const DateTime& value, std::int64_t seconds) {
    const std::int64_t total = WallSeconds(value) + seconds;
    const std::int64_t dayNumber = FloorDiv(total, 86400);
    const std::int64_t inDay = total - dayNumber * 86400;
    DateTime out = value;
    SetDayNumber(out, dayNumber);
    out.hour = static_cast<int>(inDay / 3600);
    out.minute = static_cast<int>((inDay / 60) % 60);
    out.second = static_cast<int>(inDay % 60);
    return out;
}

std::int64_t SecondsBetween(const DateTime& from, const DateTime& to) {
    return WallSeconds(to) - WallSeconds(from);
}

int DayOfWeek(const DateTime& value) {
    const std::chrono::weekday wd{sys_days{days{DayNumber(value)}}};
    return static_cast<int>(wd.c_encoding()) + 1;
}

DateTime DateOnly(const DateTime& value) {
    return DateTime{value.year, value.month, value.day, 0, 0, 0, 0};
}

bool IsValid(const DateTime& value) {
    const year_month_day ymd{std::chrono::year{value.year},
                             std::chrono::month{static_cast<unsigned>(value.month)},
                             std::chrono::day{static_cast<unsigned>(value.day)}};
    return value.month >= 1 && value.day >= 1 && ymd.ok() && value.hour >= 0 && value.hour < 24 &&
           value.minute >= 0 && value.minute < 60 && value.second >= 0 && value.second < 60 &&
           value.millisecond >= 0 && value.millisecond < 1000;
}

}  // namespace ks
