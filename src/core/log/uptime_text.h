// The "System started since" text of the trace log header: days, hours, minutes, seconds.
#pragma once

#include <cstdint>
#include <string>

namespace ks {

// "3 D 4 H 5 Min 6 Sec", "1 H 0 Min 0 Sec", "12 Min 0 Sec" for a tick count in milliseconds.
// Seconds are rounded (half to even) before taking them modulo 60 while minutes are cut,
// so 59.6 s reads "0 Min 0 Sec", as the header has always shown it.
std::string UptimeText(std::uint64_t tickMilliseconds);

}  // namespace ks
