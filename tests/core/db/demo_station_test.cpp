// The demo station generator (tools/demo), run as the README's demo command runs it, and its
// output read back through the record engine and the INI reader: a load must find its settings,
// its folders and table files, and a music schedule whose songs, artists and categories exist.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/db/catalogue.h"
#include "core/db/record_fields.h"
#include "core/sys/ini_file.h"
#include "demo_generator.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
namespace f = fields;

using test::kDemoGenerator;
using Outcome = test::GeneratorOutcome;

Outcome RunGenerator(std::vector<std::string> args, const test::TempDir& scratch) {
    return test::RunDemoGenerator(std::move(args), scratch);
}

using Table = test::TableReader;

std::string Field(const std::string& record, FieldRef field) {
    return record.substr(field.position - 1U, field.width);
}

std::string Trimmed(const std::string& text) {
    const auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string IniValue(const std::string& file, std::string_view section, std::string_view key) {
    return IniFile(test::TempDir::Read(file)).Value(section, key).value_or("<missing>");
}

class DemoStationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kDemoGenerator)) {
            GTEST_SKIP() << "the generator is not built: " << kDemoGenerator;
        }
        InitGeneralData(catalogue);
    }

    Outcome Generate(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = extra;
        args.push_back(root.Path().string());
        return RunGenerator(args, scratch);
    }

    std::string ServerData() const { return root.Folder() + "Serveur/Data/"; }
    std::string LocalData() const { return root.Folder() + "Local/Data/"; }

    // The table file `file` of station 1 in `folder`.
    std::unique_ptr<Table> Open(const std::string& folder, int file) {
        auto table =
            std::make_unique<Table>(engine, folder + NomFichierBTR(catalogue, file, 0),
                                    catalogue[static_cast<std::size_t>(file)].LongueurEnreg);
        EXPECT_TRUE(table->Opened()) << NomFichierBTR(catalogue, file, 0);
        return table;
    }

    test::TempDir root;
    test::TempDir scratch;
    CatalogueTable catalogue;
    engine::RecordEngine engine;
};

TEST_F(DemoStationTest, SettingsPointTheLoadAtTheDemoFolders) {
    const Outcome run = Generate({"--date", "20261207"});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    const std::string settings =
        root.Folder() + "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini";
    const std::string serverConfig = IniValue(settings, "Folder", "Source");
    const std::string localConfig = IniValue(settings, "Folder", "Temp");
    EXPECT_EQ(serverConfig, root.Folder() + "Serveur/Config/");
    EXPECT_EQ(localConfig, root.Folder() + "Local/Config/");
    EXPECT_EQ(IniValue(settings, "Folder", "Local"), root.Folder() + "Temporaire/");
    EXPECT_TRUE(fs::is_directory(root.Path() / "Temporaire"));
    EXPECT_EQ(IniValue(settings, "Station", "Serveur"), "0");
    EXPECT_EQ(IniValue(settings, "Station", "Local"), "0");
    EXPECT_EQ(IniValue(settings, "Station", "CheckSecours02"), "0");
    EXPECT_EQ(IniValue(settings, "Data", "Frequency"), "0");
    // A last load the day before: the program loads as soon as it starts.
    EXPECT_EQ(IniValue(settings, "Data", "Last_Timing"), "06/12/2026 00:00:00");

    EXPECT_EQ(IniValue(serverConfig + "KS3_Systeme.ini", "Base_01", "Dossier_Data"), ServerData());
    EXPECT_EQ(IniValue(localConfig + "KS3_Systeme.ini", "Base_01", "Dossier_Data"), LocalData());
    EXPECT_EQ(IniValue(serverConfig + "KS3_Systeme.ini", "Base_01_Station_01", "Lib"),
              "Kestrel FM");

    // Every table file of the catalogue, by the loader's names, on both sides.
    for (int file = 0; file < kFileCount; ++file) {
        if (catalogue[static_cast<std::size_t>(file)].LongueurEnreg == 0) {
            continue;
        }
        const std::string name = NomFichierBTR(catalogue, file, 0);
        EXPECT_TRUE(fs::is_regular_file(ServerData() + name)) << name;
        EXPECT_TRUE(fs::is_regular_file(LocalData() + name)) << name;
    }
}

