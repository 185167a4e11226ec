// The settings stack on a fresh program folder: real INI files, registry store, folders and
// configuration files, with the ports faked. The program folder is a temporary folder.
#pragma once

#include <filesystem>
#include <string>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
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
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/fake_load_view.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"

namespace ks::test {

struct SettingsEnv {
    SettingsEnv() { errors.SetTrace(&trace); }

    // The settings folder and files once the settings folder is named.
    std::string SettingsFolder() const { return dir.Folder() + "Settings/KS_Diffuseurs_Secours/"; }
    std::string SettingsFile() const { return SettingsFolder() + "KS_Diffuseurs_Secours.ini"; }
    std::string PositionsFile() const {
        return SettingsFolder() + "KS_Diffuseurs_Secours_Positions.ini";
    }

    // Writes `bytes` to `path` (relative to the program folder), creating its folders.
    std::string WriteFile(const std::string& path, const std::string& bytes) const {
        const std::filesystem::path full = dir.Path() / path;
        std::filesystem::create_directories(full.parent_path());
        return dir.Write(std::filesystem::relative(full, dir.Path()).string(), bytes);
    }

    // True when the trace holds an incident line naming `caller`.
    bool Reported(std::string_view caller) const {
        for (const auto& line : trace.lines) {
            if (line.incident && line.message.find(caller) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    TempDir dir;
    RecordingTrace trace;
    FakeEventPump pump;
    FakeClock clock;
    FakeDialogs dialogs;
    FakeLoadView view;
    TraceState state;
    ErrorHandler errors{state, pump};
    ConfigFolders folders = ConfigFolders::ForProgramFolder(dir.Folder());
    FileOps files{trace, errors, clock};
    FolderOps folderOps{trace, errors};
    IniAccess ini{errors, files, folderOps};
    Registry registry{errors, dir.Folder()};
    SystemInfo system{errors, dir.Folder()};
    ConfigFiles config{errors, folders, system, files, folderOps, ini, registry, dialogs};
    FolderFinder finder{errors, trace, folderOps, registry, dialogs, dir.Folder()};
    WindowPositions positions{errors, ini, config};
    int flushes = 0;
    bool flushedWhileFileOutputOn = false;
    ServerShare share{clock, pump};
    BackupSettings settings{{errors, trace, state, ini, config, folderOps, finder, positions,
                             dialogs, view, share, [this] {
                                 ++flushes;
                                 flushedWhileFileOutputOn = state.TraceFichierActif;
                             }}};
};

}  // namespace ks::test
