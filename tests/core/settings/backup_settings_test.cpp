#include "core/settings/backup_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/db/db_limits.h"
#include "core/settings/frequency_lines.h"
#include "platform/cp1252.h"
#include "settings_env.h"
#include "support/fake_form_window.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Pair;

class BackupSettingsTest : public ::testing::Test {
  protected:
    // The settings file written by hand, as an operator or an older version left it.
    void WriteSettings(const std::string& text) {
        env.WriteFile("Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini", text);
    }
    std::string Stored(const std::string& section, const std::string& key) {
        return env.ini.LectureIni(env.SettingsFile(), section, key, "<none>");
    }
    std::vector<std::string> StoredSection(const std::string& section) {
        std::int32_t count = 0;
        return env.ini.LectureIniListeDesClesDansUneSection(env.SettingsFile(), section, count);
    }
    std::string Folder(const std::string& name) {
        fs::create_directories(env.dir.Path() / name);
        return env.dir.Folder() + name + "/";
    }
    static std::vector<std::string> DefaultStationLines() {
        std::vector<std::string> lines;
        for (int n = 1; n <= 10; ++n) {
            lines.push_back(n < 10 ? "Station 0" + std::to_string(n) : "Station 10");
        }
        return lines;
    }

    test::SettingsEnv env;
    BackupSettings& settings = env.settings;
};

// --- loading and saving ----------------------------------------------------------------

TEST_F(BackupSettingsTest, HandWrittenFileLoadsAndSavesBackTheSameValues) {
    const std::string server = Folder("Serveur/Config");
    const std::string local = Folder("Local/Config");
    const std::string temp = Folder("Temporaire");
    const std::string text =
        "; settings of the backup broadcaster\r\n"
        "[Data]\r\n"
        "Frequency=5\r\n"
        "Last_Timing=07/12/2026 09:00:00\r\n"
        "[Folder]\r\n"
        "Source=" +
        server + "\r\n" + "Temp=" + local + "\r\n" + "Local=" + temp + "\r\n" +
        "[Station]\r\n"
        "Serveur=2\r\n"
        "Local=3\r\n"
        "CheckSecours02=1\r\n"
        "Serveur_2=4\r\n"
        "Local_2=9\r\n";
    WriteSettings(text);

    settings.InitSettings();
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 5);
    EXPECT_EQ(settings.ComboDataFrequence().Text(), "Toutes les 120 minutes");
    EXPECT_EQ(settings.TexteDossierData(kDossierConfigServeur), server);
    EXPECT_EQ(settings.TexteDossierData(kDossierConfigLocal), local);
    EXPECT_EQ(settings.TexteDossierData(kDossierTemporaire), temp);
    EXPECT_EQ(settings.ComboStation(kStationServeur).ListIndex(), 2);
    EXPECT_EQ(settings.ComboStation(kStationLocal).ListIndex(), 3);
    EXPECT_EQ(settings.ComboStation(kStationServeur2).ListIndex(), 4);
    EXPECT_EQ(settings.ComboStation(kStationLocal2).ListIndex(), 9);
    EXPECT_EQ(settings.CheckSecours02(), 1);
    EXPECT_TRUE(settings.CheckSecours02Enabled());
    EXPECT_FALSE(settings.Modified());
    EXPECT_EQ(env.view.values["timing0"], "07/12/2026 09:00:00");
    EXPECT_EQ(env.view.values["timing1"], "");

    settings.SaveSettings();
    EXPECT_EQ(test::TempDir::Read(env.SettingsFile()), text);
}

TEST_F(BackupSettingsTest, MissingFileGivesTheDefaults) {
    settings.InitSettings();
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 1);
    EXPECT_THAT(settings.ComboDataFrequence().Lines(), ElementsAreArray(kFrequencyLines));
    EXPECT_EQ(settings.TexteDossierData(kDossierConfigServeur), "");
    // A blank local configuration folder is the folder of the suite's configuration file.
    EXPECT_EQ(settings.TexteDossierData(kDossierConfigLocal), env.dir.Folder() + "Settings/");
    EXPECT_EQ(settings.TexteDossierData(kDossierTemporaire), "");
    for (int list = 0; list < kStationListCount; ++list) {
        EXPECT_EQ(settings.ComboStation(list).ListIndex(), 0) << "list " << list;
        EXPECT_THAT(settings.ComboStation(list).Lines(), ElementsAreArray(DefaultStationLines()));
    }
    EXPECT_EQ(settings.CheckSecours02(), 0);
    EXPECT_TRUE(settings.CheckSecours02Enabled());
    EXPECT_EQ(settings.TexteLogNbMaxLignes(), "10");
    EXPECT_FALSE(settings.Modified());
    EXPECT_EQ(env.view.values["timing0"], "");
    EXPECT_EQ(env.view.values["timing1"], "");
    EXPECT_FALSE(fs::exists(env.SettingsFile()));  // reading never creates the file
}

