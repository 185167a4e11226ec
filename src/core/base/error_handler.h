// The common error handler: every failed step of every procedure ends here, is written as a
// framed incident into the trace log, and the procedure goes on with its next step.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "core/base/trace_state.h"

namespace ks {

class EventPump;
class TraceSink;

// The last failure (ErrNumber, ErrLine, ErrDescription, ErrSource).
struct ErrorRecord {
    std::int32_t ErrNumber = 0;
    std::int32_t ErrLine = 0;
    std::string ErrDescription;
    std::string ErrSource;

    void Clear() { *this = ErrorRecord{}; }
};

class ErrorHandler {
  public:
    ErrorHandler(TraceState& state, EventPump& pump) : m_state(state), m_pump(pump) {}

    // The trace log and the handler need each other; the trace is attached once both exist.
    void SetTrace(TraceSink* trace) { m_trace = trace; }

    ErrorRecord& Err() { return m_err; }
    const ErrorRecord& Err() const { return m_err; }

    // Writes the report of the recorded failure for `caller` ("Module:Procedure"), clears the
    // failure and lets pending events run. Never fails, never nests.
    void GestionDesErreurs(std::string_view caller) noexcept;

    // Records the exception in flight (or `error`) as the last failure at `line`.
    void Record(const std::exception_ptr& error, int line) noexcept;

    // Runs one step of a procedure. When it throws, the failure is recorded with the line of
    // the call and reported for `caller`; returns false so the procedure can take its neutral
    // path and go on.
    template <class Step>
    bool Guard(std::string_view caller, Step&& step, int line = __builtin_LINE()) noexcept {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (...) {
            Record(std::current_exception(), line);
            GestionDesErreurs(caller);
            return false;
        }
    }

    // As Guard, for a step whose failure is dropped without a report (the few procedures
    // that ignore their failures silently).
    template <class Step>
    static bool Silent(Step&& step) noexcept {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (...) {
            return false;
        }
    }

  private:
    TraceState& m_state;
    EventPump& m_pump;
    TraceSink* m_trace = nullptr;
    ErrorRecord m_err;
};

}  // namespace ks
