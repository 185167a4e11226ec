// The state of the main window that the load scheduling and the load cycle share: the next
// load time, whether a load runs, the consecutive waits for the suite's scheduler, and
// whether start-up has finished (no load runs before).
#pragma once

#include <cstdint>

#include "core/base/date_time.h"

namespace ks {

struct MainWindowState {
    // Start-up finished (set last by the start-up, cleared at shutdown).
    bool FenetrePrincipaleChargee = false;
    // The next automatic load. Until the first computation it is the calendar's zero date,
    // which any current time is past.
    DateTime ProchainChargement;
    // A backup set is being loaded: ticks and the button are turned away.
    bool ChargementEnCours = false;
    // Consecutive postponements while the suite's scheduler saves a database (both sets).
    std::int32_t CompteurAttente = 0;
};

}  // namespace ks