TEST_F(BackupSettingsTest, SaveWritesEveryKeyInItsOrderExceptTheLastLoadTime) {
    settings.InitSettings();
    settings.SaveSettings();
    EXPECT_THAT(StoredSection("Data"), ElementsAre("Frequency=1"));
    EXPECT_THAT(StoredSection("Folder"),
                ElementsAre("Source=", "Temp=" + env.dir.Folder() + "Settings/", "Local="));
    EXPECT_THAT(StoredSection("Station"), ElementsAre("Serveur=0", "Local=0", "CheckSecours02=0",
                                                      "Serveur_2=0", "Local_2=0"));
}

TEST_F(BackupSettingsTest, SaveLeavesTheLastLoadTimeToTheLoadCycle) {
    WriteSettings("[Data]\r\nLast_Timing=06/12/2026 22:30:00\r\n");
    settings.InitSettings();
    settings.SaveSettings();
    EXPECT_EQ(Stored("Data", "Last_Timing"), "06/12/2026 22:30:00");
}

TEST_F(BackupSettingsTest, FileInTheOldFolderIsMovedBeforeTheFirstRead) {
    env.WriteFile("Windows/KS_Diffuseurs_Secours.ini", "[Data]\r\nFrequency=6\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 6);
    EXPECT_TRUE(fs::exists(env.SettingsFile()));
}

// --- the period list -------------------------------------------------------------------

TEST_F(BackupSettingsTest, StoredPeriodThatNoLineHasGivesThirtyMinutes) {
    for (const char* stored : {"7", "-1", "99999", "-5"}) {
        WriteSettings(std::string("[Data]\r\nFrequency=") + stored + "\r\n");
        settings.InitSettings();
        EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 1) << stored;
    }
}

TEST_F(BackupSettingsTest, StoredPeriodIsReadAsALeadingNumber) {
    WriteSettings("[Data]\r\nFrequency=3 (60 min)\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 3);
    WriteSettings("[Data]\r\nFrequency=toutes\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 0);
}

TEST_F(BackupSettingsTest, ChoosingAPeriodTellsTheSchedulingAtOnce) {
    settings.InitSettings();
    std::vector<std::int32_t> seen;
    settings.SetOnFrequencyChanged(
        [&] { seen.push_back(settings.ComboDataFrequence().ListIndex()); });
    settings.SelectFrequence(6);
    settings.SelectFrequence(0);
    EXPECT_THAT(seen, ElementsAre(6, 0));
    EXPECT_TRUE(settings.Modified());
}

TEST_F(BackupSettingsTest, PeriodTheListCannotTakeChangesNothing) {
    settings.InitSettings();
    int calls = 0;
    settings.SetOnFrequencyChanged([&] { ++calls; });
    settings.SelectFrequence(7);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 1);
    EXPECT_FALSE(settings.Modified());
    EXPECT_TRUE(env.Reported("FrmSetup:ComboDataFrequence_Click"));
}

TEST_F(BackupSettingsTest, LoadingTheSettingsDoesNotCountAsAChoice) {
    int calls = 0;
    settings.SetOnFrequencyChanged([&] { ++calls; });
    WriteSettings("[Data]\r\nFrequency=4\r\n");
    settings.InitSettings();
    EXPECT_EQ(calls, 0);
}

// --- the station lists -----------------------------------------------------------------

TEST_F(BackupSettingsTest, StationLinesComeFromTheTwoSystemFiles) {
    const std::string server = Folder("Serveur/Config");
    const std::string local = Folder("Local/Config");
    env.WriteFile("Serveur/Config/KS3_Systeme.ini",
                  "[Base_01]\r\nDossier_Data=/srv/data/\r\n"
                  "[Base_01_Station_01]\r\nLib=Radio Nord\r\n"
                  "[base_01_station_02]\r\nlib=\"Fréquence Sud\"\r\n"_cp +
                      "[Base_01_Station_07]\r\nNom=sans Lib\r\n"
                      "[Base_01_Station_10]\r\nLib=  Dix  \r\n");
    env.WriteFile("Local/Config/KS3_Systeme.ini", "[Base_01_Station_03]\r\nLib=Secours\n");
    WriteSettings("[Folder]\r\nSource=" + server + "\r\nTemp=" + local + "\r\n");

    settings.InitSettings();
    std::vector<std::string> serverLines = DefaultStationLines();
    serverLines[0] = "Radio Nord";
    serverLines[1] = "Fréquence Sud"_cp;
    serverLines[9] = "Dix";
    std::vector<std::string> localLines = DefaultStationLines();
    localLines[2] = "Secours";
    EXPECT_THAT(settings.ComboStation(kStationServeur).Lines(), ElementsAreArray(serverLines));
    EXPECT_THAT(settings.ComboStation(kStationServeur2).Lines(), ElementsAreArray(serverLines));
    EXPECT_THAT(settings.ComboStation(kStationLocal).Lines(), ElementsAreArray(localLines));
    EXPECT_THAT(settings.ComboStation(kStationLocal2).Lines(), ElementsAreArray(localLines));
    EXPECT_EQ(settings.ComboStation(kStationServeur).Lines()[6], "Station 07");

    const auto messages = env.trace.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "KS3_Systeme Server File: " + server + "KS3_Systeme.ini"),
              messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "KS3_Systeme Local File: " + local + "KS3_Systeme.ini"),
              messages.end());
}