TEST_F(DemoStationTest, ScheduleCoversTodayAndTheNextSevenDaysWithExistingSongs) {
    ASSERT_EQ(Generate({"--date", "20261207"}).exitCode, 0);
    auto schedule = Open(ServerData(), 35);
    auto songs = Open(ServerData(), 22);
    auto artists = Open(ServerData(), 20);
    auto categories = Open(ServerData(), 21);

    std::set<std::string> hours;
    std::set<std::string> songsPlayed;
    for (const std::string& event : schedule->Records()) {
        hours.insert(Field(event, f::fdat035::kKey0).substr(0, 10));
        if (Field(event, f::fdat035::kElementType) == "Son") {
            songsPlayed.insert(Field(event, f::fdat035::kSongId).substr(0, 8));
        }
    }
    // Five days of history, then today and the seven following days, every hour.
    EXPECT_EQ(hours.size(), 13U * 24U);
    EXPECT_EQ(*hours.begin(), "2026120200");
    EXPECT_TRUE(hours.contains("2026120700"));
    EXPECT_EQ(*hours.rbegin(), "2026121423");
    EXPECT_GT(songsPlayed.size(), 200U);

    std::map<std::string, std::string> songRecords;
    for (const std::string& song : songs->Records()) {
        songRecords[Field(song, f::fdat022::kSongId)] = song;
    }
    EXPECT_EQ(songRecords.size(), 300U);
    for (const std::string& id : songsPlayed) {
        ASSERT_TRUE(songRecords.contains(id)) << id;
        const std::string& song = songRecords[id];
        EXPECT_FALSE(Trimmed(Field(song, f::fdat022::kTitle)).empty()) << id;
        EXPECT_TRUE(artists->Has(Field(song, f::fdat022::kFirstArtist))) << id;
        const std::string second = Field(song, f::fdat022::kSecondArtist);
        if (!Trimmed(second).empty()) {
            EXPECT_TRUE(artists->Has(second)) << id;
        }
        EXPECT_TRUE(categories->Has("CATEG" + Field(song, f::fdat022::kCategory))) << id;
    }
}

TEST_F(DemoStationTest, AdvertisingAndPerSongTablesMatchTheLibrary) {
    ASSERT_EQ(Generate({"--date", "20261207"}).exitCode, 0);
    auto advertising = Open(ServerData(), 27);
    auto sounds = Open(ServerData(), 26);
    const auto breaks = advertising->Records();
    EXPECT_GT(breaks.size(), 13U * 24U * 2U * 2U - 1U);
    for (const std::string& spot : breaks) {
        EXPECT_TRUE(sounds->Has(Field(spot, f::fdat027::kSongId))) << spot.substr(0, 14);
    }

    // Each song has its stack, recorder, complementary key, cue point and information rows.
    auto stacks = Open(ServerData(), 24);
    auto keys = Open(ServerData(), 29);
    auto cues = Open(ServerData(), 31);
    auto info = Open(ServerData(), 32);
    EXPECT_TRUE(stacks->Has("10000001"));
    EXPECT_TRUE(sounds->Has("10000300"));
    EXPECT_TRUE(keys->Has("10000150", 2));
    EXPECT_EQ(cues->Records().size(), 3U * 300U);
    EXPECT_EQ(info->Records().size(), 2U * 300U);

    // The player's schedule mirrors the music schedule; the backup settings are there to copy.
    EXPECT_EQ(Open(ServerData(), 53)->Records().size(), Open(ServerData(), 35)->Records().size());
    EXPECT_FALSE(Open(ServerData(), 9)->Records().empty());
}

TEST_F(DemoStationTest, TextsAreWindows1252) {
    ASSERT_EQ(Generate({"--date", "20261207"}).exitCode, 0);
    auto categories = Open(ServerData(), 21);
    std::string chanson;
    for (const std::string& row : categories->Records()) {
        if (Field(row, f::fdat021::kKey0) == "CATEGCHANS") {
            chanson = Trimmed(Field(row, f::fdat021::kName));
        }
    }
    EXPECT_EQ(chanson,
              "Chanson fran\xE7"
              "aise");
    EXPECT_EQ(IniValue(root.Folder() + "Local/Config/KS3_Systeme.ini", "Base_01_Station_01", "Lib"),
              "Kestrel FM (secours)");
}

