// The demo station generator: under a program folder it makes the settings, the suite's
// configuration files, the server's table files of station 1 with a music library and
// schedules dated around a given day, and the backup machine's table files of station 1,
// so that the program can run a load on it. Each step is guarded: a failed step is reported
// through the error handler and the next one runs.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/base/date_time.h"
#include "core/db/catalogue.h"
#include "core/db/record_buffer.h"
#include "ks/engine/btr_call.h"
#include "tools/demo/demo_folders.h"
#include "tools/demo/demo_library.h"
#include "tools/demo/demo_records.h"
#include "tools/demo/demo_schedule.h"

namespace ks {
class ErrorHandler;
class FolderOps;
class IniAccess;
}  // namespace ks

namespace ks::demo {

// The station whose files are made on the server and on the backup machine.
inline constexpr int kDemoStation = 1;
// The days of the schedules, counted from today: history for the purge, then the days a load
// transfers (today and the seven following).
inline constexpr int kFirstScheduleDay = -5;
inline constexpr int kLastScheduleDay = 7;

// How big a station to make: its library and the shape of its hours.
struct DemoSize {
    int Songs = kDemoSongCount;
    int Artists = kDemoArtistCount;
    HourShape Hours;
};

// small: 300 songs, hours filled by song length (about 18 rows and 4 to 8 spots an hour);
// medium and large: 5,000 and 20,000 songs, 20 music rows and 6 spots every hour.
inline constexpr DemoSize kSmallStation{};
inline constexpr DemoSize kMediumStation{5'000, 1'000, {20, 6}};
inline constexpr DemoSize kLargeStation{20'000, 4'000, {20, 6}};

struct DemoOptions {
    DateTime Today;
    DemoSize Size;
    // Make the backup machine's table files afresh even when they open.
    bool FreshLocal = false;
};

struct DemoReport {
    std::size_t Songs = 0;
    std::size_t Artists = 0;
    std::size_t Categories = 0;
    std::size_t MusicEvents = 0;        // server FDAT035 rows
    std::size_t AdvertisingEvents = 0;  // server FDAT027 rows
    int ServerFiles = 0;                // table files made on the server (with their rows)
    int LocalFilesMade = 0;             // backup machine's table files made (empty or history)
    int LocalFilesKept = 0;             // backup machine's table files that opened and stayed
};

class DemoStation {
  public:
    DemoStation(ErrorHandler& errors, FolderOps& folderOps, IniAccess& ini, engine::BtrCall& engine,
                DemoFolders folders);

    DemoReport Make(const DemoOptions& options);

  private:
    void WriteServerTables(const DemoLibrary& library, const std::vector<DemoHour>& hours,
                           const DateTime& today, DemoReport& report);
    void WriteLocalTables(const DemoLibrary& library, const std::vector<DemoHour>& hours,
                          const DateTime& today, bool fresh, DemoReport& report);
    // Creates the table file of the demo station in `folder` and fills it (when `fill` is
    // set); false when a step failed, which is reported. `count`: the records inserted.
    bool MakeTable(const std::string& folder, int file,
                   const std::function<void(const RowInsert&)>& fill, std::size_t& count);
    std::string TablePath(const std::string& folder, int file) const;

    ErrorHandler& m_errors;
    FolderOps& m_folderOps;
    IniAccess& m_ini;
    engine::BtrCall& m_engine;
    DemoFolders m_folders;
    CatalogueTable m_catalogue;
    RecordBuffers m_buffers;
};

}  // namespace ks::demo
