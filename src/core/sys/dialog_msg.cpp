#include "core/sys/dialog_msg.h"

#include <algorithm>

#include "core/base/clock.h"
#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/base/event_pump.h"
#include "core/base/trace_sink.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Lib_General:Dialog_Msg";
constexpr std::string_view kCallerButton = "Frm_MainBis:TaskDialog_ButtonClicked";
constexpr std::string_view kCallerTimer = "Frm_MainBis:TaskDialog_Timer";

}  // namespace

std::string TaskButtonName(std::int32_t button) {
    switch (button) {
        case kButtonOk:
            return "Ok";
        case kButtonYes:
            return "Yes";
        case kButtonNo:
            return "No";
        case kButtonCancel:
            return "Cancel";
        case kButtonRetry:
            return "Retry";
        case kButtonClose:
            return "Close";
        default:
            return std::to_string(button);
    }
}

DialogMsg::DialogMsg(Dialogs& dialogs, TraceSink& trace, ErrorHandler& errors, Clock& clock,
                     EventPump& pump)
    : m_dialogs(dialogs), m_trace(trace), m_errors(errors), m_clock(clock), m_pump(pump) {}

void DialogMsg::Dialog_Msg(std::string_view mainInstruction, std::string_view content,
                           std::string_view footer, std::int32_t icon, std::int32_t width) {
    m_errors.Guard(kCaller, [&] {
        std::string line = "TaskDialog: ";
        line += mainInstruction;
        if (!content.empty()) {
            line += " ContentText: ";
            line += content;
        }
        m_trace.TraceLog(-1, -1, -1, line);
    });

    // Each call starts from a fresh request: nothing of the previous message is kept.
    TaskDialogRequest request;
    std::int32_t button = 0;
    const bool closed = m_errors.Guard(kCaller, [&] {
        request.width = width;
        request.windowTitle = m_caption;
        request.mainInstruction = std::string(mainInstruction);
        request.content = std::string(content);
        request.footer = std::string(footer);
        request.icon = icon;
        m_openedTick64 = m_clock.TickCount64();
        m_openedTick32 = m_clock.TickCount32();
        button = m_dialogs.TaskDialog(
            request, [this](std::int64_t elapsedMs) { return TimerTick(elapsedMs); });
    });
    if (closed) {
        ButtonClicked(button);
    }
}

void DialogMsg::ButtonClicked(std::int32_t button) {
    m_errors.Guard(kCallerButton, [&] {
        m_trace.TraceLog(-1, -1, -1, "TaskDialog: ButtonClicked: " + TaskButtonName(button));
        m_lastButton = button;
    });
}

std::int64_t DialogMsg::ClockElapsedMs() const {
    const std::uint64_t now64 = m_clock.TickCount64();
    if (now64 != 0 && m_openedTick64 != 0) {
        return static_cast<std::int64_t>(now64 - m_openedTick64);
    }
    // The 32-bit count wraps; the unsigned difference stays right across one wrap.
    return static_cast<std::int64_t>(
        static_cast<std::uint32_t>(m_clock.TickCount32() - m_openedTick32));
}

bool DialogMsg::TimerTick(std::int64_t elapsedMs) {
    bool pressDefault = false;
    m_errors.Guard(kCallerTimer, [&] {
        // The dialog's own count and the program clock both count: whichever says the five
        // seconds are over closes the dialog, so a starved dialog timer cannot keep it open.
        const std::int64_t elapsed = std::max(elapsedMs, ClockElapsedMs());
        if (elapsed > kDialogSelfCloseMs) {
            m_trace.TraceLog(-1, -1, -1, "Dialog_Msg: Out Off Timer");
            pressDefault = true;
        } else {
            m_pump.DoEvents();
        }
    });
    return pressDefault;
}

}  // namespace ks
