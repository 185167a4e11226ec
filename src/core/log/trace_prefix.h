// The prefix of a trace line: time stamp with milliseconds, slot, file and level fields and
// the five-character elapsed-time field that shows the gaps between the steps of a load.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/base/date_time.h"

namespace ks {

class ErrorHandler;

// "09:05:07:042": hours, minutes, seconds and milliseconds of `now`.
std::string TimingMilliSec(const DateTime& now, ErrorHandler* errors = nullptr);

// " :" for no context (a negative number), else the number in decimal and ":".
std::string ContextField(std::int16_t value);

// " :" for no level, the digit for 0 to 9, "A" for 10, "B" for 11 ... followed by ":".
// Throws Failure when the level has no character.
std::string LevelField(std::int16_t level);

// Five characters: the milliseconds since `lastMarkTick` right-aligned on four, "xxxx:" past
// 9999 ms, blanks when no mark exists yet or when the gap is 20 ms or less. The mark moves to
// `tick` except for those short gaps, so short gaps add up until one shows.
std::string ElapsedField(std::uint64_t tick, std::uint64_t& lastMarkTick);

// The whole prefix; `firstOfBatch` puts "*" in place of its first character so that the
// start of every flushed batch can be seen in the file.
std::string TracePrefix(std::string_view timing, std::int16_t base, std::int16_t file,
                        std::int16_t level, std::uint64_t tick, std::uint64_t& lastMarkTick,
                        bool firstOfBatch);

}  // namespace ks
