// Weeks of loads in minutes: the core's composition on a fake clock, loading a small demo
// station every period across midnights while the server's station changes every day. After
// every load: the local station is what a clean load of the same server state gives (sampled,
// see kCompareEvery), no file is left open, the heap does not grow with the loads, the trace
// folder keeps 45 days and the settings files keep their size.
//
// KS_MONTH_DAYS (7) and KS_MONTH_FREQUENCY (the period's index, 0: 15 minutes) lengthen the
// run; tools/soak.sh --year uses them and reads the "figures:" line printed at the end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/app/loader.h"
#include "core/app/time_stamp.h"
#include "core/db/catalogue.h"
#include "core/db/record_fields.h"
#include "core/sys/text_helpers.h"
#include "engine/record_engine.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/fake_load_view.h"
#include "support/recording_trace.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"
#include "tools/demo/demo_station.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

constexpr DateTime kStart{2026, 12, 7, 9, 0, 0, 0};
constexpr const char* kLogFolder = "Quenvi/Histo_KS3_Diffuseur_Secours";
constexpr const char* kSettingsFolder = "Settings";
// The tables a load writes into.
constexpr std::array<int, 15> kLoadTables{0, 9, 20, 21, 22, 23, 24, 26, 27, 28, 29, 31, 32, 35, 53};
// A station small enough for hundreds of loads: 2 songs, a jingle and 2 breaks an hour, and
// its schedules end the day after the load's.
constexpr demo::DemoSize kTinyStation{12, 5, {5, 2}};
// Besides the first load of each day, one load in this many is compared with a clean load.
constexpr int kCompareEvery = 24;
// Heap the loads may take beyond the most the first day took (allocator rounding).
constexpr long kHeapSlack = 64 * 1024;

// Commits do not wait for the disk: the test's files die with it.
engine::EngineOptions NoDiskWait() {
    engine::EngineOptions options;
    options.waitForDisk = false;
    return options;
}

int EnvNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

// Bytes the allocator has handed out and not had back; 0 where it is not told (sanitizers).
long HeapInUse() {
    return static_cast<long>(mallinfo2().uordblks);
}

long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) {
            return std::atol(line.c_str() + field.size() + 1);
        }
    }
    return 0;
}

long OpenFiles() {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

std::uintmax_t FolderBytes(const fs::path& folder) {
    std::uintmax_t bytes = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        bytes += entry.is_regular_file() ? entry.file_size() : 0;
    }
    return bytes;
}

using StationState = std::map<int, std::vector<std::string>>;

// One program folder with its own core, as one run of the program on it.
struct Program {
    explicit Program(const std::string& folder, const DateTime& now)
        : clock(now), loader({engine, clock, pump, dialogs, view, folder, [] { std::abort(); }}) {
        loader.InitGeneral();
        loader.SetFenetrePrincipaleChargee(true);
    }

    // The timers at the due time; true when a load ran.
    bool LoadWhenDue() {
        const std::int64_t wait = SecondsBetween(clock.Now(), loader.State().ProchainChargement);
        clock.Advance(std::max<std::int64_t>(wait, 0) * 1000);
        const std::uint64_t before = loader.Cycle().DueLoads();
        loader.Timer1_Timer();
        loader.TimerDonnees_Timer();
        view.calls.clear();
        return loader.Cycle().DueLoads() == before + 1;
    }

    engine::RecordEngine engine{NoDiskWait()};
    test::FakeClock clock;
    test::FakeEventPump pump;
    test::FakeDialogs dialogs;
    test::FakeLoadView view;
    Loader loader;
};

class MonthOfLoads : public ::testing::Test {
  protected:
    void SetUp() override {
        InitGeneralData(catalogue);
        errors.SetTrace(&trace);
        ASSERT_NO_FATAL_FAILURE(MakeStation(kStart, true));
        // Forty-nine days of older trace files, as a machine in service has.
        fs::create_directories(root.Path() / kLogFolder);
        for (int day = -49; day < 0; ++day) {
            std::ofstream(root.Path() / kLogFolder / (D2S(AddDays(kStart, day)) + ".Log"))
                << "old\r\n";
        }
    }

