// Parses the command line, picks the ports (Qt for the desktop program, console ports for a
// headless load) and runs the loader's core with them.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/load_health.h"
#include "core/app/load_once.h"
#include "core/app/loader.h"
#include "core/app/time_stamp.h"
#include "core/ports/console_ports.h"
#include "core/ports/test_ports.h"
#include "core/settings/program_folder.h"
#include "core/sys/folder_ops.h"
#include "core/sys/instance_lock.h"
#include "gui/french.h"
#include "gui/look.h"
#include "gui/main_window.h"
#include "gui/qt_ports.h"
#include "gui/system_stop.h"
#include "ks/engine/engine.h"
#include "platform/cp1252.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: diffuseur-secours [--root DIR]\n"
    "       diffuseur-secours [--root DIR] --load-once [--at \"dd/MM/yyyy hh:mm:ss\"]\n"
    "       diffuseur-secours [--root DIR] --status\n"
    "\n"
    "  --root DIR   the program's folder (settings, log folder); by default the executable's,\n"
    "               or ~/.local/share/kestrel-diffuseur-secours/ when that one cannot be written\n"
    "               or is an installation\n"
    "  --load-once  without windows: one load of the active backup sets, then exit with\n"
    "               0 loaded, 1 a folder check stopped a set, 2 a set was cancelled on\n"
    "               database status 8 or 95, 3 errors were reported, 4 wrong command line,\n"
    "               5 stopped on a table file that was not open, 6 a set was postponed\n"
    "               while the suite's scheduler saved its database, 7 another instance of\n"
    "               the program runs on this folder (nothing was done)\n"
    "  --at TIME    with --load-once: the clock starts at this local time\n"
    "  --status     prints the last attempt, the last load that succeeded and how far the\n"
    "               local music schedule goes, then exits with 0 when the last success is\n"
    "               at most two load periods old, 1 when it is older, 2 when no load ever\n"
    "               succeeded or the last attempt failed\n"
    "  --help       this text";

struct CommandLine {
    std::optional<std::string> root;  // Windows-1252
    bool loadOnce = false;
    bool status = false;
    std::optional<ks::DateTime> at;
    bool help = false;
};

// nullopt for a command line the program cannot run. Without --load-once, options it does
// not know are left to Qt (-platform, -style...), as they always were.
std::optional<CommandLine> Parse(int argc, char* argv[]) {
    CommandLine line;
    bool unknown = false;
    bool atGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            line.help = true;
        } else if (arg == "--load-once") {
            line.loadOnce = true;
        } else if (arg == "--status") {
            line.status = true;
        } else if (arg == "--root" || arg == "--at") {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            // A folder the program's Windows-1252 names cannot hold would become another one.
            const std::optional<std::string> converted = ks::TryUtf8ToCp1252(argv[++i]);
            if (!converted) {
                return std::nullopt;
            }
            const std::string& value = *converted;
            if (arg == "--root") {
                line.root = value;
            } else {
                atGiven = true;
                line.at = ks::ParseTimeStamp(value);
                if (!line.at) {
                    return std::nullopt;
                }
            }
        } else {
            unknown = true;
        }
    }
    const bool headless = line.loadOnce || line.status;
    if ((headless && unknown) || (atGiven && !line.loadOnce) || (line.loadOnce && line.status)) {
        return std::nullopt;
    }
    return line;
}

// A database call on a table that is not open stops the program where it stands: the trace
// is written by then, and every table file stays whole whatever was not yet committed.
void EndProgram() {
    std::fflush(nullptr);
    std::_Exit(ks::kExitStopped);
}

int RunHeadless(const std::string& folder, const std::optional<ks::DateTime>& at) {
    // Two loads never run on one folder at once: the desktop program holds the same lock.
    const ks::InstanceLock instance(folder);
    if (instance.Result() == ks::InstanceLock::Outcome::HeldElsewhere) {
        ks::PrintError("Another instance of the program runs on " + folder +
                       ": nothing was loaded.");
        return ks::kExitAnotherInstance;
    }
    if (instance.Result() == ks::InstanceLock::Outcome::Unavailable) {
        ks::PrintError("Instance lock not available: " + instance.Reason());
    }
    ks::SystemClock clock(at);
    ks::QuietEventPump quietPump;
    ks::ConsoleDialogs dialogs;
    ks::QuietLoadView quietView;
    const auto recordEngine = ks::engine::MakeRecordEngine();
    const ks::HeadlessPorts plain{*recordEngine, quietPump, quietView};
    // Only the crash tests' build of the program puts a port in front of the plain ones.
    const std::unique_ptr<ks::TestPorts> testPorts = ks::MakeTestPorts();
    const ks::HeadlessPorts ports = testPorts ? testPorts->Wrap(plain) : plain;
    ks::Loader loader({ports.engine, clock, ports.pump, dialogs, ports.view, folder, EndProgram});
    dialogs.SetTrace(&loader.Trace());
    const int status = ks::LoadOnce(loader);
    if (testPorts) {
        testPorts->LoadEnded();
    }
    return status;
}

int RunStatus(const std::string& folder) {
    std::vector<std::string> lines;
    const ks::Health health = ks::StatusReport(folder, ks::SystemClock().Now(), lines);
    for (const std::string& text : lines) {
        ks::PrintLine(text);
    }
    return static_cast<int>(health);
}

int RunDesktop(int argc, char* argv[], const std::string& folder) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KS3 Diffuseur de secours"));
    // The window finds its desktop entry, and so its icon, in the taskbar.
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrel-diffuseur-secours"));
    const bool french = ks::gui::InstallQtFrench(app);

    ks::SystemClock clock;
    ks::gui::QtEventPump pump;
    ks::gui::QtDialogs dialogs;
    ks::gui::MainWindow window;
    dialogs.SetParent(&window);
    const auto engine = ks::engine::MakeRecordEngine();
    ks::Loader loader({*engine, clock, pump, dialogs, window, folder, EndProgram});
    ks::gui::Look look;
    window.Attach(loader, dialogs, look);
    dialogs.SetTrace(&loader.Trace());
    if (!french) {
        loader.Trace().Trace("Qt French translations not found: qtbase_fr");
    }
    const ks::gui::SystemStop stop(app, dialogs, window);

    if (!window.Form_Load()) {
        return window.Refused() ? ks::kExitAnotherInstance : EXIT_SUCCESS;
    }
    window.show();
    const int result = QApplication::exec();
    window.Unload();
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::optional<CommandLine> line = Parse(argc, argv);
    if (!line) {
        ks::PrintError(kUsage);
        return ks::kExitUsage;
    }
    if (line->help) {
        ks::PrintLine(kUsage);
        return EXIT_SUCCESS;
    }
    // The status only reads: it never makes the operator's folder it would then find empty.
    const std::string folder =
        line->root ? ks::CheckRep(*line->root) : ks::DefaultProgramFolder(!line->status);
    if (line->status) {
        return RunStatus(folder);
    }
    if (line->loadOnce) {
        return RunHeadless(folder, line->at);
    }
    return RunDesktop(argc, argv, folder);
}
