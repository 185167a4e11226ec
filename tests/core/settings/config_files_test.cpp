#include "core/settings/config_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/settings/config_folders.h"
#include "core/settings/ini_access.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "core/sys/system_info.h"
#include "platform/cp1252.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr std::string_view kThemeKey = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

TEST(ConfigFolders, StartUpFoldersHangOffTheProgramFolder) {
    const ConfigFolders folders = ConfigFolders::ForProgramFolder("/opt/kestrel");
    EXPECT_EQ(folders.DossierConfig, "/opt/kestrel/");
    EXPECT_EQ(folders.DossierSettings, "/opt/kestrel/Config/");
    EXPECT_EQ(folders.DossierLog, "/opt/kestrel/Quenvi/Histo_KS3_Diffuseur_Secours/");
    EXPECT_EQ(folders.DossierLangue, "/opt/kestrel/Settings/_Language/");
    EXPECT_EQ(ConfigFolders::ForProgramFolder("/opt/kestrel/").DossierConfig, "/opt/kestrel/");
}

TEST(ConfigFolders, ExecutableFolderIsTheFolderOfTheRunningProgram) {
    const std::string folder = ExecutableFolder();
    ASSERT_TRUE(folder.ends_with("/"));
    EXPECT_TRUE(fs::exists(folder + "test_core_settings")) << folder;
}

class ConfigFilesTest : public ::testing::Test {
  protected:
    ConfigFilesTest() {
        errors.SetTrace(&trace);
        config.SetCaption("Kestrel : Player de secours - 2026.1207.0915");
    }

    std::string ConfigFile() const { return folders.DossierConfig + "Settings/KS3_Config.ini"; }
    std::string OldSettings() const {
        return folders.DossierConfig + "Windows/KS_Diffuseurs_Secours.ini";
    }
    std::string NewSettings() const {
        return folders.DossierConfig + "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini";
    }
    void WriteFile(const std::string& file, const std::string& bytes) const {
        fs::create_directories(fs::path(file).parent_path());
        dir.Write(fs::relative(file, dir.Path()).string(), bytes);
    }
    void UseOsVersionCode(std::int32_t code) {
        config.SetOsVersionSource([code] { return code; });
    }

    test::TempDir dir;
    ConfigFolders folders = ConfigFolders::ForProgramFolder(dir.Folder());
    TraceState state;
    test::FakeEventPump pump;
    ErrorHandler errors{state, pump};
    test::RecordingTrace trace;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    SystemInfo system{errors, folders.DossierConfig};
    FileOps files{trace, errors, clock};
    FolderOps folderOps{trace, errors};
    IniAccess ini{errors, files, folderOps};
    Registry registry{errors, folders.DossierConfig};
    ConfigFiles config{errors, folders, system, files, folderOps, ini, registry, dialogs};
};

// --- DetermineDossierConfig -----------------------------------------------------------------

