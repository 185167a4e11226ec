#include "core/app/time_stamp.h"

#include <charconv>

#include "core/sys/text_helpers.h"

namespace ks {
namespace {

// The number written with exactly `digits` digits at `at`, or -1.
int Digits(std::string_view text, std::size_t at, std::size_t digits) {
    int value = 0;
    const char* first = text.data() + at;
    const char* last = first + digits;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || *first == '+' || *first == '-') {
        return -1;
    }
    return value;
}

}  // namespace

std::string TimeStamp(const DateTime& value, ErrorHandler* errors) {
    return Date2StringEx(value, kFormatJour, errors) + " " +
           Date2StringEx(value, kFormatHeure, errors);
}

std::optional<DateTime> ParseTimeStamp(std::string_view text) {
    const std::string trimmed = Trim(text);
    const std::string_view s = trimmed;
    // dd/MM/yyyy hh:mm:ss
    if (s.size() != 19 || s[2] != '/' || s[5] != '/' || s[10] != ' ' || s[13] != ':' ||
        s[16] != ':') {
        return std::nullopt;
    }
    DateTime value;
    value.day = Digits(s, 0, 2);
    value.month = Digits(s, 3, 2);
    value.year = Digits(s, 6, 4);
    value.hour = Digits(s, 11, 2);
    value.minute = Digits(s, 14, 2);
    value.second = Digits(s, 17, 2);
    value.millisecond = 0;
    if (value.year < 0 || !IsValid(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace ks
