// ks-demo-station [--date YYYYMMDD] [--size small|medium|large] [--fresh] [--verbose] DIR
//
// Makes under DIR, the program's folder, a station setup a load can run on (see
// demo_station.h; small by default), then prints what it made. Run again on the same DIR it makes
// the server's data afresh for the day and keeps the backup machine's tables (--fresh makes them
// afresh too). Exit status: 0 when every step succeeded, 1 when a step failed (reported on standard
// error), 2 for a wrong command line.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/ports/console_ports.h"
#include "core/settings/config_files.h"
#include "core/settings/config_folders.h"
#include "core/settings/ini_access.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "core/sys/system_info.h"
#include "core/sys/text_helpers.h"
#include "ks/engine/engine.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"
#include "tools/demo/demo_station.h"

namespace {

using namespace ks;
using namespace ks::demo;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The longest table file name the station's folder must still hold within the engine's
// 255-byte path.
constexpr std::size_t kLongestTableName = 11;

struct CommandLine {
    std::string folder;
    std::optional<DateTime> date;
    DemoSize size = kSmallStation;
    bool fresh = false;
    bool verbose = false;
};

void Usage() {
    PrintError(
        "Usage: ks-demo-station [--date YYYYMMDD] [--size small|medium|large] [--fresh] "
        "[--verbose] DIR");
    PrintError(
        "Makes under DIR (the program's folder, see --root) a demo station a load can "
        "run on.");
}

std::optional<DateTime> ParseDate(std::string_view text) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    DateTime date;
    date.year = static_cast<int>(Val(text.substr(0, 4)));
    date.month = static_cast<int>(Val(text.substr(4, 2)));
    date.day = static_cast<int>(Val(text.substr(6, 2)));
    if (!IsValid(date)) {
        return std::nullopt;
    }
    return date;
}

std::optional<CommandLine> Parse(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--fresh") {
            line.fresh = true;
        } else if (arg == "--verbose") {
            line.verbose = true;
        } else if (arg == "--size" && i + 1 < argc) {
            const std::string_view size = argv[++i];
            if (size == "small") {
                line.size = kSmallStation;
            } else if (size == "medium") {
                line.size = kMediumStation;
            } else if (size == "large") {
                line.size = kLargeStation;
            } else {
                PrintError("Not a size: " + std::string(size));
                return std::nullopt;
            }
        } else if (arg == "--date" && i + 1 < argc) {
            line.date = ParseDate(argv[++i]);
            if (!line.date) {
                PrintError("Not a date: " + std::string(argv[i]));
                return std::nullopt;
            }
        } else if (!arg.empty() && arg.front() != '-' && line.folder.empty()) {
            line.folder = arg;
        } else {
            return std::nullopt;
        }
    }
    if (line.folder.empty()) {
        return std::nullopt;
    }
    return line;
}

// The program's folder in Windows-1252 ending with "/", made if missing; nullopt (with the
// reason printed) when the program could not use it.
std::optional<std::string> ProgramFolder(const std::string& argument) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::absolute(argument, error).lexically_normal();
    const std::optional<std::string> name = error ? std::nullopt : FromNativePath(folder);
    if (!name) {
        PrintError("The folder's name cannot be written in Windows-1252: " +
                   Utf8ToCp1252(argument));
        return std::nullopt;
    }
    const std::string result = CheckRep(*name);
    // The program cleans the folder names it reads from its settings: a name the cleaning
    // changes would point it elsewhere.
    if (NettoieNomDeDossier(result) != result) {
        PrintError(
            "The program cannot use this folder's name (it holds one of \\ * ? \" < > | "
            ", : % or ..): " +
            result);
        return std::nullopt;
    }
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) {
        PrintError(Utf8ToCp1252("Cannot make the folder " + argument + ": " + error.message()));
        return std::nullopt;
    }
    return result;
}

int Run(const CommandLine& line) {
    const std::optional<std::string> root = ProgramFolder(line.folder);
    if (!root) {
        return kExitFailed;
    }
    TraceState traceState;
    QuietEventPump pump;
    ConsoleTrace trace(line.verbose);
    ErrorHandler errors(traceState, pump);
    errors.SetTrace(&trace);
    SystemClock clock;
    ConsoleDialogs dialogs;
    FileOps files(trace, errors, clock);
    FolderOps folderOps(trace, errors);
    IniAccess ini(errors, files, folderOps);
    ConfigFolders configFolders = ConfigFolders::ForProgramFolder(*root);
    SystemInfo system(errors, configFolders.DossierConfig);
    Registry registry(errors, configFolders.DossierConfig);
    ConfigFiles configFiles(errors, configFolders, system, files, folderOps, ini, registry,
                            dialogs);
    const DemoFolders folders = DemoFoldersFor(configFolders, configFiles);
    if (folders.DataServeur.size() + kLongestTableName >= engine::kKeyBufferSize ||
        folders.DataLocal.size() + kLongestTableName >= engine::kKeyBufferSize) {
        PrintError("The folder's name is too long for the table files' paths: " + *root);
        return kExitFailed;
    }

    // Commits do not wait for the disk: five times faster, and a crash right after a run can
    // only damage demo data, which the next run makes again (the server's files always, a
    // local file when it no longer opens).
    engine::EngineOptions engineOptions;
    engineOptions.waitForDisk = false;
    const auto recordEngine = engine::MakeRecordEngine(engineOptions);
    DemoStation station(errors, folderOps, ini, *recordEngine, folders);
    DemoOptions options;
    options.Today = line.date ? *line.date : clock.Now();
    options.FreshLocal = line.fresh;
    options.Size = line.size;
    const DemoReport report = station.Make(options);

    PrintLine("Demo station made in " + *root + " for " + D2S(options.Today) + ":");
    PrintLine("  settings file   " + folders.FichierSettings);
    PrintLine("  server data     " + folders.DataServeur + " (" +
              std::to_string(report.ServerFiles) + " table files, " + std::to_string(report.Songs) +
              " songs, " + std::to_string(report.Artists) + " artists, " +
              std::to_string(report.Categories) + " categories, " +
              std::to_string(report.MusicEvents) + " music schedule rows, " +
              std::to_string(report.AdvertisingEvents) + " advertising rows)");
    PrintLine("  local data      " + folders.DataLocal + " (" +
              std::to_string(report.LocalFilesMade) + " table files made, " +
              std::to_string(report.LocalFilesKept) + " kept)");
    PrintLine("  intermediate    " + folders.Intermediaire);
    if (trace.Incidents() > 0) {
        PrintError(std::to_string(trace.Incidents()) + " step(s) failed, see above.");
        return kExitFailed;
    }
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<CommandLine> line = Parse(argc, argv);
    if (!line) {
        Usage();
        return kExitUsage;
    }
    return Run(*line);
}