TEST_F(ConfigFilesTest, OnThisSystemTheConfigFileIsNamedAndNothingElseHappens) {
    EXPECT_EQ(config.DetermineDossierConfig(1), ConfigFile());
    EXPECT_EQ(system.OsVersionCode(), 10);              // asked for, as it was still undetermined
    EXPECT_FALSE(fs::exists(dir.Path() / "Settings"));  // no folder, no registry store
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

TEST_F(ConfigFilesTest, RecentSystemsNeverGetTheThemeAdvice) {
    for (const std::int32_t code : {6, 7, 8, 10, 11}) {
        UseOsVersionCode(code);
        EXPECT_EQ(config.DetermineDossierConfig(1), ConfigFile());
    }
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_FALSE(fs::exists(dir.Path() / "Settings"));
}

TEST_F(ConfigFilesTest, ClassicLookOnAnOlderSystemGetsTheAdviceOnce) {
    UseOsVersionCode(5);
    EXPECT_EQ(config.DetermineDossierConfig(1), ConfigFile());
    EXPECT_TRUE(fs::is_directory(dir.Path() / "Settings"));
    ASSERT_THAT(dialogs.messages, SizeIs(1));
    const auto& advice = dialogs.messages[0];
    EXPECT_EQ(advice.icon, MsgIcon::Information);
    EXPECT_EQ(advice.buttons, MsgButtons::Ok);
    EXPECT_EQ(advice.title, "Kestrel : Player de secours - 2026.1207.0915");
    EXPECT_EQ(advice.text,
              "Le poste utilise le style 'Windows standard'\r\n\r\n"
              "Pour une avoir une interface optimisée, nous vous conseillons d'utiliser un style "
              "'Windows XP'\r\n\r\n"
              "Pour faire le changement,  cliquez droit sur le bureau de windows et choisissez "
              "'Propriétés'"_cp);
    EXPECT_EQ(ini.LectureIni(ConfigFile(), "ThemeWindows", "Msg", ""), "1");

    config.DetermineDossierConfig(1);
    UseOsVersionCode(2000);
    config.DetermineDossierConfig(1);
    EXPECT_THAT(dialogs.messages, SizeIs(1));
}

TEST_F(ConfigFilesTest, ThemedLookOrAdviceAlreadyGivenShowsNothing) {
    UseOsVersionCode(2003);
    ASSERT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", "1"), kRegOk);
    config.DetermineDossierConfig(1);
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_EQ(ini.LectureIni(ConfigFile(), "ThemeWindows", "Msg", "missing"), "missing");

    ASSERT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", "0"), kRegOk);
    ASSERT_TRUE(ini.EcritureIni(ConfigFile(), "ThemeWindows", "Msg", "1"));
    config.DetermineDossierConfig(1);
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

// --- NomDossierSettings and NomFichierSettings ---------------------------------------------

TEST_F(ConfigFilesTest, SettingsFolderIsNamedAndCreated) {
    config.NomDossierSettings();
    EXPECT_EQ(folders.DossierSettings, folders.DossierConfig + "Settings/KS_Diffuseurs_Secours/");
    EXPECT_TRUE(fs::is_directory(folders.DossierSettings));
    EXPECT_FALSE(fs::exists(NewSettings()));  // nothing to move, nothing made up
}

TEST_F(ConfigFilesTest, OlderSettingsFileIsMovedOutOfTheWindowsFolder) {
    WriteFile(OldSettings(), "[Data]\r\nFrequency=45\r\n");
    config.NomDossierSettings();
    EXPECT_EQ(test::TempDir::Read(NewSettings()), "[Data]\r\nFrequency=45\r\n");
    EXPECT_FALSE(fs::exists(OldSettings()));
}

TEST_F(ConfigFilesTest, NothingMovesWhenBothFilesExist) {
    WriteFile(OldSettings(), "[Data]\r\nFrequency=45\r\n");
    WriteFile(NewSettings(), "[Data]\r\nFrequency=60\r\n");
    config.NomDossierSettings();
    EXPECT_EQ(test::TempDir::Read(NewSettings()), "[Data]\r\nFrequency=60\r\n");
    EXPECT_EQ(test::TempDir::Read(OldSettings()), "[Data]\r\nFrequency=45\r\n");
}

TEST_F(ConfigFilesTest, FailedCopyLeavesTheOlderFileInPlace) {
    WriteFile(OldSettings(), "[Data]\r\nFrequency=45\r\n");
    WriteFile(folders.DossierConfig + "Settings/KS_Diffuseurs_Secours", "a file, not a folder");
    config.NomDossierSettings();
    EXPECT_EQ(test::TempDir::Read(OldSettings()), "[Data]\r\nFrequency=45\r\n");
}

TEST_F(ConfigFilesTest, SettingsFileNamesAppendSuffixAndExtensionUnchanged) {
    config.NomDossierSettings();
    EXPECT_EQ(config.NomFichierSettings("", ".ini"), NewSettings());
    EXPECT_EQ(config.NomFichierSettings("_Positions", ".ini"),
              folders.DossierSettings + "KS_Diffuseurs_Secours_Positions.ini");
    EXPECT_EQ(config.NomFichierSettings(" x", ""),
              folders.DossierSettings + "KS_Diffuseurs_Secours x");
}

TEST_F(ConfigFilesTest, StartUpSettingsFolderIsUsedUntilTheFolderIsNamed) {
    EXPECT_EQ(config.NomFichierSettings("", ".ini"),
              folders.DossierConfig + "Config/KS_Diffuseurs_Secours.ini");
    folders.DossierSettings = "  ";
    EXPECT_EQ(config.NomFichierSettings("", ".ini"), NewSettings());
    EXPECT_TRUE(fs::is_directory(folders.DossierSettings));
}

}  // namespace
}  // namespace ks
