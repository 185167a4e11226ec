// The load cycle on a fresh program folder: the real settings stack, scheduling, file copy
// and load cycle over a server, a backup machine and an intermediate folder made in a
// temporary folder, with the ports faked and the record transfer replaced by a recorder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/app/database_copy.h"
#include "core/app/load_cycle.h"
#include "core/app/load_fields.h"
#include "core/app/load_scheduling.h"
#include "core/app/main_window_state.h"
#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/db/catalogue.h"
#include "core/settings/backup_settings.h"
#include "core/settings/config_files.h"
#include "core/settings/config_folders.h"
#include "core/settings/ini_access.h"
#include "core/settings/window_positions.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_finder.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "core/sys/server_share.h"
#include "core/sys/system_info.h"
#include "engine/record_engine.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/fake_load_view.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"
#include "tools/demo/table_writer.h"

namespace ks::test {

// The files a load copies from a server whose station is "A".
inline const std::vector<std::string> kServerFiles{
    "Fdat000.bt6", "Fdat009.bt6", "FdatA20.bt6", "FdatA21.bt6", "FdatA22.bt6",
    "FdatA23.bt6", "FdatA24.bt6", "FdatA26.bt6", "FdatA27.bt6", "FdatA28.bt6",
    "FdatA29.bt6", "FdatA31.bt6", "FdatA32.bt6", "FdatA35.bt6", "FdatA53.bt6"};

struct LoadEnv {
    struct TransferCall {
        std::int16_t set;
        std::int16_t hourOffset;
        CopiedSet copied;  // what the copy handed over
    };

    LoadEnv() {
        errors.SetTrace(&trace);
        for (const char* folder : {"Serveur/Data", "Local/Data", "Temporaire"}) {
            std::filesystem::create_directories(dir.Path() / folder);
        }
        WriteFile("Serveur/Config/KS3_Systeme.ini",
                  "[Base_01]\r\nDossier_Data=" + Folder("Serveur/Data") + "\r\n");
        WriteFile("Local/Config/KS3_Systeme.ini",
                  "[Base_01]\r\nDossier_Data=" + Folder("Local/Data") + "\r\n");
        // Empty tables of the catalogue's shapes: the copy takes nothing else.
        CatalogueTable catalogue;
        InitGeneralData(catalogue);
        demo::TableWriter writer(engine, catalogue);
        for (const std::string& name : kServerFiles) {
            writer.Create(Folder("Serveur/Data") + name,
                          std::stoi(name.substr(name.size() - 6, 2)));
        }
        copy.SetCaption("Caption");
        settings.SetOnFrequencyChanged(
            [this] { scheduling.DetermineTimingProchainChargementDonnees(); });
    }

    std::string Folder(const std::string& name) const { return dir.Folder() + name + "/"; }

    // Writes `bytes` to `path` (relative to the program folder), creating its folders.
    void WriteFile(const std::string& path, const std::string& bytes) const {
        std::filesystem::create_directories((dir.Path() / path).parent_path());
        dir.Write(path, bytes);
    }

    std::string SettingsFile() const {
        return dir.Folder() + "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini";
    }

    // The settings file with the demo's folders and `extra` lines, loaded as at start-up,
    // then the first next load computed and start-up marked finished.
    void Start(const std::string& extra = "") {
        WriteFile("Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini",
                  "[Folder]\r\nSource=" + Folder("Serveur/Config") +
                      "\r\nTemp=" + Folder("Local/Config") + "\r\nLocal=" + Folder("Temporaire") +
                      "\r\n" + extra);
        settings.Form_Load(nullptr);
        scheduling.DetermineTimingProchainChargementDonnees();
        state.FenetrePrincipaleChargee = true;
    }

    // The trace lines that start with one of `heads`, in order.
    std::vector<std::string> Lines(const std::vector<std::string>& heads) const {
        std::vector<std::string> out;
        for (const std::string& line : trace.Messages()) {
            for (const std::string& head : heads) {
                if (line.starts_with(head)) {
                    out.push_back(line);
                    break;
                }
            }
        }
        return out;
    }

    TempDir dir;
    RecordingTrace trace;
    FakeEventPump pump;
    FakeClock clock;
    FakeDialogs dialogs;
    FakeLoadView view;
    LoadFields fields{view};
    TraceState traceState;
    ErrorHandler errors{traceState, pump};
    ConfigFolders folders = ConfigFolders::ForProgramFolder(dir.Folder());
    FileOps files{trace, errors, clock};
    FolderOps folderOps{trace, errors};
    IniAccess ini{errors, files, folderOps};
    Registry registry{errors, dir.Folder()};
    SystemInfo system{errors, dir.Folder()};
    ConfigFiles config{errors, folders, system, files, folderOps, ini, registry, dialogs};
    FolderFinder finder{errors, trace, folderOps, registry, dialogs, dir.Folder()};
    WindowPositions positions{errors, ini, config};
    ServerShare share{clock, pump};
    BackupSettings settings{{errors, trace, traceState, ini, config, folderOps, finder, positions,
                             dialogs, fields, share, [] {}}};
    MainWindowState state;
    std::vector<TransferCall> transfers;
    // Runs inside the fake transfer (a tick or a click in the middle of a load).
    std::function<void(bool& err95, bool& err8)> duringTransfer;

    LoadScheduling scheduling{{settings, fields, state, trace, errors, clock}};
    engine::RecordEngine engine;
    DatabaseCopy copy{{settings, ini, files, dialogs, fields, trace, errors, pump, share}};
    LoadCycle cycle{{settings, ini, config, copy, scheduling, fields, state, trace, errors, clock,
                     share,
                     [this](std::int16_t set, const CopiedSet& copied,
                            const std::int16_t& hourOffset, bool& err95, bool& err8) {
                         transfers.push_back({set, hourOffset, copied});
                         if (duringTransfer) {
                             duringTransfer(err95, err8);
                         }
                     }}};
};

}  // namespace ks::test