    // The server's station for `today`: its schedules from five days before to the day after
    // (a day more each day), and each day a few songs with a new title. The first call also
    // makes the settings, the suite's files and the local station.
    void MakeStation(const DateTime& today, bool first) {
        demo::DemoFolders folders{
            .DossierConfig = root.Folder(),
            .FichierConfigSuite = root.Folder() + "Settings/KS3_Config.ini",
            .FichierSettings =
                root.Folder() + "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini",
            .ConfigServeur = root.Folder() + "Serveur/Config/",
            .DataServeur = root.Folder() + "Serveur/Data/",
            .ConfigLocal = root.Folder() + "Local/Config/",
            .DataLocal = root.Folder() + "Local/Data/",
            .Intermediaire = root.Folder() + "Temporaire/",
        };
        if (!first) {  // the settings and the suite's files stay as the program left them
            folders.FichierConfigSuite = scratch.Folder() + "KS3_Config.ini";
            folders.FichierSettings = scratch.Folder() + "settings.ini";
            folders.ConfigServeur = folders.ConfigLocal = scratch.Folder();
        }
        demo::DemoStation station(errors, folderOps, ini, engine, folders);
        station.Make({.Today = DateOnly(today), .Size = kTinyStation, .FreshLocal = first});
        for (const test::RecordingTrace::Line& line : trace.lines) {
            ASSERT_FALSE(line.incident) << line.message;
        }
        trace.lines.clear();
        RenameSongs(folders.DataServeur, DayOfWeek(today));
        // The schedules end the day after `today`: every hour a load goes through costs, and
        // the hours without rows cost least.
        const std::string last = D2S(AddDays(today, 1)) + "99";
        for (const int file : {27, 35, 53}) {
            test::TableReader table(engine, folders.DataServeur + NomFichierBTR(catalogue, file, 0),
                                    catalogue[static_cast<std::size_t>(file)].LongueurEnreg);
            ASSERT_GT(table.DeleteAfter(last), 0);
        }
    }

    void RenameSongs(const std::string& folder, int day) {
        test::TableReader songs(engine, folder + NomFichierBTR(catalogue, 22, 0),
                                static_cast<int>(catalogue[22].LongueurEnreg));
        ASSERT_TRUE(songs.Opened());
        const std::vector<std::string> records = songs.Records();
        const FieldRef id = fields::fdat022::kSongId;
        for (std::size_t i = static_cast<std::size_t>(day) % 3; i < records.size(); i += 5) {
            std::string record = records[i];
            ASSERT_TRUE(songs.Has(record.substr(id.position - 1, id.width)));
            const std::string title = "Titre du jour " + std::to_string(day) + " " +
                                      std::to_string(i) + std::string(40, ' ');
            record.replace(fields::fdat022::kTitle.position - 1, fields::fdat022::kTitle.width,
                           title.substr(0, fields::fdat022::kTitle.width));
            ASSERT_EQ(songs.Update(record), 0);
        }
    }

    StationState LocalState(const std::string& programFolder) {
        StationState state;
        for (const int file : kLoadTables) {
            test::TableReader table(
                engine, programFolder + "Local/Data/" + NomFichierBTR(catalogue, file, 0),
                catalogue[static_cast<std::size_t>(file)].LongueurEnreg);
            state[file] = table.Opened() ? table.Records() : std::vector<std::string>{"<none>"};
        }
        return state;
    }

    // The program's folder as it stands, trace files aside, copied into `clone` with its
    // settings naming the copy's folders.
    void CopyProgramFolder(const test::TempDir& clone) const {
        for (const fs::directory_entry& entry : fs::directory_iterator(root.Path())) {
            if (entry.path().filename() != "Quenvi") {
                fs::copy(entry.path(), clone.Path() / entry.path().filename(),
                         fs::copy_options::recursive);
            }
        }
        for (const char* file :
             {"Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini",
              "Serveur/Config/KS3_Systeme.ini", "Local/Config/KS3_Systeme.ini"}) {
            std::string text = test::TempDir::Read(clone.Path() / file);
            for (std::size_t at = text.find(root.Folder()); at != std::string::npos;
                 at = text.find(root.Folder(), at)) {
                text.replace(at, root.Folder().size(), clone.Folder());
            }
            clone.Write(file, text);
        }
    }

    std::map<std::string, std::uintmax_t> SettingsSizes() const {
        std::map<std::string, std::uintmax_t> sizes;
        for (const fs::directory_entry& entry :
             fs::recursive_directory_iterator(root.Path() / kSettingsFolder)) {
            if (entry.is_regular_file()) {
                sizes[entry.path().string()] = entry.file_size();
            }
        }
        return sizes;
    }

