#include "core/ports/console_ports.h"

#include <ctime>
#include <iostream>
#include <thread>

#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"

namespace ks {

SystemClock::SystemClock(std::optional<DateTime> start)
    : m_start(start), m_startedAt(std::chrono::steady_clock::now()) {}

DateTime SystemClock::Now() const {
    if (m_start) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - m_startedAt)
                                 .count() +
                             m_start->millisecond;
        DateTime now = AddSeconds(*m_start, elapsed / 1000);
        now.millisecond = static_cast<int>(elapsed % 1000);
        return now;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return DateTime{local.tm_year + 1900,
                    local.tm_mon + 1,
                    local.tm_mday,
                    local.tm_hour,
                    local.tm_min,
                    local.tm_sec,
                    static_cast<int>(now.tv_nsec / 1'000'000)};
}

std::uint64_t SystemClock::TickCount64() const {
    timespec ticks{};
    if (clock_gettime(CLOCK_BOOTTIME, &ticks) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(ticks.tv_sec) * 1000U +
           static_cast<std::uint64_t>(ticks.tv_nsec / 1'000'000);
}

std::uint32_t SystemClock::TickCount32() const {
    return static_cast<std::uint32_t>(TickCount64());
}

void SystemClock::Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ConsoleTrace::TraceLog(std::int16_t /*base*/, std::int16_t /*file*/, std::int16_t /*level*/,
                            std::string_view message, bool incident, std::int16_t /*base2*/,
                            bool /*flushNow*/) {
    if (incident) {
        ++m_incidents;
        PrintError(message);
    } else if (m_verbose) {
        PrintError(message);
    }
}

MsgAnswer DefaultAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
            return MsgAnswer::Yes;
        case MsgButtons::RetryCancel:
            return MsgAnswer::Retry;
        case MsgButtons::Ok:
        case MsgButtons::OkCancel:
            break;
    }
    return MsgAnswer::Ok;
}

void TraceDefaultAnswer(TraceSink& trace, const std::string& text) {
    // The line ends of the message would split the trace line.
    trace.Trace("MessageBox: " + ReplaceAll(text, "\r\n", " "));
}

MsgAnswer ConsoleDialogs::MessageBox(MsgIcon /*icon*/, MsgButtons buttons, const std::string& title,
                                     const std::string& text) {
    PrintError(title + ": " + text);
    if (m_trace != nullptr) {
        TraceDefaultAnswer(*m_trace, text);
    }
    return DefaultAnswer(buttons);
}

std::int32_t ConsoleDialogs::TaskDialog(
    const TaskDialogRequest& request,
    const std::function<bool(std::int64_t elapsedMs)>& /*onTimer*/) {
    PrintError(request.windowTitle + ": " + request.mainInstruction);
    if (!request.content.empty()) {
        PrintError(request.content);
    }
    return kTaskButtonOk;
}

std::optional<std::string> ConsoleDialogs::ChooseFolder(const std::string& /*title*/,
                                                        const std::string& /*initialFolder*/) {
    return std::nullopt;
}

std::optional<std::string> ConsoleDialogs::ChooseFile(const std::string& /*title*/,
                                                      const std::string& /*initialFolder*/,
                                                      const std::string& /*filter*/) {
    return std::nullopt;
}

bool ConsoleDialogs::OpenInViewer(const std::string& /*path*/) {
    return false;
}

void PrintError(std::string_view text) {
    std::cerr << Cp1252ToUtf8(text) << '\n';
}

void PrintLine(std::string_view text) {
    std::cout << Cp1252ToUtf8(text) << '\n';
}

}  // namespace ks
