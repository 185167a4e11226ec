// The whole load through the real program: a generated demo station loaded headless, the
// backup machine's tables checked record by record against the server's for the hours the
// load moves, the trace of the load, a second load that changes nothing, and the exit status
// each real cause gives.
#include "core/app/load_once.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/db/catalogue.h"
#include "core/db/record_fields.h"
#include "support/genuine_writer.h"
#include "support/run_program.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// The tables a load writes into, and the hours it moves when it starts at 10:29 on the
// 7th: from 11:00 that day to the end of the seventh day after.
constexpr std::array<int, 15> kTables{0, 9, 20, 21, 22, 23, 24, 26, 27, 28, 29, 31, 32, 35, 53};
constexpr const char* kAt = "07/12/2026 10:29:00";
const std::string kFirstHour = "2026120711";
const std::string kLastHour = "2026121423";

bool InWindow(const std::string& record) {
    const std::string hour = record.substr(0, 10);  // date and hour lead key 0
    return hour >= kFirstHour && hour <= kLastHour;
}

// "" when both tables hold the same records, else where they part.
std::string Difference(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    const auto [g, w] = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    if (g == got.end() && w == want.end()) {
        return {};
    }
    return std::to_string(got.size()) + " records instead of " + std::to_string(want.size()) +
           ", first difference at record " + std::to_string(g - got.begin()) + ": " +
           (g == got.end() ? "<none>" : g->substr(0, 40)) + " instead of " +
           (w == want.end() ? "<none>" : w->substr(0, 40));
}

class LoadOnceTest : public ::testing::Test {
  protected:
    // One demo station for the suite; each test works on its own copy.
    static void SetUpTestSuite() {
        if (fs::exists(test::kProgram) && fs::exists(test::kDemoGenerator)) {
            s_station = new test::TempDir;
            test::RunProgram(test::kDemoGenerator, {"--date", "20261207", s_station->Folder()},
                             s_station->Folder() + "generator.out");
        }
    }
    static void TearDownTestSuite() {
        delete s_station;
        s_station = nullptr;
    }

    void SetUp() override {
        if (s_station == nullptr) {
            GTEST_SKIP() << "the program or the generator is not built";
        }
        InitGeneralData(catalogue);
        fs::copy(s_station->Path(), root.Path(), fs::copy_options::recursive);
        // The settings name the folders of the suite's station: they are this copy's now.
        for (const char* ini : {"Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini",
                                "Serveur/Config/KS3_Systeme.ini", "Local/Config/KS3_Systeme.ini"}) {
            std::string text = test::TempDir::Read(root.Path() / ini);
            for (std::size_t at = text.find(s_station->Folder()); at != std::string::npos;
                 at = text.find(s_station->Folder(), at)) {
                text.replace(at, s_station->Folder().size(), root.Folder());
            }
            root.Write(ini, text);
        }
    }

    test::ProgramOutcome Run(const std::string& program, std::vector<std::string> args,
                             std::vector<std::string>* environment = nullptr) {
        return test::RunProgram(program, std::move(args), scratch.Folder() + "run.out",
                                environment);
    }
    test::ProgramOutcome Load(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--root", root.Folder(), "--load-once", "--at", kAt};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(test::kProgram, args);
    }

    std::vector<std::string> Records(const std::string& folder, int file) {
        test::TableReader table(engine, root.Folder() + folder + NomFichierBTR(catalogue, file, 0),
                                catalogue[static_cast<std::size_t>(file)].LongueurEnreg);
        EXPECT_TRUE(table.Opened()) << folder << " " << file;
        return table.Records();
    }
    std::vector<std::string> Window(const std::string& folder, int file) {
        std::vector<std::string> window;
        for (std::string& record : Records(folder, file)) {
            if (InWindow(record)) {
                window.push_back(std::move(record));
            }
        }
        return window;
    }
    std::map<int, std::vector<std::string>> LocalTables() {
        std::map<int, std::vector<std::string>> tables;
        for (const int file : kTables) {
            tables[file] = Records("Local/Data/", file);
        }
        return tables;
    }

