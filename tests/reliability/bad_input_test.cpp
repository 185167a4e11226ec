// Bad files and folders met by a load: table files empty, cut short, of random bytes, of
// another record length, a folder in their place or unreadable, on the server and in the
// local station; settings and configuration files binary, huge or without sections; folders
// missing, read-only or full. Each load ends on the trace line or the message the operator
// reads, leaves as they were the local tables it could not load, and once the input is good
// again the next load brings the station to the state of a load that never met it.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>

#include "station.h"
#include "support/run_as.h"
#include "support/run_program.h"

namespace ks::test {
namespace {

namespace fs = std::filesystem;

const std::string kServerSongs = "Serveur/Data/FDATA22.bt6";
const std::string kLocalSongs = "Local/Data/FDATA22.bt6";
const std::string kSettings = "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini";
// The local tables of the songs phase, which a missing songs table on either side skips.
const std::vector<int> kSongTables{20, 21, 22, 24, 29, 31, 32};
const std::vector<int> kEveryTable(kLoadTables.begin(), kLoadTables.end());

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(size);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// The first `size` bytes of `file`.
void CutShort(const fs::path& file, std::size_t size) {
    Write(file, TempDir::Read(file).substr(0, size));
}

void Chown(const fs::path& path, const char* user, bool recursive) {
    const LoadRun run =
        RunBounded(recursive ? std::vector<std::string>{"/bin/chown", "-R", user, path}
                             : std::vector<std::string>{"/bin/chown", user, path});
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

// A tmpfs of `kib` KiB on `folder`; false when this machine does not let the test mount.
bool MountTmpfs(const fs::path& folder, long kib) {
    const std::string options = "size=" + std::to_string(kib) + "k";
    return mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

bool Remount(const fs::path& folder, long kib) {
    const std::string options = "size=" + std::to_string(kib) + "k";
    return mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT, options.c_str()) == 0;
}

long UsedKib(const fs::path& folder) {
    long bytes = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        bytes += entry.is_regular_file() ? static_cast<long>(entry.file_size()) : 0;
    }
    return bytes / 1024 + 64;
}

// Local/Data moved onto a tmpfs with `roomKib` KiB to spare.
bool LocalDataOnTmpfs(const WorkStation& station, long roomKib) {
    const fs::path data = station.Root() / "Local/Data";
    const fs::path aside = station.Root() / "Local/Aside";
    fs::rename(data, aside);
    fs::create_directory(data);
    if (!MountTmpfs(data, UsedKib(aside) + roomKib)) {
        fs::remove(data);
        fs::rename(aside, data);
        return false;
    }
    fs::copy(aside, data, fs::copy_options::recursive);
    fs::remove_all(aside);
    return true;
}

bool CanMount() {
    const TempDir probe;
    if (!MountTmpfs(probe.Path(), 64)) {
        return false;
    }
    umount(probe.Path().c_str());
    return true;
}

struct BadInput {
    BadInput(const char* caseName, std::function<bool(const WorkStation&)> spoilIt,
             std::function<void(const WorkStation&)> mendIt, int exit, std::string text,
             std::vector<int> keptTables)
        : name(caseName),
          spoil(std::move(spoilIt)),
          mend(std::move(mendIt)),
          exitCode(exit),
          says(std::move(text)),
          kept(std::move(keptTables)) {}

    BadInput Spoiling(std::string table) && {
        spoiledLocal = std::move(table);
        return std::move(*this);
    }
    BadInput AsNobody() && {
        asNobody = true;
        return std::move(*this);
    }
    BadInput Mounting(std::string folder) && {
        mounted = std::move(folder);
        return std::move(*this);
    }

