// The ports and state the database layer is built on, as fakes: what every database test
// starts from, whether its engine is scripted or real.
#pragma once

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/db/db_state.h"
#include "core/db/load_stations.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/recording_messages.h"
#include "support/recording_trace.h"

namespace ks::test {

struct DbFakes {
    DbFakes() {
        errors.SetTrace(&trace);
        db.InitGeneralData();
    }
    DbFakes(const DbFakes&) = delete;
    DbFakes& operator=(const DbFakes&) = delete;

    FakeClock clock;
    FakeEventPump pump;
    FakeDialogs dialogs;
    RecordingTrace trace;
    RecordingMessages messages;
    TraceState traceState;
    ErrorHandler errors{traceState, pump};
    LoadStations stations;
    DbState db;
};

}  // namespace ks::test