    // The messages of the day's trace log, without their time and context prefix.
    std::vector<std::string> TraceMessages() const {
        const std::string log =
            test::TempDir::Read(root.Path() / "Quenvi/Histo_KS3_Diffuseur_Secours/20261207.Log");
        std::vector<std::string> messages;
        std::size_t start = 0;
        for (std::size_t end = log.find("\r\n"); end != std::string::npos;
             start = end + 2, end = log.find("\r\n", start)) {
            const std::string line = log.substr(start, end - start);
            if (line.starts_with("==:")) {
                continue;  // the header block
            }
            // "hh:mm:ss:mmm :", the slot, file and level fields, then five characters.
            std::size_t at = 12;
            for (int field = 0; field < 4; ++field) {
                at = line.find(':', at) + 1;
            }
            messages.push_back(line.substr(at + 5));
        }
        return messages;
    }

    static inline test::TempDir* s_station = nullptr;
    test::TempDir root;
    test::TempDir scratch;
    CatalogueTable catalogue;
    engine::RecordEngine engine;
};

TEST_F(LoadOnceTest, LoadBringsTheServersHoursSongsAndAdvertisingAndASecondChangesNothing) {
    // No display, and a platform a Qt application could not start on: the headless run makes
    // none.
    std::vector<std::string> environment{"QT_QPA_PLATFORM=xcb", "PATH=/usr/bin:/bin"};
    const test::ProgramOutcome first =
        Run(test::kProgram, {"--root", root.Folder(), "--load-once", "--at", kAt}, &environment);
    ASSERT_EQ(first.exitCode, kExitLoaded) << first.output;

    for (const int file : {35, 53, 27}) {
        const std::vector<std::string> server = Window("Serveur/Data/", file);
        EXPECT_FALSE(server.empty()) << file;
        EXPECT_EQ(Difference(Window("Local/Data/", file), server), "") << "table " << file;
    }
    // Every song the moved hours play, as the server holds it.
    std::set<std::string> played;
    for (const std::string& event : Window("Serveur/Data/", 35)) {
        if (event.substr(fields::fdat035::kElementType.position - 1, 3) == "Son") {
            played.insert(event.substr(fields::fdat035::kSongId.position - 1, 8));
        }
    }
    const auto byId = [this](const std::string& folder) {
        std::map<std::string, std::string> songs;
        for (std::string& song : Records(folder, 22)) {
            songs.emplace(song.substr(0, 8), std::move(song));
        }
        return songs;
    };
    const std::map<std::string, std::string> server = byId("Serveur/Data/");
    const std::map<std::string, std::string> local = byId("Local/Data/");
    EXPECT_GT(played.size(), 100U);
    for (const std::string& id : played) {
        ASSERT_TRUE(local.contains(id)) << id;
        EXPECT_TRUE(local.at(id) == server.at(id)) << id;
    }

    // The typical lines of a load, in this order.
    const std::vector<std::string> heads{"Load data. Data timing: ",
                                         "Load data: Start files copy",
                                         "Copy: ",
                                         "Load data: End files copy",
                                         "Load data: Start transfert records",
                                         "Open: ",
                                         "Load data: End transfert records",
                                         "Next loading data: "};
    std::size_t next = 0;
    for (const std::string& message : TraceMessages()) {
        if (next < heads.size() && message.starts_with(heads[next])) {
            ++next;
        }
    }
    EXPECT_EQ(next, heads.size()) << "missing from the trace: " << heads[std::min(next, 7UL)];

    const std::map<int, std::vector<std::string>> afterFirst = LocalTables();
    EXPECT_EQ(Load().exitCode, kExitLoaded);
    const std::map<int, std::vector<std::string>> afterSecond = LocalTables();
    for (const int file : kTables) {
        EXPECT_EQ(Difference(afterSecond.at(file), afterFirst.at(file)), "") << "table " << file;
    }
}

