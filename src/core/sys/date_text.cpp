// Dates and durations: D2S, Date2StringEx and its pattern fields, Tps2MinSec.
#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "core/sys/text_guard.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

using text_guard::Caller;
using text_guard::Run;
using text_guard::ThrowInvalidCall;

std::string TwoDigits(int value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) {
        text.insert(0, 2 - text.size(), '0');
    }
    return text;
}

std::string FourDigits(int value) {
    std::string text = std::to_string(value);
    if (text.size() < 4) {
        text.insert(0, 4 - text.size(), '0');
    }
    return text;
}

int DayOfYear(const DateTime& date) {
    const DateTime first{date.year, 1, 1, 0, 0, 0, 0};
    return static_cast<int>(SecondsBetween(first, DateOnly(date)) / 86400) + 1;
}

// Week 1 holds 1 January and weeks start on Sunday.
int WeekOfYear(const DateTime& date) {
    const DateTime first{date.year, 1, 1, 0, 0, 0, 0};
    return (DayOfYear(date) - 1 + DayOfWeek(first) - 1) / 7 + 1;
}

// French names, as the station's regional settings spell them.
const std::array<std::string, 7>& DayNames(bool full) {
    static const std::array<std::string, 7> kShort = {"dim.", "lun.", "mar.", "mer.",
                                                      "jeu.", "ven.", "sam."};
    static const std::array<std::string, 7> kFull = {"dimanche", "lundi",    "mardi", "mercredi",
                                                     "jeudi",    "vendredi", "samedi"};
    return full ? kFull : kShort;
}

const std::array<std::string, 12>& MonthNames(bool full) {
    static const std::array<std::string, 12> kShort = {"janv.", "févr."_cp, "mars",  "avr.",
                                                       "mai",   "juin",     "juil.", "août"_cp,
                                                       "sept.", "oct.",     "nov.",  "déc."_cp};
    static const std::array<std::string, 12> kFull = {
        "janvier", "février"_cp, "mars",      "avril",   "mai",      "juin",
        "juillet", "août"_cp,    "septembre", "octobre", "novembre", "décembre"_cp};
    return full ? kFull : kShort;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t RunLength(std::string_view pattern, std::size_t at) {
    const char letter = Lower(pattern[at]);
    std::size_t end = at;
    while (end < pattern.size() && Lower(pattern[end]) == letter) {
        ++end;
    }
    return end - at;
}

// One field of a date pattern: `run` equal letters found at the current position.
struct Field {
    char letter;      // lower case
    std::size_t run;  // how many times it repeats
};

// The text of a day field; returns how many letters it used (d, dd, ddd, dddd).
std::size_t AppendDay(std::string& out, const DateTime& date, std::size_t run) {
    const std::size_t used = std::min<std::size_t>(run, 4);
    if (used <= 2) {
        out += used == 1 ? std::to_string(date.day) : TwoDigits(date.day);
    } else {
        out += DayNames(used == 4)[static_cast<std::size_t>(DayOfWeek(date) - 1)];
    }
    return used;
}

// "m" is the month, except right after an hour field, where it is the minute ("hh:mm").
std::size_t AppendMonthOrMinute(std::string& out, const DateTime& date, std::size_t run,
                                bool afterHour) {
    const std::size_t used = std::min<std::size_t>(run, 4);
    if (used <= 2) {
        const int value = afterHour ? date.minute : date.month;
        out += used == 1 ? std::to_string(value) : TwoDigits(value);
    } else {
        out += MonthNames(used == 4)[static_cast<std::size_t>(date.month - 1)];
    }
    return used;
}

// y is the day of the year, yy the year on two digits, yyyy on four.
std::size_t AppendYear(std::string& out, const DateTime& date, std::size_t run) {
    if (run >= 4) {
        out += FourDigits(date.year);
        return 4;
    }
    if (run >= 2) {
        out += TwoDigits(date.year % 100);
        return 2;
    }
    out += std::to_string(DayOfYear(date));
    return 1;
}

// The fields written as one number, unpadded once and on two digits when doubled.
std::optional<int> NumberField(const DateTime& date, char letter, std::size_t used) {
    switch (letter) {
        case 'h':
            return date.hour;
        case 'n':
            return date.minute;
        case 's':
            return date.second;
        case 'w':
            return used == 1 ? DayOfWeek(date) : WeekOfYear(date);
        case 'q':
            return (date.month - 1) / 3 + 1;
        default:
            return std::nullopt;
    }
}

// Appends the field at the start of `pattern`; returns the characters it used, 0 when
// `pattern` does not start with a field letter.
std::size_t AppendField(std::string& out, const DateTime& date, Field field, bool& afterHour) {
    std::size_t used = 0;
    switch (field.letter) {
        case 'd':
            used = AppendDay(out, date, field.run);
            break;
        case 'm':
            used = AppendMonthOrMinute(out, date, field.run, afterHour);
            break;
        case 'y':
            used = AppendYear(out, date, field.run);
            break;
        default: {
            used = field.letter == 'q' ? 1 : std::min<std::size_t>(field.run, 2);
            const std::optional<int> value = NumberField(date, field.letter, used);
            if (!value) {
                return 0;
            }
            // Weeks and quarters are never padded; hours, minutes and seconds are when doubled.
            const bool padded = used == 2 && field.letter != 'w';
            out += padded ? TwoDigits(*value) : std::to_string(*value);
        }
    }
    afterHour = field.letter == 'h';
    return used;
}

// Appends the literal at the start of `pattern` ("\x" or a quoted text or one character);
// returns the characters it used.
std::size_t AppendLiteral(std::string& out, std::string_view pattern) {
    if (pattern.front() == '\\' && pattern.size() > 1) {
        out += pattern[1];
        return 2;
    }
    if (pattern.front() == '"') {
        const std::size_t close = pattern.find('"', 1);
        if (close == std::string_view::npos) {
            out += pattern.substr(1);
            return pattern.size();
        }
        out += pattern.substr(1, close - 1);
        return close + 1;
    }
    out += pattern.front();
    return 1;
}

// The date with a pattern of the classic date-format letters (case-insensitive): d dd ddd
// dddd, m mm mmm mmmm (minutes right after an hour field), y yy yyyy, h hh, n nn, s ss, w ww,
// q; "\" takes the next character literally, text in double quotes is copied, and any other
// character is copied without ending an hour field ("hh:mm").
std::string FormatDate(const DateTime& date, std::string_view pattern) {
    std::string out;
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const Field field{Lower(pattern[i]), RunLength(pattern, i)};
        std::size_t used = AppendField(out, date, field, afterHour);
        if (used == 0) {
            used = AppendLiteral(out, pattern.substr(i));
        }
        i += used;
    }
    return out;
}

}  // namespace

