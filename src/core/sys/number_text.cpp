// Numbers: N2S (a number on a fixed width) and Val (the leading number of a text).
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <system_error>

#include "core/sys/text_guard.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

using text_guard::Caller;
using text_guard::Run;
using text_guard::ThrowInvalidCall;

// The scaled value of N2S is held in a 32-bit number: beyond it the text saturates.
constexpr double kLongMax = 2147483647.0;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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

// A whole number without decimals (dates, hours, file numbers, every database call's trace
// line) gives its last `width` digits after the fill: the 0.005 that N2S adds never reaches
// the next unit. Nothing here can fail.
bool WholeNumber(double value, std::int16_t width, std::int16_t decimals) {
    return width >= 0 && decimals == 0 && value >= 0 && value <= kLongMax &&
           value == std::floor(value);
}

std::string WholeNumberText(double value, std::int16_t width, std::string_view fill) {
    std::array<char, 16> digits{};
    const char* end = std::to_chars(digits.data(), digits.data() + digits.size(),
                                    static_cast<std::int64_t>(value))
                          .ptr;
    const auto w = static_cast<std::size_t>(width);
    const std::size_t kept = std::min(w, static_cast<std::size_t>(end - digits.data()));
    std::string s(w - kept, FirstOrBlank(fill));
    s.append(end - kept, kept);
    return s;
}

std::string N2SUnguarded(double value, std::int16_t width, std::int16_t decimals,
                         std::string_view fill) {
    if (width < 0 || std::isnan(value)) {
        throw Failure(std::isnan(value) ? kErrOverflow : kErrInvalidCall,
                      std::isnan(value) ? "Overflow" : "Invalid procedure call or argument");
    }
    if (WholeNumber(value, width, decimals)) {
        return WholeNumberText(value, width, fill);
    }
    const char fillChar = FirstOrBlank(fill);
    const auto w = static_cast<std::size_t>(width);
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

std::string N2S(double value, std::int16_t width, std::int16_t decimals, std::string_view fill,
                ErrorHandler* errors) {
    if (WholeNumber(value, width, decimals)) {
        return WholeNumberText(value, width, fill);
    }
    std::string result;
    const bool ok = Run(
        errors, [&] { return Caller("N2S (Value: " + DoubleText(value) + ")"); },
        [&] { result = N2SUnguarded(value, width, decimals, fill); });
    return ok ? result : std::string();
}

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

}  // namespace ks
