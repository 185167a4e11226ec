#include "core/sys/text_helpers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
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
// silently otherwise (helpers used before the handler exists, or by pure code). The caller
// name is made only for a report: the helpers run on every database call, and the name
// (N2S writes its value into it) costs more than the step.
template <class Name, class Step>
bool Run(ErrorHandler* errors, Name&& name, Step&& step, int line = __builtin_LINE()) {
    if (errors == nullptr) {
        return ErrorHandler::Silent(std::forward<Step>(step));
    }
    try {
        std::forward<Step>(step)();
        return true;
    } catch (...) {
        errors->Record(std::current_exception(), line);
        errors->GestionDesErreurs(std::forward<Name>(name)());
        return false;
    }
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

std::string N2SUnguarded(double value, std::int16_t width, std::int16_t decimals,
                         std::string_view fill) {
    if (width < 0 || std::isnan(value)) {
        throw Failure(std::isnan(value) ? kErrOverflow : kErrInvalidCall,
                      std::isnan(value) ? "Overflow" : "Invalid procedure call or argument");
    }
    const char fillChar = FirstOrBlank(fill);
    const auto w = static_cast<std::size_t>(width);
    // A whole number without decimals (dates, hours, file numbers) gives its digits: the
    // 0.005 added below never reaches the next unit.
    if (decimals == 0 && value >= 0 && value <= kLongMax && value == std::floor(value)) {
        const std::string digits = std::to_string(static_cast<std::int64_t>(value));
        std::string s(w, fillChar);
        const std::size_t kept = std::min(w, digits.size());
        s.replace(w - kept, kept, digits, digits.size() - kept, kept);
        return s;
    }
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);

    // The 0.005 is added before scaling whatever the number of decimals, and the scaled value
    // is rounded half to even: 0.5 with two decimals gives 0.50, not 0.51.
    const double scale = std::pow(10.0, decimals);
    double x = (magnitude + 0.005) * scale;
    if (x > kLongMax) {
        x = kLongMax;
    }
    const auto n = static_cast<std::int64_t>(std::nearbyint(x));

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
    const bool ok = Run(
        errors, [&] { return Caller("N2S (Value: " + DoubleText(value) + ")"); },
        [&] { result = N2SUnguarded(value, width, decimals, fill); });
    return ok ? result : std::string();
}

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

std::string Calibre(std::string_view text, std::string_view fill, std::int32_t width,
                    ErrorHandler* errors) {
    std::string result;
    Run(
        errors, [] { return Caller("Calibre"); },
        [&] {
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
    Run(
        errors, [] { return Caller("ClearChaine"); },
        [&] {
            static const std::string kKept = "éèàçûôâëù"_cp;
            result = std::string(text);
            for (char& c : result) {
                const auto code = static_cast<unsigned char>(c);
                if ((code < 32 || code > kLastPrintable) && kKept.find(c) == std::string::npos) {
                    c = ' ';
                }
            }
        });
    return result;
}

std::string RemplaceChaine(std::string_view text, std::string_view replacement,
                           std::int32_t position, std::int32_t length, ErrorHandler* errors) {
    std::string result;
    Run(
        errors, [] { return Caller("RemplaceChaine"); },
        [&] {
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
            auto count = static_cast<std::size_t>(length);
            count = std::min(count, replacement.size());
            count = std::min(count, result.size() - start);
            result.replace(start, count, replacement.substr(0, count));
        });
    return result;
}

EclateParts EclateRepFicExt(std::string_view path, ErrorHandler* errors) {
    EclateParts parts;
    Run(
        errors, [] { return Caller("EclateRepFicExt"); },
        [&] {
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

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Blanks, tabs and line feeds are ignored anywhere, as the classic Val does ("1 2" is 12).
std::string WithoutBlanks(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            compact += c;
        }
    }
    return compact;
}

// "&H" hexadecimal and "&O" octal numbers; nullopt when the text is neither.
std::optional<double> RadixNumber(std::string_view compact) {
    if (compact.size() < 2 || compact[0] != '&') {
        return std::nullopt;
    }
    const char radix = Lower(compact[1]);
    if (radix != 'h' && radix != 'o') {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    const char* first = compact.data() + 2;
    const auto [end, ec] =
        std::from_chars(first, compact.data() + compact.size(), number, radix == 'h' ? 16 : 8);
    if (ec != std::errc{}) {
        return 0.0;
    }
    // Up to four hexadecimal digits read as a 16-bit number, more as a 32-bit one.
    if (radix == 'h' && end - first <= 4) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(number));
    }
    return static_cast<std::int32_t>(number);
}

// Copies the digits at `i` into `number`; true when there was at least one.
bool TakeDigits(std::string_view text, std::size_t& i, std::string& number) {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) {
        number += text[i++];
    }
    return i > start;
}

// The leading decimal number of `compact` in the form from_chars reads ("-12.5e3"); empty
// when there is no digit.
std::string LeadingNumber(std::string_view compact) {
    std::string number;
    std::size_t i = 0;
    if (i < compact.size() && (compact[i] == '-' || compact[i] == '+')) {
        number += compact[i++];
    }
    bool digits = TakeDigits(compact, i, number);
    if (i < compact.size() && compact[i] == '.') {
        number += compact[i++];
        digits = TakeDigits(compact, i, number) || digits;
    }
    if (!digits) {
        return {};
    }
    // The exponent ("E" or the classic "D") counts only when digits follow it.
    if (i < compact.size() && (Lower(compact[i]) == 'e' || Lower(compact[i]) == 'd')) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < compact.size() && (compact[j] == '-' || compact[j] == '+')) {
            exponent += compact[j++];
        }
        if (TakeDigits(compact, j, exponent)) {
            number += exponent;
        }
    }
    return number;
}

// For a number out of the range of a double: true when it is too small rather than too
// large, from the decimal place of its first significant digit moved by its exponent
// ("0.000…1" and "1e-400" are too small, "1000…0e-5" too large).
bool TooSmallToHold(std::string_view number) {
    const std::size_t e = number.find('e');
    const std::string_view mantissa = number.substr(0, e);
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return true;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    std::int64_t place = static_cast<std::int64_t>(point) - static_cast<std::int64_t>(first);
    if (e != std::string_view::npos) {
        std::string_view digits = number.substr(e + 1);
        const bool negative = digits.starts_with('-');
        if (negative || digits.starts_with('+')) {
            digits.remove_prefix(1);
        }
        std::int64_t exponent = 0;
        if (std::from_chars(digits.data(), digits.data() + digits.size(), exponent).ec !=
            std::errc{}) {
            return negative;  // an exponent past 64 bits decides alone
        }
        place += negative ? -exponent : exponent;
    }
    return place < 0;
}

}  // namespace

double Val(std::string_view text) {
    const std::string compact = WithoutBlanks(text);
    if (const auto radix = RadixNumber(compact)) {
        return *radix;
    }
    const std::string number = LeadingNumber(compact);
    if (number.empty()) {
        return 0;
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
        if (TooSmallToHold(number)) {
            return 0;
        }
        return *first == '-' ? -std::numeric_limits<double>::infinity()
                             : std::numeric_limits<double>::infinity();
    }
    return ec == std::errc{} ? result : 0;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(text);
    }
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit = text.find(from); hit != std::string_view::npos;
         hit = text.find(from, pos)) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
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
