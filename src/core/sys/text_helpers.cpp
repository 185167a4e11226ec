#include "core/sys/text_helpers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

#include "core/log/error_handler.h"
#include "core/log/failure.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

// Every helper here belongs to the public library module of the error reports.
constexpr std::string_view kModule = "Lib_Public:";

// The scaled value of N2S is held in a 32-bit number: beyond it the text saturates.
constexpr double kLongMax = 2147483647.0;

// Bytes above this code (and control characters) are blanked in record text.
constexpr unsigned char kLastPrintable = 250;

[[noreturn]] void ThrowInvalidCall() {
    throw Failure(kErrInvalidCall, "Invalid procedure call or argument");
}

// Runs one step of a helper: reported through `errors` when there is a handler, dropped
// silently otherwise (helpers used before the handler exists, or by pure code).
template <class Step>
bool Run(ErrorHandler* errors, std::string_view caller, Step&& step, int line = __builtin_LINE()) {
    if (errors != nullptr) {
        return errors->Guard(caller, std::forward<Step>(step), line);
    }
    return ErrorHandler::Silent(std::forward<Step>(step));
}

std::string Caller(std::string_view procedure) {
    std::string caller(kModule);
    caller += procedure;
    return caller;
}

// A double written as the classic run time writes it: at most 15 significant digits, no
// trailing zeros, "E" for an exponent, always "." whatever the locale.
std::string DoubleText(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    std::string text(buffer.data(), result.ptr);
    for (char& c : text) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return text;
}

char FirstOrBlank(std::string_view fill) {
    return fill.empty() ? ' ' : fill.front();
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

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

// The date with a pattern of the classic date-format letters (case-insensitive): d dd ddd
// dddd, m mm mmm mmmm (minutes right after an hour field), y yy yyyy, h hh, n nn, s ss, w ww,
// q; "\" takes the next character literally, text in double quotes is copied.
std::string FormatDate(const DateTime& date, std::string_view pattern) {
    std::string out;
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char letter = Lower(c);
        const std::size_t run = RunLength(pattern, i);
        std::size_t used = 1;
        switch (letter) {
            case 'd':
                used = run >= 4 ? 4 : run;
                if (used == 1) {
                    out += std::to_string(date.day);
                } else if (used == 2) {
                    out += TwoDigits(date.day);
                } else {
                    out += DayNames(used == 4)[static_cast<std::size_t>(DayOfWeek(date) - 1)];
                }
                afterHour = false;
                break;
            case 'm':
                used = run >= 4 ? 4 : run;
                if (afterHour && used <= 2) {
                    out += used == 1 ? std::to_string(date.minute) : TwoDigits(date.minute);
                } else if (used <= 2) {
                    out += used == 1 ? std::to_string(date.month) : TwoDigits(date.month);
                } else {
                    out += MonthNames(used == 4)[static_cast<std::size_t>(date.month - 1)];
                }
                afterHour = false;
                break;
            case 'y':
                if (run >= 4) {
                    used = 4;
                    out += FourDigits(date.year);
                } else if (run >= 2) {
                    used = 2;
                    out += TwoDigits(date.year % 100);
                } else {
                    out += std::to_string(DayOfYear(date));
                }
                afterHour = false;
                break;
            case 'h':
                used = run >= 2 ? 2 : 1;
                out += used == 1 ? std::to_string(date.hour) : TwoDigits(date.hour);
                afterHour = true;
                break;
            case 'n':
                used = run >= 2 ? 2 : 1;
                out += used == 1 ? std::to_string(date.minute) : TwoDigits(date.minute);
                afterHour = false;
                break;
            case 's':
                used = run >= 2 ? 2 : 1;
                out += used == 1 ? std::to_string(date.second) : TwoDigits(date.second);
                afterHour = false;
                break;
            case 'w':
                used = run >= 2 ? 2 : 1;
                out += std::to_string(used == 1 ? DayOfWeek(date) : WeekOfYear(date));
                afterHour = false;
                break;
            case 'q':
                out += std::to_string((date.month - 1) / 3 + 1);
                afterHour = false;
                break;
            case '\\':
                if (i + 1 < pattern.size()) {
                    out += pattern[i + 1];
                    used = 2;
                }
                break;
            case '"': {
                const std::size_t close = pattern.find('"', i + 1);
                const std::size_t stop = close == std::string_view::npos ? pattern.size() : close;
                out += pattern.substr(i + 1, stop - i - 1);
                used = (close == std::string_view::npos ? stop : stop + 1) - i;
                break;
            }
            default:
                out += c;
                break;
        }
        i += used;
    }
    return out;
}

