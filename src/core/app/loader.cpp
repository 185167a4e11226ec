#include "core/app/loader.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "core/app/schedule_horizon.h"
#include "core/app/time_stamp.h"
#include "core/base/clock.h"
#include "core/base/dialogs.h"
#include "core/base/event_pump.h"
#include "core/base/load_view.h"
#include "core/db/catalogue.h"
#include "core/settings/form_window.h"
#include "core/sys/folder_ops.h"

namespace ks {
namespace {

constexpr std::string_view kInitGeneral = "Frm_Main:InitGeneral";
constexpr std::string_view kFormUnload = "Frm_Main:Form_Unload";
constexpr std::string_view kTimer = "Frm_Main:Timer1_Timer";
constexpr std::string_view kQuitter = "Frm_Main:Mnu01Quitter_Click";
constexpr std::string_view kDataGestion = "Frm_Main:DataGestion";
constexpr std::int16_t kHourOffset = 1;
// The music schedule table, FDAT035.
constexpr int kMusicScheduleFile = table::kMusicSchedule;

constexpr const char* kThemeKey = R"(Software\Microsoft\Windows\CurrentVersion\ThemeManager)";

}  // namespace

Loader::Loader(LoaderPorts ports)
    : m_ports(std::move(ports)),
      m_folders(ConfigFolders::ForProgramFolder(m_ports.programFolder)),
      m_errors(m_traceState, m_ports.pump),
      m_trace(m_traceState, m_errors, m_ports.clock),
      m_files(m_trace, m_errors, m_ports.clock),
      m_folderOps(m_trace, m_errors),
      m_system(m_errors, m_folders.DossierConfig),
      m_registry(m_errors, m_folders.DossierConfig),
      m_ini(m_errors, m_files, m_folderOps),
      m_config(m_errors, m_folders, m_system, m_files, m_folderOps, m_ini, m_registry,
               m_ports.dialogs),
      m_dialogMsg(m_ports.dialogs, m_trace, m_errors, m_ports.clock, m_ports.pump),
      m_messages(m_dialogMsg),
      m_finder(m_errors, m_trace, m_folderOps, m_registry, m_ports.dialogs,
               m_folders.DossierConfig),
      m_positions(m_errors, m_ini, m_config),
      m_fields(m_ports.view),
      m_share(m_ports.clock, m_ports.pump),
      m_settings({
          .errors = m_errors,
          .trace = m_trace,
          .traceState = m_traceState,
          .ini = m_ini,
          .config = m_config,
          .folderOps = m_folderOps,
          .finder = m_finder,
          .positions = m_positions,
          .dialogs = m_ports.dialogs,
          .view = m_fields,
          .share = m_share,
          .flushTrace = [this] { m_trace.TraceLogForce(m_trace.ListeLog(), ""); },
      }),
      m_report(m_db, m_ports.clock, m_trace, m_messages, m_errors, ExecutableName()),
      m_layer(m_db, m_ports.engine, m_report, m_ports.clock, m_trace, m_ports.dialogs, m_errors,
              m_traceState),
      m_pervasive(m_db, m_stations, m_ports.engine, m_report, m_files, m_trace, m_errors),
      m_transfer({
          .db = m_db,
          .stations = m_stations,
          .layer = m_layer,
          .files = m_pervasive,
          .report = m_report,
          .trace = m_trace,
          .errors = m_errors,
          .clock = m_ports.clock,
          .pump = m_ports.pump,
          .view = m_fields,
      }),
      m_scheduling({m_settings, m_fields, m_state, m_trace, m_errors, m_ports.clock}),
      m_copy({m_settings, m_ini, m_files, m_ports.dialogs, m_fields, m_trace, m_errors,
              m_ports.pump, m_share}),
      m_cycle({m_settings, m_ini, m_config, m_copy, m_scheduling, m_fields, m_state, m_trace,
               m_errors, m_ports.clock, m_share,
               [this](std::int16_t set, const CopiedSet& copied, const std::int16_t& hourOffset,
                      bool& err95, bool& err8) {
                   m_transfer.DataTransfert(set, copied, hourOffset, err95, err8);
                   ReadScheduleHorizon();
               }}),
      m_look(m_errors, m_registry),
      m_logViewer(m_trace, m_files, m_ports.dialogs, m_errors, m_ports.clock),
      m_health({m_ini, m_config, m_settings, m_fields, m_errors}) {
    m_errors.SetTrace(&m_trace);
    m_files.SetTickSource([this] { return m_trace.TimingTickCount(); });
    m_trace.SetFileDeleter([this](const std::string& file, std::string_view caller) {
        m_files.File_Delete(file, caller);
    });
    m_folderOps.VerificationEtCreationRepertoire(m_folders.DossierLog);
    m_trace.SetDossierLog(m_folders.DossierLog);
    m_trace.SetFormatJour(std::string(kFormatJour));
    m_trace.SetHeaderSources({
        .VersionApplication = [this] { return m_system.VersionApplication(); },
        .ExeFolder = [this] { return m_folders.DossierConfig; },
        .ExeBaseName = [] { return ExecutableName(); },
        .ProductName = [] { return SystemInfo::ProductName(); },
        .ComputerName = [this] { return m_system.ComputerName(); },
        .ThemeActive =
            [this] {
                std::string value;
                m_registry.Reg_GetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", value);
                return value;
            },
        .GetOSDisplayString = [this] { return m_system.GetOSDisplayString(); },
    });
    m_trace.SetTexteLogNbMaxLignes([this] { return m_settings.TexteLogNbMaxLignes(); });

    m_caption = "Kestrel : Player de secours - " + m_system.VersionApplication();
    m_config.SetCaption(m_caption);
    m_dialogMsg.SetCaption(m_caption);
    m_settings.SetCaption(m_caption);
    m_layer.SetCaption(m_caption);
    m_transfer.SetCaption(m_caption);
    m_copy.SetCaption(m_caption);
    m_logViewer.SetCaption(m_caption);
    m_layer.SetFatalHook([this] { EndOnFatal(); });
    m_settings.SetOnFrequencyChanged(
        [this] { m_scheduling.DetermineTimingProchainChargementDonnees(); });
}

void Loader::InitGeneral(FormWindow* optionsWindow) {
    m_errors.Guard(kInitGeneral, [&] { m_trace.Trace("Start: " + m_system.VersionApplication()); });
    m_errors.Guard(kInitGeneral, [&] { m_settings.Form_Load(optionsWindow); });
    m_errors.Guard(kInitGeneral, [&] { m_ports.pump.DoEvents(); });
    m_errors.Guard(kInitGeneral, [&] { m_scheduling.DetermineTimingProchainChargementDonnees(); });
    m_errors.Guard(kInitGeneral, [&] { m_health.Load(m_ports.clock.Now()); });
}

void Loader::Timer1_Timer() {
    if (m_traceState.ApplicationEnFermeture) {
        return;
    }
    m_errors.Guard(kTimer, [&] {
        const DateTime now = m_ports.clock.Now();
        m_ports.view.ShowClock(TimeStamp(now, &m_errors));
        if (m_state.FenetrePrincipaleChargee) {
            m_health.Tick(now);
        }
    });
}

void Loader::TimerDonnees_Timer() {
    if (m_traceState.ApplicationEnFermeture || !m_state.FenetrePrincipaleChargee) {
        return;
    }
    RunCycle(false);
}

void Loader::CommandCharger_Click() {
    // A click still queued when the shutdown pumps its events starts nothing.
    if (m_traceState.ApplicationEnFermeture) {
        return;
    }
    RunCycle(true);
}

void Loader::RunCycle(bool forced) {
    const std::uint64_t loads = m_cycle.DueLoads();
    const std::size_t incidents = m_trace.Incidents();
    m_cycle.DataGestion(kHourOffset, forced);
    if (m_cycle.DueLoads() == loads) {
        return;  // no load was due, or one is running and this call came from within it
    }
    m_health.Record(m_cycle.LastLoad(), m_trace.Incidents() - incidents,
                    m_fields.TexteTimingData(0), m_scheduleHorizon, m_ports.clock.Now());
    m_scheduleHorizon.reset();
}

void Loader::ReadScheduleHorizon() {
    m_errors.Guard(kDataGestion, [&] {
        if (m_stations.NoStation2 < 1 || m_stations.NoStation2 > kStationLines) {
            return;
        }
        const std::optional<std::string> hour = LastScheduledHour(
            m_ports.engine, CheckRep(m_stations.DossierStation2) +
                                m_db.NomFichierBTR(kMusicScheduleFile, m_stations.NoStation2 - 1));
        if (hour) {
            m_scheduleHorizon = m_scheduleHorizon ? std::min(*m_scheduleHorizon, *hour) : *hour;
        }
    });
}

void Loader::TimerTransfert_Timer() {
    if (m_traceState.ApplicationEnFermeture) {
        return;
    }
    m_fields.BlinkTransfer();
}

bool Loader::QuitQuestion() {
    bool quit = false;
    m_errors.Guard(kQuitter, [&] {
        quit = m_ports.dialogs.MessageBox(MsgIcon::Question, MsgButtons::YesNo, "Kestrel : Secours",
                                          "Voulez-vous quitter le programme ?") == MsgAnswer::Yes;
    });
    return quit;
}

void Loader::Form_Unload(FormWindow* mainWindow, FormWindow* optionsWindow) {
    m_errors.Guard(kFormUnload, [&] { m_trace.Trace("Frm_Main:Form_Unload"); });
    m_errors.Guard(kFormUnload, [&] { m_trace.TraceLogForce(m_trace.ListeLog(), ""); });
    m_traceState.ApplicationEnFermeture = true;
    if (mainWindow != nullptr) {
        m_errors.Guard(kFormUnload,
                       [&] { m_positions.PositionFeuilleSauvegarde(*mainWindow, ""); });
    }
    m_errors.Guard(kFormUnload, [&] { m_ports.pump.DoEvents(); });
    if (m_traceState.TraceFichierActif) {
        m_errors.Guard(kFormUnload, [&] { m_settings.Form_Unload(optionsWindow); });
    }
    // From here on nothing may stop the end.
    m_state.FenetrePrincipaleChargee = false;
    ErrorHandler::Silent([&] { m_ports.pump.DoEvents(); });
}

void Loader::EndOnFatal() {
    ErrorHandler::Silent([&] { m_trace.TraceLogForce(m_trace.ListeLog(), ""); });
    if (m_ports.endProgram) {
        m_ports.endProgram();
    }
}

}  // namespace ks
