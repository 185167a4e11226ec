// The one composition of the loader's core: the trace log and error handler, the file and
// folder operations, the settings, the database layer, the record transfer and the load
// cycle, built once from the ports the program picks (Qt for the desktop program, console
// ports for a headless run) and wired together. The main window drives it through the
// entries below: start-up, the three timers, the button, the quit question and shutdown.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "core/app/database_copy.h"
#include "core/app/load_cycle.h"
#include "core/app/load_fields.h"
#include "core/app/load_health.h"
#include "core/app/load_scheduling.h"
#include "core/app/main_window_state.h"
#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/db/btrieve_layer.h"
#include "core/db/btrieve_report.h"
#include "core/db/db_state.h"
#include "core/db/load_stations.h"
#include "core/db/message_sink.h"
#include "core/db/pervasive_files.h"
#include "core/log/log_viewer.h"
#include "core/log/trace_log.h"
#include "core/settings/backup_settings.h"
#include "core/settings/config_files.h"
#include "core/settings/config_folders.h"
#include "core/settings/ini_access.h"
#include "core/settings/look_style.h"
#include "core/settings/window_positions.h"
#include "core/sys/dialog_msg.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_finder.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "core/sys/server_share.h"
#include "core/sys/system_info.h"
#include "core/transfer/record_transfer.h"

namespace ks {

class FormWindow;

struct LoaderPorts {
    engine::BtrCall& engine;
    Clock& clock;
    EventPump& pump;
    Dialogs& dialogs;
    LoadView& view;
    // The program's folder (DossierConfig): the one given by --root, else the executable's.
    std::string programFolder;
    // Ends the process at once. Called when a database call met a table file that is not
    // open, once that is traced and the trace is written: the program cannot go on, and
    // stopping leaves every table file whole (the engine's commits are all or nothing).
    std::function<void()> endProgram;
};

class Loader {
  public:
    explicit Loader(LoaderPorts ports);
    ~Loader() = default;
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    // "Kestrel : Player de secours - " + the version: the title of every message.
    const std::string& Caption() const { return m_caption; }

    // --- start-up ------------------------------------------------------------------------

    // The second half of start-up: the options window is loaded hidden (every backup setting
    // read, trace file output on; `optionsWindow`, when there is one, goes back to its place)
    // and the first next load is computed.
    void InitGeneral(FormWindow* optionsWindow = nullptr);
    // Set last by a successful start-up: from then on the load tick may load.
    void SetFenetrePrincipaleChargee(bool loaded) { m_state.FenetrePrincipaleChargee = loaded; }

    // --- timers and button ---------------------------------------------------------------

    void Timer1_Timer();          // 250 ms: the clock
    void TimerDonnees_Timer();    // 500 ms: the load cycle, forced false
    void CommandCharger_Click();  // "Lancer l'import": the load cycle, forced true
    // 250 ms while the transfer has its timer on (LoadView::SetTransferTimer): the blink.
    void TimerTransfert_Timer();

    // --- shutdown ------------------------------------------------------------------------

    // "Voulez-vous quitter le programme ?"; true when the operator answers Yes.
    bool QuitQuestion();
    // The shutdown in its order: trace and flush, closing flag, the main window's place,
    // the options window unloaded (offering to save changes), start-up flag cleared. The
    // caller then ends the process. Either window may be absent.
    void Form_Unload(FormWindow* mainWindow = nullptr, FormWindow* optionsWindow = nullptr);
    bool ApplicationEnFermeture() const { return m_traceState.ApplicationEnFermeture; }
    // The system asks the program to stop: a copy from the server under way is abandoned at
    // once (a hung share would hold it), and no load starts any more. The shutdown follows.
    void RequestStop() { m_share.RequestStop(); }

    // --- the menu ------------------------------------------------------------------------

    // "Lecture des Logs...": the log viewer on the log folder.
    void LectureLog() { m_logViewer.LectureLog(m_folders.DossierLog, ""); }

    // --- for the windows and the headless run ---------------------------------------------

    // The look's style number recorded for the suite (15 when none is, and then recorded).
    std::int32_t StyleEnregistre() { return m_look.StyleEnregistre(); }
    std::string VersionApplication() { return m_system.VersionApplication(); }
    WindowPositions& Positions() { return m_positions; }
    const LoadFacts& Health() const { return m_health.Facts(); }
    BackupSettings& Settings() { return m_settings; }
    DailyTraceLog& Trace() { return m_trace; }
    const ConfigFolders& Folders() const { return m_folders; }
    const MainWindowState& State() const { return m_state; }
    const LoadCycle& Cycle() const { return m_cycle; }

  private:
    void EndOnFatal();
    // The load cycle, then what the load left recorded when the call ran one.
    void RunCycle(bool forced);
    // After a set's transfer: the last hour of music schedule its local station holds.
    void ReadScheduleHorizon();

    LoaderPorts m_ports;
    std::string m_caption;
    ConfigFolders m_folders;
    TraceState m_traceState;
    ErrorHandler m_errors;
    DailyTraceLog m_trace;
    FileOps m_files;
    FolderOps m_folderOps;
    SystemInfo m_system;
    Registry m_registry;
    IniAccess m_ini;
    ConfigFiles m_config;
    DialogMsg m_dialogMsg;
    DialogMsgSink m_messages;
    FolderFinder m_finder;
    WindowPositions m_positions;
    LoadFields m_fields;
    ServerShare m_share;
    BackupSettings m_settings;
    DbState m_db;
    LoadStations m_stations;
    BtrieveReport m_report;
    BtrieveLayer m_layer;
    PervasiveFiles m_pervasive;
    RecordTransfer m_transfer;
    MainWindowState m_state;
    LoadScheduling m_scheduling;
    DatabaseCopy m_copy;
    LoadCycle m_cycle;
    LookStyle m_look;
    LogViewer m_logViewer;
    LoadHealth m_health;
    // The earliest last hour the local stations of the running load hold, once read.
    std::optional<std::string> m_scheduleHorizon;
};

}  // namespace ks