TEST_F(DemoStationTest, TheLocalStationHoldsOnlyHistoryForThePurge) {
    ASSERT_EQ(Generate({"--date", "20270301"}).exitCode, 0);
    std::set<std::string> days;
    for (const std::string& event : Open(LocalData(), 35)->Records()) {
        days.insert(Field(event, f::fdat035::kDate));
    }
    // Across the end of February: 24 February to 28 February 2027.
    EXPECT_EQ(days,
              (std::set<std::string>{"20270224", "20270225", "20270226", "20270227", "20270228"}));
    EXPECT_TRUE(Open(LocalData(), 22)->Records().empty());
    EXPECT_TRUE(Open(LocalData(), 0)->Records().empty());
}

TEST_F(DemoStationTest, ARerunRemakesTheServerAndKeepsTheLocalStation) {
    ASSERT_EQ(Generate({"--date", "20261207"}).exitCode, 0);
    const auto songsBefore = Open(ServerData(), 22)->Records();
    const auto scheduleBefore = Open(ServerData(), 35)->Records();

    // A song that a load brought to the backup machine and one added on the server.
    std::string extra = songsBefore.front();
    extra.replace(0, 8, "99999999");
    ASSERT_EQ(Open(ServerData(), 22)->Insert(extra), 0);
    ASSERT_EQ(Open(LocalData(), 22)->Insert(extra), 0);

    const Outcome rerun = Generate({"--date", "20261207"});
    ASSERT_EQ(rerun.exitCode, 0) << rerun.output;
    EXPECT_NE(rerun.output.find("0 table files made, 47 kept"), std::string::npos) << rerun.output;
    // Same seed, same day: the same server data, the added song gone.
    EXPECT_EQ(Open(ServerData(), 22)->Records(), songsBefore);
    EXPECT_EQ(Open(ServerData(), 35)->Records(), scheduleBefore);
    EXPECT_TRUE(Open(LocalData(), 22)->Has("99999999"));

    ASSERT_EQ(Generate({"--fresh", "--date", "20261207"}).exitCode, 0);
    EXPECT_FALSE(Open(LocalData(), 22)->Has("99999999"));
}

TEST_F(DemoStationTest, ALocalFileThatDoesNotOpenIsMadeAgain) {
    ASSERT_EQ(Generate({"--date", "20261207"}).exitCode, 0);
    const std::string broken = LocalData() + "FDATA35.bt6";
    {
        std::ofstream damaged(broken, std::ios::binary);
        damaged << "not a table file";
    }
    const Outcome rerun = Generate({"--date", "20261207"});
    ASSERT_EQ(rerun.exitCode, 0) << rerun.output;
    EXPECT_NE(rerun.output.find("1 table files made, 46 kept"), std::string::npos) << rerun.output;
    EXPECT_FALSE(Open(LocalData(), 35)->Records().empty());
}

TEST_F(DemoStationTest, CommandLineMistakesAreRefusedWithoutMakingAnything) {
    EXPECT_EQ(RunGenerator({}, scratch).exitCode, 2);
    EXPECT_EQ(RunGenerator({"--date", "20261301", root.Folder() + "a"}, scratch).exitCode, 2);
    EXPECT_EQ(RunGenerator({"--unknown", root.Folder() + "a"}, scratch).exitCode, 2);
    EXPECT_EQ(RunGenerator({"--size", "huge", root.Folder() + "a"}, scratch).exitCode, 2);
    EXPECT_EQ(RunGenerator({root.Folder() + "a", root.Folder() + "b"}, scratch).exitCode, 2);

    // A file where the folder should be, and a name the program would clean into another.
    const std::string file = root.Write("plain-file", "x");
    EXPECT_EQ(RunGenerator({file}, scratch).exitCode, 1);
    const Outcome comma = RunGenerator({root.Folder() + "demo,1"}, scratch);
    EXPECT_EQ(comma.exitCode, 1);
    EXPECT_NE(comma.output.find("cannot use"), std::string::npos) << comma.output;
    EXPECT_FALSE(fs::exists(root.Path() / "demo,1" / "Serveur"));
    EXPECT_FALSE(fs::exists(root.Path() / "a"));
}

}  // namespace
}  // namespace ks
