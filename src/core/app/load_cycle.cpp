#include "core/app/load_cycle.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/app/database_copy.h"
#include "core/app/load_fields.h"
#include "core/app/load_scheduling.h"
#include "core/app/main_window_state.h"
#include "core/app/time_stamp.h"
#include "core/base/clock.h"
#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/settings/backup_settings.h"
#include "core/settings/config_files.h"
#include "core/settings/ini_access.h"
#include "core/sys/folder_ops.h"
#include "core/sys/ini_file.h"
#include "core/sys/server_share.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Frm_Main:DataGestion";
constexpr std::string_view kSchedulerFile = "KS3_Tools_Scheduler_Save.ini";

}  // namespace

LoadCycle::LoadCycle(Services services) : m_services(std::move(services)) {}

void LoadCycle::DataGestion(std::int16_t hourOffset, bool forced) {
    MainWindowState& state = m_services.state;
    if (!state.FenetrePrincipaleChargee || state.ChargementEnCours || m_services.share.Stopping()) {
        return;
    }
    bool due = forced;
    m_services.errors.Guard(
        kCaller, [&] { due = forced || m_services.clock.Now() >= state.ProchainChargement; });
    if (!due) {
        m_services.scheduling.AfficheCompteur();
        return;
    }
    // Both sets in the same call; the due test is not made again between them.
    m_lastLoad = {};
    ++m_dueLoads;
    for (std::int16_t set = 1; set <= 2 && !m_services.share.Stopping(); ++set) {
        LoadSet(set, hourOffset);
    }
}

void LoadCycle::LoadSet(std::int16_t set, std::int16_t hourOffset) {
    ErrorHandler& errors = m_services.errors;
    MainWindowState& state = m_services.state;
    const BackupSettings& settings = m_services.settings;
    SetOutcome& outcome = m_lastLoad[static_cast<std::size_t>(set - 1)];

    // Set 1 always runs; set 2 when its box is ticked. The scheduler file of set 2 is looked
    // for in the intermediate folder, as the suite's tools have always placed it there.
    std::int32_t station = 0;
    std::string folder;
    bool active = set == 1;
    errors.Guard(kCaller, [&] {
        if (set == 1) {
            station = settings.ComboStation(kStationServeur).ListIndex() + 1;
            folder = CheckRep(settings.TexteDossierData(kDossierConfigServeur));
        } else {
            station = settings.ComboStation(kStationServeur2).ListIndex() + 1;
            folder = CheckRep(settings.TexteDossierData(kDossierTemporaire));
            active = settings.CheckSecours02Enabled() && settings.CheckSecours02() != 0;
        }
    });
    if (!active) {
        return;
    }
    outcome.active = true;

    bool busy = false;
    errors.Guard(kCaller, [&] { busy = SchedulerSaving(folder, station, set == 1); });
    if (busy) {
        ++state.CompteurAttente;
        errors.Guard(kCaller, [&] {
            m_services.trace.Trace(
                "Load data. Data timing: " + TimeStamp(state.ProchainChargement, &errors) +
                ". Waiting because schedule backup processing (" +
                std::to_string(state.CompteurAttente) + ")");
        });
        if (state.CompteurAttente < kMaxSchedulerWaits) {
            outcome.postponed = true;
            // A minute from now, or from the due time when that is still to come: after a
            // downtime the due time is long past, and a minute added to it would still be due
            // at the next tick, so the waits would not be minutes.
            errors.Guard(kCaller, [&] {
                state.ProchainChargement =
                    AddSeconds(std::max(state.ProchainChargement, m_services.clock.Now()),
                               kSchedulerWaitSeconds);
            });
            return;
        }
    }
    RunSet(set, hourOffset, outcome);
}

void LoadCycle::RunSet(std::int16_t set, std::int16_t hourOffset, SetOutcome& outcome) {
    ErrorHandler& errors = m_services.errors;
    MainWindowState& state = m_services.state;
    TraceSink& trace = m_services.trace;
    state.ChargementEnCours = true;
    state.CompteurAttente = 0;

    errors.Guard(kCaller, [&] {
        trace.Trace("Load data. Data timing: " + TimeStamp(state.ProchainChargement, &errors));
    });
    // The start of the load is recorded before anything can fail, and read back as the last
    // load the next one counts from.
    std::string settingsFile;
    std::string started;
    bool recorded = false;
    errors.Guard(kCaller, [&] {
        settingsFile = m_services.config.NomFichierSettings("", ".ini");
        started = TimeStamp(m_services.clock.Now(), &errors);
        recorded = m_services.ini.EcritureIni(settingsFile, "Data", "Last_Timing", started);
    });
    errors.Guard(kCaller, [&] {
        if (recorded) {
            m_services.fields.ShowTimingData(
                0, m_services.ini.LectureIni(settingsFile, "Data", "Last_Timing", ""));
            return;
        }
        // The older time still in the file would make the next load due at once, and every
        // tick after it would start one more: this load counts from its own start anyway.
        trace.TraceLog(-1, -1, -1, "Err: Unable to write Last_Timing in: " + settingsFile, true);
        m_services.fields.ShowTimingData(0, started);
    });

    std::int16_t status = 0;
    CopiedSet copied;
    errors.Guard(kCaller, [&] { trace.Trace("Load data: Start files copy"); });
    errors.Guard(kCaller, [&] { copied = m_services.copy.DataRecopie(set, status); });
    errors.Guard(kCaller, [&] { trace.Trace("Load data: End files copy"); });

    if (status != 0) {
        outcome.copyRefused = true;
        errors.Guard(kCaller, [&] { trace.Trace("Load data: Transfert records not done"); });
    } else {
        errors.Guard(kCaller, [&] { trace.Trace("Load data: Start transfert records"); });
        bool err95 = false;
        bool err8 = false;
        errors.Guard(kCaller, [&] {
            outcome.transferred = true;
            m_services.transfer(set, copied, hourOffset, err95, err8);
        });
        outcome.err8 = err8;
        outcome.err95 = err95;
        errors.Guard(kCaller, [&] {
            if (err8) {
                trace.Trace("Load data: cancelled because of Pervasive Err: 8");
            } else if (err95) {
                trace.Trace("Load data: cancelled because of Pervasive Err: 95");
            } else {
                trace.Trace("Load data: End transfert records");
            }
        });
    }

    errors.Guard(kCaller,
                 [&] { m_services.scheduling.DetermineTimingProchainChargementDonnees(); });
    state.ChargementEnCours = false;
}

bool LoadCycle::SchedulerSaving(const std::string& folder, std::int32_t station, bool onServer) {
    const std::string file = folder + std::string(kSchedulerFile);
    const std::string section = "Base_00_Station_" + N2S(station, 2, 0, "0", &m_services.errors);
    std::vector<std::string> lines;
    if (onServer) {
        lines = IniFile(m_services.share.ReadSmallFile(file).value_or("")).Entries(section);
    } else {
        std::int32_t count = 0;
        lines = m_services.ini.LectureIniListeDesClesDansUneSection(file, section, count);
    }
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            return false;
        }
        const std::string_view name = std::string_view(line).substr(0, equals);
        const std::string_view value = std::string_view(line).substr(equals + 1);
        return name.find("_Saved") != std::string_view::npos && value == "O";
    });
}

}  // namespace ks
