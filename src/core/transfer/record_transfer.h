// The record transfer, second half of a load: opens the tables of the copied server station
// and of the local station, moves the music schedule, the songs it plays with their artists
// and categories, the advertising schedule and its songs and (first backup set only) the
// backup settings into the local station, purges local records older than three days, and
// closes the tables. Progress goes to the load view; every call goes through the call layer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace ks {

class BtrieveLayer;
class BtrieveReport;
class Clock;
class DbState;
class ErrorHandler;
class EventPump;
class LoadView;
class PervasiveFiles;
class TraceSink;
class TransferContext;
struct CopiedSet;
struct LoadStations;

class RecordTransfer {
  public:
    struct Services {
        DbState& db;
        LoadStations& stations;  // where the tables of this transfer are opened from
        BtrieveLayer& layer;
        PervasiveFiles& files;
        BtrieveReport& report;
        TraceSink& trace;
        ErrorHandler& errors;
        Clock& clock;
        EventPump& pump;
        LoadView& view;
    };

    explicit RecordTransfer(Services services);

    // The main window's caption, the location text of most reports.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }

    // Transfers backup set `set` (1 or 2; only set 1 copies the settings) from the tables the
    // copy phase left in `copied`, leaving `hourOffset` whole hours after the current one
    // untouched. `err95` comes back true when the engine
    // connection was lost (the later phases were skipped), `err8` when the source advertising
    // schedule answered "invalid positioning" (its songs were skipped). A call made while a
    // transfer runs returns at once and changes nothing.
    void DataTransfert(std::int16_t set, const CopiedSet& copied, const std::int16_t& hourOffset,
                       bool& err95, bool& err8);

    bool Running() const { return m_running; }

  private:
    // The phases in their order, each skipped once the engine connection is lost.
    void RunPhases(TransferContext& context, bool presence53);

    Services m_services;
    std::string m_caption;
    bool m_running = false;
    bool m_catalogueReady = false;
};

}  // namespace ks
