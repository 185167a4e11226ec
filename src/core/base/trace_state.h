// The state shared by the trace log and the error handler: the marks of the trace lines,
// the days of the last header and purge, and the program-wide flags both consult.
#pragma once

#include <cstdint>
#include <string>

namespace ks {

struct TraceState {
    std::uint64_t LastMarkTick = 0;       // tick of the last elapsed-time mark
    std::string LastHeaderDay;            // day key of the last header block written
    std::string LastPurgeDay;             // day key of the last purge of old log files
    bool InErrorHandler = false;          // true while GestionDesErreurs runs
    bool TraceFichierActif = false;       // file output enabled (options window loaded)
    bool ApplicationEnFermeture = false;  // shutdown has begun
};

}  // namespace ks
