// The guard every text helper runs its step in: a failure is reported through the error
// handler when the caller gave one (with the caller name of the public library module), and
// dropped silently otherwise. Shared by the string, number and date helpers only.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "core/base/error_handler.h"
#include "core/base/failure.h"

namespace ks::text_guard {

// Every helper here belongs to the public library module of the error reports.
constexpr std::string_view kModule = "Lib_Public:";

[[noreturn]] inline void ThrowInvalidCall() {
    throw Failure(kErrInvalidCall, "Invalid procedure call or argument");
}

// Runs one step of a helper: reported through `errors` when there is a handler, dropped
// silently otherwise (helpers used before the handler exists, or by pure code). The caller
// name is made only for a report: the helpers run on every database call, and the name
// (N2S writes its value into it) costs more than the step.
template <class Name, class Step>
bool Run(ErrorHandler* errors, Name&& name, Step&& step, int line = __builtin_LINE()) {
    if (errors == nullptr) {
        return ErrorHandler::Silent(std::forward<Step>(step));
    }
    try {
        std::forward<Step>(step)();
        return true;
    } catch (...) {
        errors->Record(std::current_exception(), line);
        errors->GestionDesErreurs(std::forward<Name>(name)());
        return false;
    }
}

inline std::string Caller(std::string_view procedure) {
    std::string caller(kModule);
    caller += procedure;
    return caller;
}

}  // namespace ks::text_guard