    const char* name;
    std::function<bool(const WorkStation&)> spoil;  // false: this machine cannot make it
    std::function<void(const WorkStation&)> mend;   // puts the input right again
    int exitCode;
    std::string says;          // a line of the trace or of the run's output starts with this
    std::vector<int> kept;     // local tables the load must leave as they were
    std::string spoiledLocal;  // a local table spoiled by the case: the load leaves it alone
    bool asNobody = false;
    std::string mounted;  // a folder the case mounts a tmpfs on, unmounted at its end
};

// The good file the case spoils, put back from the generated station.
std::function<void(const WorkStation&)> PutBack(const std::string& file) {
    return [file](const WorkStation& station) {
        const WorkStation fresh;
        fs::remove_all(station.Root() / file);
        fs::copy(fresh.Root() / file, station.Root() / file, fs::copy_options::recursive);
        // The settings name the fresh copy's folders; this station's are the same but for the root.
        if (file.ends_with(".ini")) {
            std::string text = TempDir::Read(station.Root() / file);
            for (std::size_t at = text.find(fresh.ProgramFolder()); at != std::string::npos;
                 at = text.find(fresh.ProgramFolder(), at)) {
                text.replace(at, fresh.ProgramFolder().size(), station.ProgramFolder());
            }
            Write(station.Root() / file, text);
        }
    };
}

std::function<bool(const WorkStation&)> Replace(const std::string& file,
                                                std::function<void(const fs::path&)> how) {
    return [file, how](const WorkStation& station) {
        how(station.Root() / file);
        return true;
    };
}

std::vector<BadInput> Cases() {
    const auto empty = [](const fs::path& file) { Write(file, ""); };
    const auto cutShort = [](const fs::path& file) { CutShort(file, 5000); };
    const auto random = [](const fs::path& file) { Write(file, RandomBytes(100'000)); };
    const auto folder = [](const fs::path& file) {
        fs::remove(file);
        fs::create_directory(file);
    };
    // The artists table: another record length (300 instead of 900), 80 records.
    const auto artists = [](const fs::path& file) {
        fs::copy_file(file.parent_path().parent_path().parent_path() / "Serveur/Data/FDATA20.bt6",
                      file, fs::copy_options::overwrite_existing);
    };
    const auto rootOnly = [](const fs::path& file) {
        Chown(file, "root:root", false);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    };
    const auto withoutSections = [](const fs::path& file) {
        std::string text;
        std::istringstream lines(TempDir::Read(file));
        for (std::string line; std::getline(lines, line);) {
            text += line.starts_with("[") ? "" : line + "\n";
        }
        Write(file, text);
    };
    const auto huge = [](const fs::path& file) {
        std::string text = TempDir::Read(file) + "[Junk]\r\n";
        for (int i = 0; i < 200'000; ++i) {
            text += "Junk" + std::to_string(i) + "=" + std::string(100, 'x') + "\r\n";
        }
        Write(file, text);
    };
    const auto binary = [](const fs::path& file) { Write(file, RandomBytes(20'000)); };

    const std::string transferred = "Load data: End transfert records";
    const std::string uncopied = "Err: Unable to copy: ";
    const std::string unopened = "Err: Unable to open: ";
    const std::string songsSkipped = "Err: FDATA22.bt6 not open (Station: 1) |Skipped: Workshops";
    return {
        BadInput{"ServerTableEmpty", Replace(kServerSongs, empty), PutBack(kServerSongs), 3,
                 uncopied, kSongTables},
        // A damaged server table never reaches the transfer: its copy is refused.
        BadInput{"ServerTableCutShort", Replace(kServerSongs, cutShort), PutBack(kServerSongs), 3,
                 "Err: Damaged table: ", kSongTables},
        BadInput{"ServerTableOfRandomBytes", Replace(kServerSongs, random), PutBack(kServerSongs),
                 3, "Err: Damaged table: ", kSongTables},
        BadInput{"ServerTableOfAnotherRecordLength", Replace(kServerSongs, artists),
                 PutBack(kServerSongs), 3, "Err: Record length 300 instead of 900: ", kSongTables},
        BadInput{"ServerFolderInPlaceOfTable", Replace(kServerSongs, folder), PutBack(kServerSongs),
                 3, uncopied, kSongTables},
        BadInput{"ServerTableUnreadable", Replace(kServerSongs, rootOnly), PutBack(kServerSongs), 3,
                 uncopied, kSongTables}
            .AsNobody(),
        BadInput{"ServerTableMissing",
                 Replace(kServerSongs, [](const fs::path& f) { fs::remove(f); }),
                 PutBack(kServerSongs), 3, "Err: Server File not found: ", kSongTables},
        BadInput{"LocalTableEmpty",
                 Replace(kLocalSongs, empty),
                 PutBack(kLocalSongs),
                 3,
                 songsSkipped,
                 {20, 21, 24, 29, 31, 32}}
            .Spoiling(kLocalSongs),
        BadInput{"LocalTableCutShort",
                 Replace(kLocalSongs, cutShort),
                 PutBack(kLocalSongs),
                 3,
                 unopened,
                 {20, 21, 24, 29, 31, 32}}
            .Spoiling(kLocalSongs),
        BadInput{"LocalTableOfRandomBytes",
                 Replace(kLocalSongs, random),
                 PutBack(kLocalSongs),
                 3,
                 unopened,
                 {20, 21, 24, 29, 31, 32}}
            .Spoiling(kLocalSongs),
        BadInput{"LocalTableOfAnotherRecordLength",
                 Replace(kLocalSongs, artists),
                 PutBack(kLocalSongs),
                 3,
                 "Err: Pervasive: 22",
                 {}}
            .Spoiling(kLocalSongs),
        BadInput{"LocalFolderInPlaceOfTable",
                 Replace(kLocalSongs, folder),
                 PutBack(kLocalSongs),
                 3,
                 unopened,
                 {20, 21, 24, 29, 31, 32}},
        BadInput{"LocalTableUnreadable",
                 Replace(kLocalSongs, rootOnly),
                 PutBack(kLocalSongs),
                 3,
                 unopened,
                 {20, 21, 24, 29, 31, 32}}
            .Spoiling(kLocalSongs)
            .AsNobody(),
        BadInput{"SettingsBinary", Replace(kSettings, binary), PutBack(kSettings), 1,
                 "Le dossier Config sur le serveur n'est pas paramétré", kEveryTable},
        BadInput{"SettingsWithoutSections", Replace(kSettings, withoutSections), PutBack(kSettings),
                 1, "Le dossier Config sur le serveur n'est pas paramétré", kEveryTable},
        BadInput{"SettingsHuge", Replace(kSettings, huge), PutBack(kSettings), 0, transferred, {}},
        BadInput{"SuiteConfigurationBinary",
                 Replace("Settings/KS3_Config.ini", binary),
                 PutBack("Settings/KS3_Config.ini"),
                 0,
                 transferred,
                 {}},
        BadInput{"ServerSystemIniBinary", Replace("Serveur/Config/KS3_Systeme.ini", binary),
                 PutBack("Serveur/Config/KS3_Systeme.ini"), 1,
                 "Le dossier des données sur le serveur n'est pas paramétré", kEveryTable},
        BadInput{"LocalSystemIniWithoutSections",
                 Replace("Local/Config/KS3_Systeme.ini", withoutSections),
                 PutBack("Local/Config/KS3_Systeme.ini"), 1,
                 "Le dossier des données en local n'est pas paramétré", kEveryTable},
        BadInput{"LocalSystemIniHuge",
                 Replace("Local/Config/KS3_Systeme.ini", huge),
                 PutBack("Local/Config/KS3_Systeme.ini"),
                 0,
                 transferred,
                 {}},
        BadInput{"LocalDataFolderMissing",
                 [](const WorkStation& station) {
                     fs::rename(station.Root() / "Local/Data", station.Root() / "Local/Aside");
                     return true;
                 },
                 [](const WorkStation& station) {
                     fs::rename(station.Root() / "Local/Aside", station.Root() / "Local/Data");
                 },
                 1, "Le dossier des données en local n'existe pas:", kEveryTable},
        BadInput{"IntermediateFolderMissing",
                 [](const WorkStation& station) {
                     return fs::remove_all(station.Root() / "Temporaire") > 0;
                 },
                 [](const WorkStation&) {},
                 0,
                 transferred,
                 {}},
        BadInput{"IntermediateFolderReadOnly",
                 [](const WorkStation& station) {
                     Chown(station.Root() / "Temporaire", "root:root", false);
                     return true;
                 },
                 [](const WorkStation& station) {
                     Chown(station.Root() / "Temporaire", "nobody:nogroup", false);
                 },
                 3,
                 uncopied,
                 {0, 9, 20, 21, 22, 23, 24, 26, 29, 31, 32}}
            .AsNobody(),
        BadInput{"LocalDataFolderReadOnly",
                 [](const WorkStation& station) {
                     Chown(station.Root() / "Local/Data", "root:root", false);
                     return true;
                 },
                 [](const WorkStation& station) {
                     Chown(station.Root() / "Local/Data", "nobody:nogroup", false);
                 },
                 3, "Err: Pervasive: 46", kEveryTable}
            .AsNobody(),
        // A settings file the program may read but not write: the load runs and says so, and
        // counts the next load from its own start, not from the older time left in the file.
        BadInput{"SettingsFileReadOnly",
                 [](const WorkStation& station) {
                     Chown(station.Root() / kSettings, "root:root", false);
                     return true;
                 },
                 [](const WorkStation& station) {
                     Chown(station.Root() / kSettings, "nobody:nogroup", false);
                 },
                 3,
                 "Err: Unable to write Last_Timing in: ",
                 {}}
            .AsNobody(),
        BadInput{"IntermediateFolderFull",
                 [](const WorkStation& station) {
                     return MountTmpfs(station.Root() / "Temporaire", 2048);
                 },
                 [](const WorkStation& station) {
                     EXPECT_TRUE(Remount(station.Root() / "Temporaire", 512 * 1024));
                 },
                 3,
                 uncopied,
                 {}}
            .Mounting("Temporaire"),
        BadInput{"LocalDataFolderFull",
                 [](const WorkStation& station) { return LocalDataOnTmpfs(station, 1024); },
                 [](const WorkStation& station) {
                     EXPECT_TRUE(Remount(station.Root() / "Local/Data", 512 * 1024));
                 },
                 3,
                 "Err: Pervasive: 18",
                 {}}
            .Mounting("Local/Data"),
    };
}

// What a spoiled table holds: its records when it opens as a table (opening one writes its
// header), else its bytes.
std::string Contents(const fs::path& table) {
    const LoadRun dump = RunBounded({kTableTool, "dump", table.string()});
    return dump.exitCode == 0 ? "records:\n" + dump.output : "bytes:\n" + TempDir::Read(table);
}

bool Says(const LoadRun& run, const std::vector<std::string>& messages, const std::string& text) {
    if (run.output.find(text) != std::string::npos) {
        return true;
    }
    return std::any_of(messages.begin(), messages.end(),
                       [&](const std::string& message) { return message.starts_with(text); });
}

TEST(BadInput, EndsOnItsMessageKeepsTheLocalDataAndTheNextGoodLoadSucceeds) {
    const bool canMount = CanMount();
    const bool canSwitchUser = CanRunAsNobody();
    Figures figures;
    for (const BadInput& bad : Cases()) {
        SCOPED_TRACE(bad.name);
        if ((!bad.mounted.empty() && !canMount) || (bad.asNobody && !canSwitchUser)) {
            std::cout << "skipped " << bad.name << ": this machine does not let the test "
                      << (bad.asNobody ? "run a program as nobody" : "mount a tmpfs") << "\n";
            continue;
        }
        const WorkStation station;
        if (bad.asNobody) {
            Chown(station.Root(), "nobody:nogroup", true);
        }
        const StationState before = bad.kept.empty() ? StationState{} : station.LocalState();
        if (!bad.spoil(station)) {
            std::cout << "skipped " << bad.name << ": could not be set up here\n";
            continue;
        }
        const std::string spoiled =
            bad.spoiledLocal.empty() ? "" : Contents(station.Root() / bad.spoiledLocal);
        const std::size_t traceFrom = station.TraceSize();

        const LoadRun run = station.Load({}, bad.asNobody);
        ++figures.loads;
        figures.crashes += run.signal != 0 && !run.hung ? 1 : 0;
        figures.hangs += run.hung ? 1 : 0;
        EXPECT_EQ(run.exitCode, bad.exitCode) << run.output;
        EXPECT_TRUE(Says(run, station.TraceMessages(traceFrom), bad.says))
            << "nothing says \"" << bad.says << "\"\n"
            << run.output.substr(0, 2000);
        if (!bad.spoiledLocal.empty()) {
            EXPECT_TRUE(Contents(station.Root() / bad.spoiledLocal) == spoiled)
                << "the spoiled local table was written";
        }

        bad.mend(station);
        if (bad.asNobody) {
            Chown(station.Root(), "nobody:nogroup", true);
        }
        const StationState after = bad.kept.empty() ? StationState{} : station.LocalState();
        for (const int table : bad.kept) {
            EXPECT_TRUE(after.at(table) == before.at(table)) << "local table " << table;
        }
        // Under the sanitizers the bad load's paths are what is new: the table checks and the
        // good load are the debug run's. The copy of a damaged server table is as damaged: the
        // intermediate folder is checked after the good load.
        if (!Sanitized()) {
            std::vector<std::string> failed = station.FailedChecks("Local/Data");
            EXPECT_TRUE(failed.empty()) << failed.front();
            const LoadRun next = station.Load({}, bad.asNobody);
            ++figures.loads;
            figures.crashes += next.signal != 0 && !next.hung ? 1 : 0;
            EXPECT_EQ(next.exitCode, 0) << next.output;
            const Comparison comparison = Compare(station.LocalState(), WorkStation::Expected());
            figures.lost += comparison.missing;
            EXPECT_TRUE(comparison.Same()) << comparison.first;
            failed = station.FailedChecks("Temporaire");
            EXPECT_TRUE(failed.empty()) << failed.front();
        }
        if (!bad.mounted.empty()) {
            EXPECT_EQ(umount((station.Root() / bad.mounted).c_str()), 0);
        }
    }
    if (!canMount) {
        std::cout << "the full-folder cases were skipped: mounting a tmpfs is not allowed here\n";
    }
    PrintFigures(figures);
}

}  // namespace
}  // namespace ks::test