std::string D2S(const DateTime& date, ErrorHandler* errors) {
    std::string result;
    Run(
        errors, [] { return Caller("D2S"); },
        [&] {
            result = N2S(date.year, 4, 0, "0", errors) + N2S(date.month, 2, 0, "0", errors) +
                     N2S(date.day, 2, 0, "0", errors);
        });
    return result;
}

std::string Date2StringEx(const DateTime& date, std::string_view pattern, ErrorHandler* errors) {
    std::string result;
    Run(
        errors, [] { return Caller("Date2StringEx"); },
        [&] {
            if (!IsValid(date)) {
                ThrowInvalidCall();
            }
            result = FormatDate(date, IsBlank(pattern) ? std::string_view("HH:MM:SS") : pattern);
        });
    return result;
}

std::string Tps2MinSec(std::int32_t seconds, std::int16_t width, std::string_view fill,
                       std::string_view caller, bool& withHours, ErrorHandler* errors) {
    std::string result;
    const auto reportAs = [&] {
        return IsBlank(caller) ? Caller("Tps2MinSec") : std::string(caller);
    };
    Run(errors, reportAs, [&] {
        if (seconds < 0) {
            result = std::to_string(seconds);
            return;
        }
        std::int16_t w = (width == 3 || width == 4) ? width : std::int16_t{2};
        std::int32_t minutes = seconds / 60;
        const std::int32_t secs = seconds % 60;
        if (withHours) {
            const std::int32_t hours = minutes / 60;
            minutes %= 60;
            result = N2S(hours, w, 0, " ", errors) + ":" + N2S(minutes, 2, 0, "0", errors) + ":" +
                     N2S(secs, 2, 0, "0", errors);
            return;
        }
        if (minutes >= 100000) {
            w = 6;
        } else if (minutes >= 10000) {
            w = 5;
        } else if (minutes >= 1000) {
            w = 4;
        } else if (minutes >= 100) {
            w = 3;
        }
        result = N2S(minutes, w, 0, fill, errors) + ":" + N2S(secs, 2, 0, "0", errors);
    });
    return result;
}

}  // namespace ks
