// The loader's database layer wired to a real record engine, with fakes of the ports: what the
// tests of the layer on real table files (and of loads built on it) start from.
#pragma once

#include "core/db/btrieve_layer.h"
#include "core/db/btrieve_report.h"
#include "core/db/pervasive_files.h"
#include "core/sys/file_ops.h"
#include "engine/record_engine.h"
#include "support/db_fakes.h"
#include "support/fault_engine.h"

namespace ks::test {

// Tests need no protection against power cuts: the engine commits without waiting for the disk.
inline engine::EngineOptions FastEngineOptions() {
    engine::EngineOptions options;
    options.waitForDisk = false;
    return options;
}

struct RealDbStack : DbFakes {
    RealDbStack() {
        layer.SetFatalHook([this] { ++fatalCalls; });
    }
    RealDbStack(const RealDbStack&) = delete;
    RealDbStack& operator=(const RealDbStack&) = delete;

    engine::RecordEngine recordEngine{FastEngineOptions()};
    // Between the layer and the engine: passes every call on unless a test gives it a rule.
    FaultEngine faults{recordEngine};
    FileOps fileOps{trace, errors, clock};
    BtrieveReport report{db, clock, trace, messages, errors, "KS3_Diffuseur_Secours"};
    BtrieveLayer layer{db, faults, report, clock, trace, dialogs, errors, traceState};
    PervasiveFiles files{db, stations, faults, report, fileOps, trace, errors};
    int fatalCalls = 0;
};

}  // namespace ks::test
