// Small formatting helpers whose exact output ends up in log lines, file names and record
// fields: numbers on a fixed width, date keys and patterns, durations, fixed-width text,
// cleaning of record text, in-place replacement and the splitting of a path.
//
// They never throw. A failing step is reported through `errors` when one is given (with the
// caller name the original reported) and the neutral result, an empty string, is returned.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/base/date_time.h"
#include "core/base/plain_text.h"

namespace ks {

class ErrorHandler;

// `value` on exactly `width` characters with `decimals` decimals, filled on the left with the
// first character of `fill` (blank when empty), cut on the left when too long. The sign of a
// negative value takes the last blank, or the first character when that reads as 0; with
// neither, the text is "-" and the digits, one character longer than `width`.
std::string N2S(double value, std::int16_t width, std::int16_t decimals, std::string_view fill,
                ErrorHandler* errors = nullptr);

// The date as eight digits, year, month, day (20261207).
std::string D2S(const DateTime& date, ErrorHandler* errors = nullptr);

// The date formatted with a pattern ("dd/MM/yyyy", "HH:MM:SS", "hh:mm:ss"...); "MM" right
// after an hour field means minutes. An empty or blank pattern means "HH:MM:SS".
std::string Date2StringEx(const DateTime& date, std::string_view pattern,
                          ErrorHandler* errors = nullptr);

// A duration in seconds as minutes:seconds, or hours:minutes:seconds when `withHours`.
std::string Tps2MinSec(std::int32_t seconds, std::int16_t width, std::string_view fill,
                       std::string_view caller, bool& withHours, ErrorHandler* errors = nullptr);

// The first `width` characters of `text` padded on the right with `fill` (blank when blank).
std::string Calibre(std::string_view text, std::string_view fill, std::int32_t width,
                    ErrorHandler* errors = nullptr);

// Record text cleaned for display: control characters and bytes above 250 become blanks,
// except the French letters the station uses. The length never changes.
std::string ClearChaine(std::string_view text, ErrorHandler* errors = nullptr);

// `text` with the characters from `position` (1-based) overwritten by `replacement`, at most
// `length` of them, never beyond the end of `text`. Position 0 or less gives "".
std::string RemplaceChaine(std::string_view text, std::string_view replacement,
                           std::int32_t position, std::int32_t length,
                           ErrorHandler* errors = nullptr);

// The parts of a path: the folder (with its final "/"), the name and the extension (with
// its ".").
struct EclateParts {
    std::string EclateDossier;
    std::string EclateNom;
    std::string EclateExtension;
};
EclateParts EclateRepFicExt(std::string_view path, ErrorHandler* errors = nullptr);

// The leading number of a text, as the classic Val reads it ("12abc" is 12, "abc" is 0).
double Val(std::string_view text);

}  // namespace ks
