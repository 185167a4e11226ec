// Builds the program's objects, wires them together and runs the event loop.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <string>

#include "core/log/error_handler.h"
#include "core/log/trace_log.h"
#include "core/log/trace_state.h"
#include "core/settings/backup_settings.h"
#include "core/settings/config_files.h"
#include "core/settings/config_folders.h"
#include "core/settings/ini_access.h"
#include "core/settings/window_positions.h"
#include "core/sys/dialog_msg.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_finder.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "core/sys/system_info.h"
#include "core/sys/text_helpers.h"
#include "gui/main_window.h"
#include "gui/qt_ports.h"
#include "gui/termination_watcher.h"
#include "platform/cp1252.h"

namespace {

// The program's folder: the one given by --root DIR, else the executable's folder.
std::string ProgramFolder(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--root"));
    if (at >= 0 && at + 1 < arguments.size()) {
        return ks::Utf8ToCp1252(arguments.at(at + 1).toStdString());
    }
    return ks::ExecutableFolder();
}

constexpr const char* kCaption = "Kestrel: Player de secours";
constexpr const char* kThemeKey = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";
constexpr std::uint32_t kHkeyCurrentUser = 0x80000001U;

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KS3 Diffuseur de secours"));

    ks::gui::QtClock clock;
    ks::gui::QtEventPump pump;
    ks::gui::QtDialogs dialogs;
    ks::gui::MainWindow window;
    dialogs.SetParent(&window);

    ks::ConfigFolders folders =
        ks::ConfigFolders::ForProgramFolder(ProgramFolder(QApplication::arguments()));

    ks::TraceState traceState;
    ks::ErrorHandler errors(traceState, pump);
    ks::DailyTraceLog trace(traceState, errors, clock);
    errors.SetTrace(&trace);

    ks::FileOps files(trace, errors, clock);
    files.SetTickSource([&trace] { return trace.TimingTickCount(); });
    trace.SetFileDeleter([&files](const std::string& file, std::string_view caller) {
        files.File_Delete(file, caller);
    });
    ks::FolderOps folderOps(trace, errors);
    folderOps.VerificationEtCreationRepertoire(folders.DossierLog);
    trace.SetDossierLog(folders.DossierLog);

    ks::SystemInfo system(errors, folders.DossierConfig);
    ks::Registry registry(errors, folders.DossierConfig);
    const std::string exeFolder = ks::ExecutableFolder();
    trace.SetHeaderSources({
        .VersionApplication = [&system] { return system.VersionApplication(); },
        .ExeFolder = [exeFolder] { return exeFolder; },
        .ExeBaseName =
            [] {
                const QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
                return ks::Utf8ToCp1252(name.toStdString());
            },
        .ProductName = [] { return ks::SystemInfo::ProductName(); },
        .ComputerName = [&system] { return system.ComputerName(); },
        .ThemeActive =
            [&registry] {
                std::string value;
                registry.Reg_GetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", value);
                return value;
            },
        .GetOSDisplayString = [&system] { return system.GetOSDisplayString(); },
    });

    ks::IniAccess ini(errors, files, folderOps);
    ks::ConfigFiles config(errors, folders, system, files, folderOps, ini, registry, dialogs);
    config.SetCaption(kCaption);
    ks::DialogMsg dialogMsg(dialogs, trace, errors, clock, pump);
    dialogMsg.SetCaption(kCaption);
    ks::FolderFinder finder(errors, trace, folderOps, registry, dialogs, folders.DossierConfig);
    ks::WindowPositions positions(errors, ini, config);
    ks::BackupSettings settings({
        .errors = errors,
        .trace = trace,
        .traceState = traceState,
        .ini = ini,
        .config = config,
        .folderOps = folderOps,
        .finder = finder,
        .positions = positions,
        .dialogs = dialogs,
        .view = window,
        .flushTrace = [&trace] { trace.TraceLogForce(trace.ListeLog(), ""); },
    });
    settings.SetCaption(kCaption);
    trace.SetTexteLogNbMaxLignes([&settings] { return settings.TexteLogNbMaxLignes(); });

    trace.Trace("Start: " + system.VersionApplication());
    settings.Form_Load(nullptr);

    QTimer clockTick;
    QObject::connect(&clockTick, &QTimer::timeout, &window, [&] {
        if (!traceState.ApplicationEnFermeture) {
            window.ShowClock(ks::Date2StringEx(clock.Now(), "dd/MM/yyyy hh:mm:ss", &errors));
        }
    });
    clockTick.start(250);
    ks::gui::TerminationWatcher termination;
    QObject::connect(&termination, &ks::gui::TerminationWatcher::TerminationRequested, &app,
                     &QApplication::quit);
    window.show();
    const int result = QApplication::exec();

    trace.Trace("Stop");
    traceState.ApplicationEnFermeture = true;
    settings.Form_Unload(nullptr);
    return result;
}
