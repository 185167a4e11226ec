// The ports of the programs that run in a terminal without windows (the headless load and the
// demo station generator): the system clock, optionally started at a chosen local time; an
// event pump with nothing to pump; dialogs answered with their default button and written to
// standard error (and to the trace log once one is given); a load view that shows nothing;
// and a trace that writes the incidents to standard error and counts them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/clock.h"
#include "core/base/dialogs.h"
#include "core/base/event_pump.h"
#include "core/base/load_view.h"
#include "core/base/trace_sink.h"

namespace ks {

class SystemClock final : public Clock {
  public:
    // With `start`, the clock reads `start` now and runs on from there (to replay a day).
    explicit SystemClock(std::optional<DateTime> start = std::nullopt);

    DateTime Now() const override;
    std::uint64_t TickCount64() const override;
    std::uint32_t TickCount32() const override;
    void Sleep(int milliseconds) override;

  private:
    std::optional<DateTime> m_start;
    std::chrono::steady_clock::time_point m_startedAt;
};

class QuietEventPump final : public EventPump {
  public:
    void DoEvents() override {}
};

class QuietLoadView : public LoadView {
  public:
    void ShowLastLoad(const std::string& /*text*/) override {}
    void ShowNextLoad(const std::string& /*text*/) override {}
    void ShowCountdown(const std::string& /*text*/) override {}
    void ShowClock(const std::string& /*text*/) override {}
    void ShowTimingData(int /*index*/, const std::string& /*text*/) override {}
    void ShowCopy(bool /*visible*/) override {}
    void SetCopyProgress(int /*value*/) override {}
    void ShowTransfer(bool /*visible*/) override {}
    void BlinkTransfer() override {}
    void SetTransferTimer(bool /*enabled*/) override {}
    void SetTransferCaption(const std::string& /*text*/) override {}
    void SetTransferProgress(int /*minimum*/, int /*maximum*/, int /*value*/) override {}
    void SetTransferItemProgress(int /*minimum*/, int /*maximum*/, int /*value*/) override {}
    void SetMenuEnabled(bool /*enabled*/) override {}
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

// The default button of a message box, the first one: OK, Yes, Retry. It answers every message
// of the headless run, and those of the desktop program once the system has asked it to stop.
MsgAnswer DefaultAnswer(MsgButtons buttons);
// The trace line of a message answered by its default button: one line, "MessageBox: " + text.
void TraceDefaultAnswer(TraceSink& trace, const std::string& text);

// Every dialog is answered by its default button at once. Folder and file choosers are
// cancelled; no viewer is opened.
class ConsoleDialogs final : public Dialogs {
  public:
    // Message boxes are also traced from now on (task dialogs trace themselves).
    void SetTrace(TraceSink* trace) { m_trace = trace; }

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

  private:
    TraceSink* m_trace = nullptr;
};

// Writes a Windows-1252 text and a line end to standard error in the terminal's UTF-8.
void PrintError(std::string_view text);
// The same on standard output.
void PrintLine(std::string_view text);

}  // namespace ks
