// The headless run: the same start-up as the desktop program, one forced load of the active
// backup sets, the shutdown, and an exit status that says how the load went.
#pragma once

#include <array>
#include <cstddef>

#include "core/app/load_cycle.h"

namespace ks {

class Loader;

// Exit statuses of the headless run, the worst first met in this order: a set stopped by a
// folder check, a set cancelled on status 8 or 95, a set postponed by a save of the suite's
// scheduler, an error reported (database or any other incident of the trace log).
inline constexpr int kExitLoaded = 0;
inline constexpr int kExitFolderCheck = 1;
inline constexpr int kExitCancelled = 2;
inline constexpr int kExitErrors = 3;
inline constexpr int kExitUsage = 4;
// A database call met a table file that was not open: the program stopped at once.
inline constexpr int kExitStopped = 5;
inline constexpr int kExitPostponed = 6;
// Another instance of the program holds the program's folder: nothing was done.
inline constexpr int kExitAnotherInstance = 7;

// The status of a load that left `sets` and traced `incidents` incident lines.
int LoadExitStatus(const std::array<SetOutcome, 2>& sets, std::size_t incidents);

// Start-up, one forced load, shutdown; the exit status.
int LoadOnce(Loader& loader);

}  // namespace ks
