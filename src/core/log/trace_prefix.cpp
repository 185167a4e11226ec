#include "core/log/trace_prefix.h"

#include "core/base/failure.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::int64_t kShortGap = 20;
constexpr std::int64_t kLongGap = 9999;
constexpr int kFirstLevelLetter = 10;
constexpr int kLetterBase = 55;  // 55 + 10 is "A"
constexpr int kLastCharacter = 255;

}  // namespace

std::string TimingMilliSec(const DateTime& now, ErrorHandler* errors) {
    return Date2StringEx(now, "HH:MM:SS", errors) + ":" + N2S(now.millisecond, 3, 0, "0", errors);
}

std::string ContextField(std::int16_t value) {
    if (value < 0) {
        return " :";
    }
    return std::to_string(value) + ":";
}

std::string LevelField(std::int16_t level) {
    if (level < 0) {
        return " :";
    }
    if (level < kFirstLevelLetter) {
        return std::to_string(level) + ":";
    }
    const int code = kLetterBase + level;
    if (code > kLastCharacter) {
        throw Failure(kErrInvalidCall, "Invalid procedure call or argument");
    }
    return std::string(1, static_cast<char>(static_cast<unsigned char>(code))) + ":";
}

std::string ElapsedField(std::uint64_t tick, std::uint64_t& lastMarkTick) {
    if (lastMarkTick == 0) {
        lastMarkTick = tick;
        return "    :";
    }
    // Signed, as the count always was: a tick behind the mark is a short gap, not a huge one.
    // Subtracted unsigned, which wraps, so that no pair of ticks overflows.
    const auto gap = static_cast<std::int64_t>(tick - lastMarkTick);
    if (gap > kLongGap) {
        lastMarkTick = tick;
        return "xxxx:";
    }
    if (gap > kShortGap) {
        lastMarkTick = tick;
        std::string digits = std::to_string(gap);
        return std::string(4 - digits.size(), ' ') + digits + ":";
    }
    return "    :";
}

std::string TracePrefix(std::string_view timing, std::int16_t base, std::int16_t file,
                        std::int16_t level, std::uint64_t tick, std::uint64_t& lastMarkTick,
                        bool firstOfBatch) {
    std::string prefix(timing);
    prefix += " :";
    prefix += ContextField(base);
    prefix += ContextField(file);
    prefix += LevelField(level);
    prefix += ElapsedField(tick, lastMarkTick);
    if (firstOfBatch) {
        prefix[0] = '*';
    }
    return prefix;
}

}  // namespace ks
