// A trace sink for tests: records every line with its context numbers and flags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/base/trace_sink.h"

namespace ks::test {

class RecordingTrace : public TraceSink {
  public:
    struct Line {
        std::int16_t base;
        std::int16_t file;
        std::int16_t level;
        std::string message;
        bool incident;
    };

    void TraceLog(std::int16_t base, std::int16_t file, std::int16_t level,
                  std::string_view message, bool incident, std::int16_t /*base2*/,
                  bool /*flushNow*/) override {
        lines.push_back({base, file, level, std::string(message), incident});
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& line : lines) {
            out.push_back(line.message);
        }
        return out;
    }

    std::vector<Line> lines;
};

}  // namespace ks::test