std::string N2SUnguarded(double value, std::int16_t width, std::int16_t decimals,
                         std::string_view fill) {
    if (width < 0 || std::isnan(value)) {
        throw Failure(std::isnan(value) ? kErrOverflow : kErrInvalidCall,
                      std::isnan(value) ? "Overflow" : "Invalid procedure call or argument");
    }
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    const char fillChar = FirstOrBlank(fill);

    // The 0.005 is added before scaling whatever the number of decimals, and the scaled value
    // is rounded half to even: 0.5 with two decimals gives 0.50, not 0.51.
    const double scale = std::pow(10.0, decimals);
    double x = (magnitude + 0.005) * scale;
    if (x > kLongMax) {
        x = kLongMax;
    }
    const auto n = static_cast<std::int64_t>(std::nearbyint(x));

    const auto w = static_cast<std::size_t>(width);
    std::string s = std::string(w, fillChar) + std::to_string(n);
    s = s.substr(s.size() - w);

    if (decimals > 0) {
        const auto d = static_cast<std::size_t>(decimals);
        if (w < d + 1) {
            ThrowInvalidCall();
        }
        s = s.substr(1, w - d - 1) + "." + s.substr(w - d);
    }

    const std::size_t point = s.find('.');
    if (point != std::string::npos) {
        for (std::size_t i = point + 1; i < s.size(); ++i) {
            if (s[i] == ' ') {
                s[i] = '0';
            }
        }
        if (Val(s) < 1 && point > 0) {
            s[point - 1] = '0';
        }
    }

    if (negative) {
        const std::size_t blank = s.rfind(' ');
        if (blank != std::string::npos) {
            s[blank] = '-';
        } else if (!s.empty() && Val(s.substr(0, 1)) == 0) {
            s[0] = '-';
        } else {
            s = "-" + Trim(s);
        }
    }
    return s;
}

}  // namespace

std::string N2S(double value, std::int16_t width, std::int16_t decimals, std::string_view fill,
                ErrorHandler* errors) {
    std::string result;
    const bool ok = Run(errors, Caller("N2S (Value: " + DoubleText(value) + ")"),
                        [&] { result = N2SUnguarded(value, width, decimals, fill); });
    return ok ? result : std::string();
}

std::string D2S(const DateTime& date, ErrorHandler* errors) {
    std::string result;
    Run(errors, Caller("D2S"), [&] {
        result = N2S(date.year, 4, 0, "0", errors) + N2S(date.month, 2, 0, "0", errors) +
                 N2S(date.day, 2, 0, "0", errors);
    });
    return result;
}

