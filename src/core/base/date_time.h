// Local date and time as the program uses it: a plain calendar value without time zone,
// with calendar arithmetic ("+ d days" moves the date, never by d x 86400 seconds).
#pragma once

#include <compare>
#include <cstdint>

namespace ks {

struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    auto operator<=>(const DateTime&) const = default;
};

// The date of `value` moved by `days` calendar days; the time of day is kept.
DateTime AddDays(const DateTime& value, int days);

// `value` moved by `seconds` on the local wall clock (milliseconds kept).
DateTime AddSeconds(const DateTime& value, std::int64_t seconds);

// Whole seconds from `from` to `to` on the local wall clock (negative when `to` is earlier).
std::int64_t SecondsBetween(const DateTime& from, const DateTime& to);

// 1 for Sunday up to 7 for Saturday.
int DayOfWeek(const DateTime& value);

// The date alone, at midnight.
DateTime DateOnly(const DateTime& value);

// True when the fields form a real calendar date and time of day.
bool IsValid(const DateTime& value);

}  // namespace ks
