// The program's time stamps: FormatJour + " " + FormatHeure, day first on a 24-hour clock
// (07/12/2026 14:05:00), as the load times are shown, stored in the settings and traced.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/base/date_time.h"

namespace ks {

class ErrorHandler;

inline constexpr std::string_view kFormatJour = "dd/MM/yyyy";
inline constexpr std::string_view kFormatHeure = "hh:mm:ss";

// The time stamp of `value`, without its milliseconds.
std::string TimeStamp(const DateTime& value, ErrorHandler* errors = nullptr);

// The date and time a time stamp of this program stands for (blanks around it allowed);
// nullopt for any other text or an impossible date.
std::optional<DateTime> ParseTimeStamp(std::string_view text);

}  // namespace ks