std::string Date2StringEx(const DateTime& date, std::string_view pattern, ErrorHandler* errors) {
    std::string result;
    Run(errors, Caller("Date2StringEx"), [&] {
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
    const std::string reportAs = IsBlank(caller) ? Caller("Tps2MinSec") : std::string(caller);
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

std::string Calibre(std::string_view text, std::string_view fill, std::int32_t width,
                    ErrorHandler* errors) {
    std::string result;
    Run(errors, Caller("Calibre"), [&] {
        if (width < 0) {
            ThrowInvalidCall();
        }
        const char fillChar = IsBlank(fill) ? ' ' : fill.front();
        const auto w = static_cast<std::size_t>(width);
        result = std::string(text.substr(0, w));
        result.append(w - result.size(), fillChar);
    });
    return result;
}

std::string ClearChaine(std::string_view text, ErrorHandler* errors) {
    std::string result;
    Run(errors, Caller("ClearChaine"), [&] {
        static const std::string kKept = "éèàçûôâëù"_cp;
        result = std::string(text);
        for (std::size_t i = 0; i < result.size(); ++i) {
            const char c = result[i];
            const auto code = static_cast<unsigned char>(c);
            if (kKept.find(c) == std::string::npos && (code < 32 || code > kLastPrintable)) {
                result = RemplaceChaine(result, " ", static_cast<std::int32_t>(i + 1), 1, errors);
            }
        }
    });
    return result;
}

std::string RemplaceChaine(std::string_view text, std::string_view replacement,
                           std::int32_t position, std::int32_t length, ErrorHandler* errors) {
    std::string result;
    Run(errors, Caller("RemplaceChaine"), [&] {
        if (position <= 0) {
            return;
        }
        if (length < 0) {
            ThrowInvalidCall();
        }
        result = std::string(text);
        const auto start = static_cast<std::size_t>(position - 1);
        if (start >= result.size()) {
            return;
        }
        std::size_t count = static_cast<std::size_t>(length);
        count = std::min(count, replacement.size());
        count = std::min(count, result.size() - start);
        result.replace(start, count, replacement.substr(0, count));
    });
    return result;
}

EclateParts EclateRepFicExt(std::string_view path, ErrorHandler* errors) {
    EclateParts parts;
    Run(errors, Caller("EclateRepFicExt"), [&] {
        parts = EclateParts{};
        const std::string trimmed = Trim(path);
        // Scanned from the end: the first "." before any "/" starts the extension; the last
        // "/" ends the folder. A dot in a folder name is therefore never an extension.
        std::size_t extensionAt = trimmed.size();
        for (std::size_t i = trimmed.size(); i-- > 0;) {
            const char c = trimmed[i];
            if (c == '/') {
                parts.EclateDossier = trimmed.substr(0, i + 1);
                parts.EclateNom = trimmed.substr(i + 1, extensionAt - i - 1);
                break;
            }
            if (c == '.' && extensionAt == trimmed.size()) {
                extensionAt = i;
                parts.EclateExtension = trimmed.substr(i);
            }
            if (i == 0) {
                parts.EclateNom = trimmed.substr(0, extensionAt);
            }
        }
    });
    return parts;
}

double Val(std::string_view text) {
    // Blanks, tabs and line feeds are ignored anywhere, as the classic Val does ("1 2" is 12).
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            compact += c;
        }
    }
    if (compact.size() >= 2 && compact[0] == '&') {
        const char radix = Lower(compact[1]);
        if (radix == 'h' || radix == 'o') {
            const int base = radix == 'h' ? 16 : 8;
            std::uint32_t number = 0;
            const char* first = compact.data() + 2;
            const auto [end, ec] =
                std::from_chars(first, compact.data() + compact.size(), number, base);
            if (ec != std::errc{}) {
                return 0;
            }
            // Up to four hexadecimal digits read as a 16-bit number, more as a 32-bit one.
            if (radix == 'h' && end - first <= 4) {
                return static_cast<std::int16_t>(static_cast<std::uint16_t>(number));
            }
            return static_cast<std::int32_t>(number);
        }
    }

    std::string number;
    std::size_t i = 0;
    if (i < compact.size() && (compact[i] == '-' || compact[i] == '+')) {
        number += compact[i++];
    }
    bool digits = false;
    while (i < compact.size() && compact[i] >= '0' && compact[i] <= '9') {
        number += compact[i++];
        digits = true;
    }
    if (i < compact.size() && compact[i] == '.') {
        number += compact[i++];
        while (i < compact.size() && compact[i] >= '0' && compact[i] <= '9') {
            number += compact[i++];
            digits = true;
        }
    }
    if (!digits) {
        return 0;
    }
    if (i < compact.size() && (Lower(compact[i]) == 'e' || Lower(compact[i]) == 'd')) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < compact.size() && (compact[j] == '-' || compact[j] == '+')) {
            exponent += compact[j++];
        }
        const std::size_t firstDigit = j;
        while (j < compact.size() && compact[j] >= '0' && compact[j] <= '9') {
            exponent += compact[j++];
        }
        if (j > firstDigit) {
            number += exponent;
        }
    }
    // from_chars ignores the locale (the GUI switches LC_NUMERIC to the operator's) and does
    // not take a "+" sign.
    const char* first = number.data();
    if (*first == '+') {
        ++first;
    }
    double result = 0;
    const auto [end, ec] = std::from_chars(first, number.data() + number.size(), result);
    if (ec == std::errc::result_out_of_range) {
        if (number.find("e-") != std::string::npos) {
            return 0;  // too small to hold
        }
        return *first == '-' ? -std::numeric_limits<double>::infinity()
                             : std::numeric_limits<double>::infinity();
    }
    return ec == std::errc{} ? result : 0;
}

std::string Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace ks