// A server of the suite's own record manager: every table the load copies is a genuine file
// holding what the table of ours held. The copy converts them, and the load gives the local
// station the same records.
TEST_F(LoadOnceTest, AServerOfGenuineFilesGivesTheSameStationAsTablesOfOurs) {
    ASSERT_EQ(Load().exitCode, kExitLoaded);
    std::map<int, std::vector<std::string>> fromTables = LocalTables();

    fs::remove_all(root.Path() / "Local/Data");
    fs::copy(s_station->Path() / "Local/Data", root.Path() / "Local/Data",
             fs::copy_options::recursive);
    for (const int file : kTables) {
        const std::vector<std::string> records = Records("Serveur/Data/", file);
        ASSERT_TRUE(
            test::WriteGenuineFile(root.Path() / "Serveur/Data" / NomFichierBTR(catalogue, file, 0),
                                   test::CatalogueShape(file), records))
            << file;
    }
    const test::ProgramOutcome outcome = Load();
    ASSERT_EQ(outcome.exitCode, kExitLoaded) << outcome.output;

    std::map<int, std::vector<std::string>> fromGenuine = LocalTables();
    for (const int file : kTables) {
        // Records of equal keys may come in another order: compare the records held.
        std::sort(fromTables[file].begin(), fromTables[file].end());
        std::sort(fromGenuine[file].begin(), fromGenuine[file].end());
        EXPECT_EQ(Difference(fromGenuine[file], fromTables[file]), "") << "table " << file;
    }
}

struct CauseCase {
    const char* name;
    std::function<void(const test::TempDir& root)> cause;
    std::vector<std::string> options;
    int exitCode;
    const char* output;  // a part of what the program says
};

class LoadCauseTest : public LoadOnceTest, public ::testing::WithParamInterface<CauseCase> {};

TEST_P(LoadCauseTest, GivesItsExitStatus) {
    const CauseCase& c = GetParam();
    if (c.cause) {
        c.cause(root);
    }
    const test::ProgramOutcome outcome = Load(c.options);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.output;
    EXPECT_THAT(outcome.output, HasSubstr(c.output));
}

INSTANTIATE_TEST_SUITE_P(
    Causes, LoadCauseTest,
    ::testing::Values(
        CauseCase{"ServerDataFolderMissing",
                  [](const auto& root) { fs::remove_all(root.Path() / "Serveur/Data"); },
                  {},
                  kExitFolderCheck,
                  "n'existe pas:"},
        CauseCase{"SchedulerSaving",
                  [](const auto& root) {
                      root.Write("Serveur/Config/KS3_Tools_Scheduler_Save.ini",
                                 "[Base_00_Station_01]\r\nFDAT_Saved=O\r\n");
                  },
                  {},
                  kExitPostponed,
                  ""},
        CauseCase{"DamagedTable",
                  [](const auto& root) {
                      root.Write("Serveur/Data/FDATA22.bt6", std::string(4096, '\x5A'));
                  },
                  {},
                  kExitErrors,
                  ""},
        CauseCase{"GenuineFileRefused",
                  [](const auto& root) {
                      root.Write("Serveur/Data/FDATA22.bt6", "FC" + std::string(4094, '\0'));
                  },
                  {},
                  kExitErrors,
                  ""},
        CauseCase{"WrongOption", nullptr, {"--verbose"}, kExitUsage, "Usage: diffuseur-secours"},
        CauseCase{"WrongTime", nullptr, {"--at", "7/12/2026"}, kExitUsage, "Usage:"},
        // No Windows-1252 name holds it: never turned into another folder.
        CauseCase{"RootOutsideWindows1252",
                  nullptr,
                  {"--root", "/tmp/\xF0\x9F\x8E\xB5"},
                  kExitUsage,
                  "Usage:"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace ks
