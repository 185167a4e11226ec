#include "core/transfer/record_transfer.h"

#include <array>
#include <optional>

#include "core/base/clock.h"
#include "core/base/error_handler.h"
#include "core/base/event_pump.h"
#include "core/base/load_view.h"
#include "core/db/catalogue.h"
#include "core/db/db_state.h"
#include "core/db/load_stations.h"
#include "core/db/pervasive_files.h"
#include "core/transfer/advertising_transfer.h"
#include "core/transfer/copied_set.h"
#include "core/transfer/music_schedule.h"
#include "core/transfer/settings_purge.h"
#include "core/transfer/songs_transfer.h"
#include "core/transfer/transfer_context.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Frm_Main:DataTransfert";

constexpr int kCloseSteps = 30;

}  // namespace

RecordTransfer::RecordTransfer(Services services) : m_services(services) {}

void RecordTransfer::DataTransfert(std::int16_t set, const CopiedSet& copied,
                                   const std::int16_t& hourOffset, bool& err95, bool& err8) {
    if (m_running) {
        return;
    }
    m_running = true;
    Services& s = m_services;
    ErrorHandler& errors = s.errors;
    const auto step = [&errors](auto&& work) { errors.Guard(kCaller, work); };

    step([&] {
        s.view.SetTransferTimer(true);
        if (!m_catalogueReady) {
            m_catalogueReady = true;
            s.db.InitGeneralData();
        }
    });
    err95 = false;
    err8 = false;
    step([&] {
        s.view.ShowTransfer(true);
        s.pump.DoEvents();
        s.view.SetTransferProgress(0, 12, 0);
        s.view.SetMenuEnabled(false);
        s.view.SetTransferProgress(0, 12, 1);
    });

    // The database layer opens each station's tables from its folder.
    s.stations = copied.stations;
    const std::int16_t source = copied.stations.NoStation1;
    const std::int16_t destination = copied.stations.NoStation2;
    const bool presence53 = copied.PresenceFichier53;
    const auto eachTable = [&](auto&& act) {
        for (const std::int16_t file : kLoadTables) {
            act(file);
        }
        if (presence53) {
            act(table::kPlayerLog);
        }
    };
    for (const std::int16_t station : {source, destination}) {
        eachTable([&](std::int16_t file) {
            step([&] { s.files.FichierPervasiveOuvrir(0, station, station, file, 0); });
        });
    }

    std::optional<TransferContext> context;
    step([&] {
        context.emplace(s, m_caption, set, source, destination,
                        TimeWindow(s.clock.Now(), hourOffset));
    });
    if (context) {
        RunPhases(*context, presence53);
        err95 = context->err95;
        err8 = context->err8;
    }

    step([&] {
        s.view.SetTransferProgress(0, 12, 10);
        s.pump.DoEvents();
        s.view.SetTransferItemProgress(0, kCloseSteps, 0);
        s.pump.DoEvents();
        s.view.SetTransferCaption("Close data base");
    });
    int closed = 0;
    for (const std::int16_t station : {source, destination}) {
        if (station == destination) {
            step([&] { s.view.SetTransferProgress(0, 12, 11); });
        }
        eachTable([&](std::int16_t file) {
            step([&] {
                s.files.FichierPervasiveFermer(0, station, station, file);
                s.view.SetTransferItemProgress(0, kCloseSteps, ++closed);
                s.pump.DoEvents();
            });
        });
    }

    step([&] {
        s.view.SetTransferProgress(0, 12, 12);
        s.pump.DoEvents();
        s.view.SetTransferTimer(false);
        s.view.SetMenuEnabled(true);
        s.view.ShowTransfer(false);
        s.view.SetTransferCaption("");
        s.view.SetTransferProgress(0, 12, 0);
        s.view.SetTransferItemProgress(0, kCloseSteps, 0);
        s.pump.DoEvents();
    });
    m_running = false;
}

void RecordTransfer::RunPhases(TransferContext& context, bool presence53) {
    const auto step = [this](auto&& work) { m_services.errors.Guard(kCaller, work); };
    // FDAT053 takes part when the server had it and it opened on both sides.
    step(
        [&] { context.with53 = presence53 && context.TablesOpen({table::kPlayerLog}, "FDAT053"); });

    bool damaged = true;
    step([&] {
        if (context.TablesOpen({table::kMusicSchedule}, "Music schedule")) {
            damaged = MusicScheduleDamaged(context);
        }
    });
    step([&] {
        context.ListeMorceau.Clear();
        context.ListeArtiste.Clear();
        context.ListeCategorie.Clear();
        context.Progress(2);
        if (!damaged) {
            TransferMusicSchedule(context);
        }
    });
    if (!context.err95) {
        step([&] {
            context.Progress(3);
            if (context.TablesOpen({table::kSongs, table::kArtists, table::kCategories,
                                    table::kSongsByCategory, table::kRecorderSongs,
                                    table::kSongKeys, table::kCuePoints, table::kSongDetails},
                                   "Workshops, Artists, Categories")) {
                TransferSongs(context);
            }
        });
    }
    if (!context.err95) {
        step([&] {
            context.Progress(4);
            if (context.TablesOpen({table::kAdvertisingSchedule}, "Advertising schedule")) {
                TransferAdvertisingSchedule(context);
            } else {
                // The phase would have started by emptying the list: the advertising songs
                // must not replace the music schedule's songs a second time.
                context.ListeMorceau.Clear();
            }
        });
    }
    if (!context.err95 && !context.err8) {
        step([&] {
            context.Progress(5);
            if (context.TablesOpen({table::kRecorderSongs}, "Advertising songs")) {
                TransferAdvertisingSongs(context);
            }
        });
    }
    if (!context.err95) {
        step([&] {
            context.Progress(6);
            if (context.set == 1 &&
                context.TablesOpen({table::kBackupSettings}, "Settings", Side::Source) &&
                context.TablesOpen({table::kSettings}, "Settings", Side::Destination)) {
                TransferSettings(context);
            }
        });
    }
    // The purge of FDAT035, FDAT053 and FDAT028 is one step: a connection lost in one of them
    // does not skip the others, whose first call then ends them. FDAT027 waits for the
    // engine to answer. The cut-off date is the clock's when the purge starts.
    DateTime today;
    const auto purge = [&](std::int16_t file) {
        step([&] {
            if (context.TablesOpen({file}, "Deleting Backup " + std::to_string(file),
                                   Side::Destination)) {
                PurgeBackup(context, file, today);
            }
        });
    };
    if (!context.err95) {
        step([&] { today = context.ClockNow(); });
        context.Progress(7);
        purge(table::kMusicSchedule);
        if (context.with53) {
            purge(table::kPlayerLog);
        }
        context.Progress(8);
        purge(table::kPlayedEvents);
    }
    if (!context.err95) {
        context.Progress(9);
        purge(table::kAdvertisingSchedule);
    }
}

}  // namespace ks
