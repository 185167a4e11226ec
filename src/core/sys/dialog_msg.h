// The operator message of the program: a task dialog that closes itself after five seconds,
// so that an unattended backup machine never stays blocked on a message. Every message and
// the button that closed it are written to the trace log; the last result is kept here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ks {

class Clock;
class Dialogs;
class ErrorHandler;
class EventPump;
class TraceSink;

// Task dialog button identifiers and the main icon the database error report uses.
inline constexpr std::int32_t kButtonOk = 1;
inline constexpr std::int32_t kButtonYes = 2;
inline constexpr std::int32_t kButtonNo = 4;
inline constexpr std::int32_t kButtonCancel = 8;
inline constexpr std::int32_t kButtonRetry = 16;
inline constexpr std::int32_t kButtonClose = 32;

// A dialog left alone longer than this is closed by pressing its default button.
inline constexpr std::int64_t kDialogSelfCloseMs = 5000;

// "Ok", "Yes", "No", "Cancel", "Retry", "Close", or the identifier in decimal.
std::string TaskButtonName(std::int32_t button);

class DialogMsg {
  public:
    DialogMsg(Dialogs& dialogs, TraceSink& trace, ErrorHandler& errors, Clock& clock,
              EventPump& pump);

    // The main window's caption, used as the title of every dialog.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }

    // Traces the message, shows it with one OK button and returns once it is closed (by the
    // operator or after five seconds). An empty content or footer is left out.
    void Dialog_Msg(std::string_view mainInstruction, std::string_view content,
                    std::string_view footer, std::int32_t icon, std::int32_t width);

    // Events of the dialog: the button that closes it, a radio button, the periodic timer.
    // The timer returns true when the dialog must press its default button now.
    void ButtonClicked(std::int32_t button);
    void RadioButtonClicked(std::int32_t value) { m_lastRadio = value; }
    bool TimerTick(std::int64_t elapsedMs);

    // The last dialog result: the button that closed the last dialog, the last radio value.
    std::int32_t LastButton() const { return m_lastButton; }
    std::int32_t LastRadio() const { return m_lastRadio; }

  private:
    std::int64_t ClockElapsedMs() const;

    Dialogs& m_dialogs;
    TraceSink& m_trace;
    ErrorHandler& m_errors;
    Clock& m_clock;
    EventPump& m_pump;
    std::string m_caption;
    // Ticks of the clock when the dialog opened (64 bits when available, else 32 bits).
    std::uint64_t m_openedTick64 = 0;
    std::uint32_t m_openedTick32 = 0;
    std::int32_t m_lastButton = 0;
    std::int32_t m_lastRadio = 0;
};

}  // namespace ks
