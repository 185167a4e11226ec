// The outside world of the demo station generator, which runs in a terminal without windows:
// the system clock, an event pump with nothing to pump, dialogs answered on the terminal and
// a trace that writes the incidents (the error reports) to standard error and counts them,
// so that the generator can end with a failure status when any step failed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/log/trace_sink.h"
#include "core/ports/clock.h"
#include "core/ports/dialogs.h"
#include "core/ports/event_pump.h"

namespace ks::demo {

class SystemClock final : public Clock {
  public:
    DateTime Now() const override;
    std::uint64_t TickCount64() const override;
    std::uint32_t TickCount32() const override;
    void Sleep(int milliseconds) override;
};

class QuietEventPump final : public EventPump {
  public:
    void DoEvents() override {}
};

class ConsoleTrace final : public TraceSink {
  public:
    // With `verbose` every trace line is written, not only the incidents.
    explicit ConsoleTrace(bool verbose = false) : m_verbose(verbose) {}

    void TraceLog(std::int16_t base, std::int16_t file, std::int16_t level,
                  std::string_view message, bool incident = false,  // NOLINT
                  std::int16_t base2 = -1, bool flushNow = true) override;

    int Incidents() const { return m_incidents; }

  private:
    bool m_verbose;
    int m_incidents = 0;
};

// Messages go to standard error; a question is answered with its first button.
class ConsoleDialogs final : public Dialogs {
  public:
    MsgAnswer MessageBox(MsgIcon icon, MsgButtons buttons, const std::string& title,
                         const std::string& text) override;
    std::int32_t TaskDialog(const TaskDialogRequest& request,
                            const std::function<bool(std::int64_t elapsedMs)>& onTimer) override;
    std::optional<std::string> ChooseFolder(const std::string& title,
                                            const std::string& initialFolder) override;
    std::optional<std::string> ChooseFile(const std::string& title,
                                          const std::string& initialFolder,
                                          const std::string& filter) override;
    bool OpenInViewer(const std::string& path) override;
};

// Writes a Windows-1252 text and a line end to standard error in the terminal's UTF-8.
void PrintError(std::string_view text);
// The same on standard output.
void PrintLine(std::string_view text);

}  // namespace ks::demo
