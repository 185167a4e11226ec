// The trace line and the number formatting under libFuzzer. The input gives a clock reading,
// tick counts, context numbers, levels and message bytes to the daily trace log (as the
// program wires it, error handler included, with no log folder so nothing is written), and
// numbers, widths, decimals and fills to N2S. Besides crashes and sanitizer reports it stops
// on a broken promise: a line that does not end with its message, a framed message whose
// frame is not as long as it, a prefix that does not end with its elapsed field, or an N2S
// result that is not `width` characters (one more for a negative number with no room for its
// sign; an empty text only for the calls the helper refuses: not a number, a negative width,
// no room for the decimals).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/log/trace_log.h"
#include "core/log/trace_prefix.h"
#include "core/sys/text_helpers.h"
#include "support/fake_clock.h"
#include "support/fake_event_pump.h"

namespace {

// Says which promise broke, with the text that broke it, and stops.
[[noreturn]] void Broken(const char* promise, std::string_view text) {
    std::fprintf(stderr, "broken promise: %s [%.*s]\n", promise, static_cast<int>(text.size()),
                 text.data());
    std::abort();
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

ks::DateTime ClockReading(FuzzedDataProvider& input) {
    ks::DateTime now;
    now.year = input.ConsumeIntegral<int>();
    now.month = input.ConsumeIntegral<int>();
    now.day = input.ConsumeIntegral<int>();
    now.hour = input.ConsumeIntegral<int>();
    now.minute = input.ConsumeIntegral<int>();
    now.second = input.ConsumeIntegral<int>();
    now.millisecond = input.ConsumeIntegral<int>();
    return now;
}

void CheckN2S(FuzzedDataProvider& input) {
    double value = input.ConsumeFloatingPoint<double>();
    if (input.ConsumeBool()) {
        value = static_cast<double>(input.ConsumeIntegral<std::int32_t>()) / 100.0;
    }
    const auto width = input.ConsumeIntegralInRange<std::int16_t>(-2, 40);
    const auto decimals = input.ConsumeIntegralInRange<std::int16_t>(-3, 12);
    const std::string fill = input.ConsumeRandomLengthString(3);
    const std::string text = ks::N2S(value, width, decimals, fill);
    // A negative number that leaves no room for its sign is written one character longer,
    // with the sign in front, as the classic helper writes it.
    const bool refused = std::isnan(value) || width < 0 || (decimals > 0 && width < decimals + 1);
    const auto w = static_cast<std::size_t>(width);
    const bool fits = text.size() == w || (value < 0 && text.size() == w + 1 && text[0] == '-');
    if (refused ? !text.empty() : !fits) {
        char call[160];
        std::snprintf(call, sizeof call, "N2S(%.17g, %d, %d, fill of %zu) gives", value, width,
                      decimals, fill.size());
        Broken(call, text);
    }
}

void CheckPrefix(FuzzedDataProvider& input) {
    const std::string timing = input.ConsumeRandomLengthString(16);
    const auto base = input.ConsumeIntegral<std::int16_t>();
    const auto file = input.ConsumeIntegral<std::int16_t>();
    const auto level = input.ConsumeIntegralInRange<std::int16_t>(-2, 200);
    const auto tick = input.ConsumeIntegral<std::uint64_t>();
    std::uint64_t mark = input.ConsumeIntegral<std::uint64_t>();
    const bool first = input.ConsumeBool();
    const std::string prefix = ks::TracePrefix(timing, base, file, level, tick, mark, first);
    const std::string elapsed = prefix.substr(prefix.size() - 5);
    if (prefix.size() < timing.size() + 5 || elapsed.back() != ':' ||
        (first && prefix.front() != '*')) {
        Broken("a prefix ends with its five-character elapsed field", prefix);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider input(bytes, size);
    ks::TraceState state;
    ks::test::FakeEventPump pump;
    ks::ErrorHandler errors(state, pump);
    ks::test::FakeClock clock(ClockReading(input));
    ks::DailyTraceLog log(state, errors, clock);
    errors.SetTrace(&log);
    clock.SetTick(input.ConsumeIntegral<std::uint64_t>());

    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
            case 0:
                CheckN2S(input);
                break;
            case 1:
                CheckPrefix(input);
                break;
            case 2:
                clock.SetNow(ClockReading(input));
                clock.SetTick(input.ConsumeIntegral<std::uint64_t>());
                break;
            default: {
                const auto base = input.ConsumeIntegral<std::int16_t>();
                const auto file = input.ConsumeIntegral<std::int16_t>();
                // Levels past "A" + 190 have no character: the line is refused and the
                // failure reported through the same log.
                const auto level = input.ConsumeIntegralInRange<std::int16_t>(-2, 300);
                const bool framed = input.ConsumeBool();
                const char frame = input.ConsumeIntegral<char>();
                const bool incident = input.ConsumeBool();
                const std::string message = input.ConsumeRandomLengthString(300);
                auto& lines = log.ListeLog();
                lines.clear();
                if (framed) {
                    log.TraceLogEncadre(base, file, level, message, frame, incident);
                } else {
                    log.TraceLog(base, file, level, message, incident);
                }
                if (ks::IsBlank(message) || level > 200) {
                    break;
                }
                // Blank frame lines are dropped as any blank line is. A clock reading that is no
                // time of day is reported through the log around the lines, which still come.
                const std::string rule(message.size(), frame);
                const bool ruled = framed && !ks::IsBlank(rule);
                const auto ends = [&lines](std::size_t at, std::string_view end) {
                    return at < lines.size() && EndsWith(lines[at], end);
                };
                const auto anyEnds = [&lines](std::string_view end) {
                    return std::any_of(lines.begin(), lines.end(), [end](const std::string& line) {
                        return EndsWith(line, end);
                    });
                };
                const bool whole = ks::IsValid(clock.Now())
                                       ? lines.size() == (ruled ? 3U : 1U) &&
                                             ends(ruled ? 1 : 0, message) &&
                                             (!ruled || (ends(0, rule) && ends(2, rule)))
                                       : anyEnds(message) && (!ruled || anyEnds(rule));
                if (!whole) {
                    Broken("each line ends with its message or frame",
                           lines.empty() ? std::string() : lines.back());
                }
                break;
            }
        }
    }
    return 0;
}