    test::TempDir root;
    test::TempDir scratch;
    CatalogueTable catalogue;
    engine::RecordEngine engine{NoDiskWait()};
    test::RecordingTrace trace;
    test::FakeEventPump pump;
    test::FakeClock clock;
    TraceState traceState;
    ErrorHandler errors{traceState, pump};
    FileOps files{trace, errors, clock};
    FolderOps folderOps{trace, errors};
    IniAccess ini{errors, files, folderOps};
};

TEST_F(MonthOfLoads, EveryLoadEqualsACleanLoadAndNothingGrowsWithTheLoads) {
    const int days = EnvNumber("KS_MONTH_DAYS", 7);
    ini.EcritureIni(root.Folder() + "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini",
                    "Data", "Frequency", std::to_string(EnvNumber("KS_MONTH_FREQUENCY", 0)));
    Program run(root.Folder(), kStart);
    const DateTime warm = AddDays(kStart, 1);
    const DateTime end = AddDays(kStart, days);
    const long openFiles = OpenFiles();
    std::map<std::string, std::uintmax_t> settingsSizes;
    long warmHeap = 0;
    long loads = 0;
    long compared = 0;
    long peakAt100 = 0;
    int day = run.clock.Now().day;

    while (run.clock.Now() < end) {
        const std::int64_t wait =
            SecondsBetween(run.clock.Now(), run.loader.State().ProchainChargement);
        const DateTime at = AddSeconds(run.clock.Now(), std::max<std::int64_t>(wait, 0));
        const bool newDay = at.day != day;
        if (newDay) {
            day = at.day;
            ASSERT_NO_FATAL_FAILURE(MakeStation(at, false));
        }
        std::unique_ptr<test::TempDir> clone;
        if (loads == 0 || newDay || loads % kCompareEvery == 0) {
            clone = std::make_unique<test::TempDir>();
            CopyProgramFolder(*clone);
        }

        ASSERT_TRUE(run.LoadWhenDue()) << TimeStamp(at);
        ++loads;
        const std::string when = "load " + std::to_string(loads) + " at " + TimeStamp(at);
        ASSERT_TRUE(run.loader.Cycle().LastLoad()[0].transferred) << when;
        ASSERT_FALSE(run.loader.Cycle().LastLoad()[0].err8 ||
                     run.loader.Cycle().LastLoad()[0].err95)
            << when;
        ASSERT_THAT(run.dialogs.messages, ::testing::IsEmpty()) << when;

        if (clone) {
            {
                Program clean(clone->Folder(), at);
                ASSERT_TRUE(clean.LoadWhenDue()) << when;
            }
            const StationState mine = LocalState(root.Folder());
            const StationState clean = LocalState(clone->Folder());
            for (const int file : kLoadTables) {
                ASSERT_EQ(mine.at(file).size(), clean.at(file).size()) << when << ", " << file;
                ASSERT_TRUE(mine.at(file) == clean.at(file)) << when << ", table " << file;
            }
            ++compared;
        }

        EXPECT_EQ(OpenFiles(), openFiles) << when;
        // Trace files older than 45 days are gone, the one of 45 days ago stays.
        std::vector<std::string> logs;
        for (const fs::directory_entry& entry : fs::directory_iterator(root.Path() / kLogFolder)) {
            logs.push_back(entry.path().stem().string());
        }
        std::sort(logs.begin(), logs.end());
        ASSERT_FALSE(logs.empty());
        EXPECT_EQ(logs.front(), D2S(AddDays(at, -45))) << when;
        if (loads == 1) {
            settingsSizes = SettingsSizes();
        } else {
            EXPECT_EQ(SettingsSizes(), settingsSizes) << when;
        }
        // The first day warms the heap up; from then on it stays where that day took it.
        if (at < warm || HeapInUse() == 0) {
            warmHeap = std::max(warmHeap, HeapInUse());
        } else {
            EXPECT_LE(HeapInUse(), warmHeap + kHeapSlack) << when;
        }
        if (loads == 100) {
            peakAt100 = StatusKb("VmHWM");
        }
    }

    EXPECT_GE(loads, days * 24 * 60 / 240);
    std::cout << "figures: loads=" << loads << " compared=" << compared
              << " peak_kb_at_100=" << peakAt100 << " peak_kb_at_last=" << StatusKb("VmHWM")
              << " heap_warm=" << warmHeap << " heap_last=" << HeapInUse()
              << " open_files=" << OpenFiles()
              << " trace_bytes=" << FolderBytes(root.Path() / kLogFolder) << std::endl;
}

}  // namespace
}  // namespace ks
