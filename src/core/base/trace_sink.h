// The trace facility as the rest of the program sees it. The daily trace log implements it;
// tests put a recording fake in its place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ks {

class TraceSink {
  public:
    virtual ~TraceSink() = default;

    // Adds one line with its context numbers (-1: none). `incident` registers the line in the
    // incident list of `base` and flushes at once; `flushNow` false holds the threshold flush.
    virtual void TraceLog(std::int16_t base, std::int16_t file, std::int16_t level,
                          std::string_view message, bool incident = false,  // NOLINT
                          std::int16_t base2 = -1, bool flushNow = true) = 0;

    // `message` framed above and below by a line of `frame` as long as the message: exactly
    // three TraceLog calls, only the message carrying `incident`.
    virtual void TraceLogEncadre(std::int16_t base, std::int16_t file, std::int16_t level,
                                 std::string_view message, char frame, bool incident) {
        const std::string line(message.size(), frame);
        TraceLog(base, file, level, line, false, -1, true);
        TraceLog(base, file, level, message, incident, -1, true);
        TraceLog(base, file, level, line, false, -1, true);
    }

    // Shorthand for the common case: a plain line without context.
    void Trace(std::string_view message) { TraceLog(-1, -1, -1, message); }
};

}  // namespace ks
