// The database layer wired to fakes: a scripted engine, a fake clock, recorded trace lines,
// warning boxes and operator messages, and a fatal hook that only counts.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/db/btrieve_layer.h"
#include "core/db/btrieve_report.h"
#include "support/db_fakes.h"
#include "support/scripted_engine.h"

namespace ks::test {

class DbFixture : public ::testing::Test, protected DbFakes {
  protected:
    DbFixture() {
        layer.SetCaption("Kestrel : Player de secours - 1.0");
        layer.SetFatalHook([this] { ++fatalCalls; });
    }

    // Marks the file open as the open would, with the catalogue's record length.
    void MarkOpen(int base, int station, int file) {
        db.SetFichierOuvertBTR(base, station, file, true);
        db.Longueur(file) = static_cast<std::uint16_t>(
            db.CatalogueBTR[static_cast<std::size_t>(file)].LongueurEnreg);
    }

    // Messages of the trace lines written so far, then forgets them.
    std::vector<std::string> TakeTrace() {
        auto lines = trace.Messages();
        trace.lines.clear();
        return lines;
    }

    ScriptedEngine engine;
    BtrieveReport report{db, clock, trace, messages, errors, "KS3_Diffuseur_Secours"};
    BtrieveLayer layer{db, engine, report, clock, trace, dialogs, errors, traceState};
    int fatalCalls = 0;
};

}  // namespace ks::test