// The load reads the settings and addresses the database in the same code: both headers go
// into one file, and the lists offer exactly the stations the database layer can address.
TEST_F(BackupSettingsTest, StationListsOfferEveryStationTheDatabaseLayerAddresses) {
    settings.InitSettings();
    for (int list = 0; list < kStationListCount; ++list) {
        EXPECT_EQ(settings.ComboStation(list).ListCount(), kStationCount) << "list " << list;
    }
    EXPECT_EQ(kStationLines, kStationCount);
}

TEST_F(BackupSettingsTest, ReloadingReplacesTheStationLines) {
    const std::string server = Folder("Serveur");
    WriteSettings("[Folder]\r\nSource=" + server + "\r\n");
    settings.InitSettings();
    env.WriteFile("Serveur/KS3_Systeme.ini", "[Base_01_Station_01]\r\nLib=Nouvelle\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.ComboStation(kStationServeur).ListCount(), 10);
    EXPECT_EQ(settings.ComboStation(kStationServeur).Lines()[0], "Nouvelle");
}

TEST_F(BackupSettingsTest, StoredStationTheListCannotTakeLeavesItUnselectedAndSavesMinusOne) {
    WriteSettings("[Station]\r\nServeur=10\r\nLocal=-1\r\nServeur_2=9\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.ComboStation(kStationServeur).ListIndex(), -1);
    EXPECT_EQ(settings.ComboStation(kStationLocal).ListIndex(), -1);
    EXPECT_EQ(settings.ComboStation(kStationServeur2).ListIndex(), 9);
    EXPECT_TRUE(env.Reported("FrmSetup:InitSettings"));

    settings.SaveSettings();
    EXPECT_EQ(Stored("Station", "Serveur"), "-1");
    EXPECT_EQ(Stored("Station", "Local"), "-1");
    EXPECT_EQ(Stored("Station", "Serveur_2"), "9");
}

TEST_F(BackupSettingsTest, SecondSetSwitchKeepsItsValueWhenNotStored) {
    settings.InitSettings();
    settings.SetCheckSecours02(1);
    settings.InitSettings();
    EXPECT_EQ(settings.CheckSecours02(), 1);

    WriteSettings("[Station]\r\nCheckSecours02=0\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.CheckSecours02(), 0);

    WriteSettings("[Station]\r\nCheckSecours02=2\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.CheckSecours02(), 2);
    EXPECT_FALSE(env.Reported("FrmSetup:InitSettings"));

    // A value the box cannot take keeps the current one.
    WriteSettings("[Station]\r\nCheckSecours02=5\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.CheckSecours02(), 2);
    EXPECT_TRUE(env.Reported("FrmSetup:InitSettings"));
}

// --- folders ---------------------------------------------------------------------------

TEST_F(BackupSettingsTest, ConfiguredFoldersThatAreMissingAreCreatedAtLoad) {
    const std::string source = env.dir.Folder() + "Serveur/Config";  // no final "/"
    const std::string temp = env.dir.Folder() + "Echange/Copie/";
    WriteSettings("[Folder]\r\nSource=" + source + "\r\nLocal=" + temp + "\r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.TexteDossierData(kDossierConfigServeur), source + "/");
    EXPECT_TRUE(fs::is_directory(source));
    EXPECT_TRUE(fs::is_directory(temp));
    EXPECT_TRUE(fs::is_directory(env.dir.Folder() + "Settings"));
}

TEST_F(BackupSettingsTest, BlankFolderCreatesNothing) {
    WriteSettings("[Folder]\r\nSource=\r\nLocal=   \r\n");
    settings.InitSettings();
    EXPECT_EQ(settings.TexteDossierData(kDossierTemporaire), "");
    EXPECT_FALSE(fs::exists(env.dir.Path() / "Velmora"));
}

TEST_F(BackupSettingsTest, BrowsingReplacesTheFolderOrChangesNothingWhenCancelled) {
    settings.InitSettings();
    const std::string chosen = Folder("Choisi");
    env.dialogs.folderAnswer = env.dir.Folder() + "Choisi";
    settings.ParcourirDossier(kDossierTemporaire);
    EXPECT_EQ(settings.TexteDossierData(kDossierTemporaire), chosen);
    EXPECT_TRUE(settings.Modified());
    ASSERT_EQ(env.dialogs.folderRequests.size(), 1u);
    EXPECT_EQ(env.dialogs.folderRequests[0], "Sélectionnez un dossier: |"_cp);

    settings.SaveSettings();
    env.dialogs.folderAnswer.reset();
    settings.ParcourirDossier(kDossierTemporaire);
    EXPECT_EQ(settings.TexteDossierData(kDossierTemporaire), chosen);
    EXPECT_FALSE(settings.Modified());
    EXPECT_EQ(env.dialogs.folderRequests[1], "Sélectionnez un dossier: |"_cp + chosen);
}

// --- operator changes and the modified flag --------------------------------------------

TEST_F(BackupSettingsTest, EveryStoredFieldMarksTheSettingsModified) {
    const auto modifiedAfter = [&](const std::function<void()>& change) {
        settings.InitSettings();
        change();
        return settings.Modified();
    };
    EXPECT_TRUE(modifiedAfter([&] { settings.SetTexteDossierData(0, "/srv/"); }));
    EXPECT_TRUE(modifiedAfter([&] { settings.SelectStation(kStationLocal2, 4); }));
    EXPECT_TRUE(modifiedAfter([&] { settings.SetCheckSecours02(1); }));
    EXPECT_TRUE(modifiedAfter([&] { settings.SelectFrequence(2); }));
    EXPECT_FALSE(modifiedAfter([&] { settings.SetTexteLogNbMaxLignes("50"); }));
    EXPECT_EQ(settings.TexteLogNbMaxLignes(), "50");
    EXPECT_FALSE(modifiedAfter([&] { settings.SelectStation(4, 0); }));
    EXPECT_FALSE(modifiedAfter([&] { settings.SetTexteDossierData(3, "/x/"); }));
}

TEST_F(BackupSettingsTest, ChangesAreSavedAndReadBack) {
    settings.InitSettings();
    settings.SelectFrequence(6);
    settings.SetTexteDossierData(kDossierTemporaire, Folder("Copie"));
    settings.SelectStation(kStationServeur2, 7);
    settings.SetCheckSecours02(1);
    settings.SaveSettings();
    EXPECT_FALSE(settings.Modified());

    test::SettingsEnv next;
    fs::copy(env.dir.Path() / "Settings", next.dir.Path() / "Settings",
             fs::copy_options::recursive);
    next.settings.InitSettings();
    EXPECT_EQ(next.settings.ComboDataFrequence().ListIndex(), 6);
    EXPECT_EQ(next.settings.TexteDossierData(kDossierTemporaire), env.dir.Folder() + "Copie/");
    EXPECT_EQ(next.settings.ComboStation(kStationServeur2).ListIndex(), 7);
    EXPECT_EQ(next.settings.CheckSecours02(), 1);
}

TEST_F(BackupSettingsTest, SettingsThatCouldNotBeStoredStayModified) {
    settings.InitSettings();
    settings.SelectFrequence(4);
    // A folder where the settings file should be: nothing can be written there.
    fs::create_directories(env.SettingsFile());
    settings.SaveSettings();
    EXPECT_TRUE(settings.Modified());
}

// --- the options window's life ---------------------------------------------------------

TEST_F(BackupSettingsTest, LoadReadsTheSettingsPlacesTheWindowAndTurnsTheTraceFileOn) {
    WriteSettings("[Data]\r\nFrequency=2\r\n");
    env.WriteFile("Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours_Positions.ini",
                  "[FrmPos]\r\nFrmSetup_Left=1200\r\nFrmSetup_Top=900\r\n");
    test::FakeFormWindow window{"FrmSetup"};
    settings.Form_Load(&window);
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 2);
    EXPECT_THAT(window.moves, ElementsAre(Pair(1200, 900)));
    EXPECT_FALSE(settings.Modified());
    EXPECT_TRUE(env.state.TraceFichierActif);
}

TEST_F(BackupSettingsTest, LoadWithoutAWindowStillReadsTheSettings) {
    WriteSettings("[Data]\r\nFrequency=0\r\n");
    settings.Form_Load(nullptr);
    EXPECT_EQ(settings.ComboDataFrequence().ListIndex(), 0);
    EXPECT_TRUE(env.state.TraceFichierActif);
}

TEST_F(BackupSettingsTest, UnloadAsksToSaveChangesAndSavesOnYes) {
    test::FakeFormWindow window{"FrmSetup"};
    settings.SetCaption("Kestrel : Player de secours - 2026.1207.0915");
    settings.Form_Load(&window);
    settings.SelectFrequence(5);
    window.geometry.left = 3000;
    window.geometry.top = 1500;
    env.dialogs.answers.push_back(MsgAnswer::Yes);

    settings.Form_Unload(&window);
    ASSERT_EQ(env.dialogs.messages.size(), 1u);
    const auto& question = env.dialogs.messages[0];
    EXPECT_EQ(question.text, "Voulez-vous enregistrer les changements dans les options ?");
    EXPECT_EQ(question.title, "Kestrel : Player de secours - 2026.1207.0915");
    EXPECT_EQ(question.icon, MsgIcon::Question);
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_EQ(Stored("Data", "Frequency"), "5");
    EXPECT_EQ(env.ini.LectureIni(env.PositionsFile(), "FrmPos", "FrmSetup_Left", ""), "3000");
    EXPECT_EQ(env.flushes, 1);
    EXPECT_TRUE(env.flushedWhileFileOutputOn);
    EXPECT_FALSE(env.state.TraceFichierActif);
}

TEST_F(BackupSettingsTest, UnloadAnsweredNoDropsTheChanges) {
    settings.Form_Load(nullptr);
    settings.SelectFrequence(5);
    env.dialogs.answers.push_back(MsgAnswer::No);
    settings.Form_Unload(nullptr);
    EXPECT_EQ(env.dialogs.messages.size(), 1u);
    EXPECT_EQ(Stored("Data", "Frequency"), "<none>");
    EXPECT_EQ(env.flushes, 1);
    EXPECT_FALSE(env.state.TraceFichierActif);
}

TEST_F(BackupSettingsTest, UnloadWithoutChangesAsksNothing) {
    settings.Form_Load(nullptr);
    settings.SelectFrequence(5);
    settings.SaveSettings();
    settings.Form_Unload(nullptr);
    EXPECT_TRUE(env.dialogs.messages.empty());
    EXPECT_EQ(env.flushes, 1);
}

TEST_F(BackupSettingsTest, MaximisedWindowAtUnloadKeepsItsStoredPlace) {
    env.WriteFile("Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours_Positions.ini",
                  "[FrmPos]\r\nFrmSetup_Left=1200\r\nFrmSetup_Top=900\r\n");
    test::FakeFormWindow window{"FrmSetup"};
    settings.Form_Load(&window);
    window.state = WindowState::Maximised;
    window.geometry = {0, 0, 25600, 16200};
    settings.Form_Unload(&window);
    EXPECT_EQ(env.ini.LectureIni(env.PositionsFile(), "FrmPos", "FrmSetup_Left", ""), "1200");
}

}  // namespace
}  // namespace ks
