#include "core/sys/folder_finder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "platform/cp1252.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMenuAppPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KS3_Menu.exe";

class FolderFinderTest : public ::testing::Test {
  protected:
    FolderFinderTest() { errors.SetTrace(&trace); }

    bool IsDir(const std::string& folder) const { return fs::is_directory(folder); }

    test::TempDir dir;
    test::RecordingTrace trace;
    test::FakeEventPump pump;
    test::FakeDialogs dialogs;
    TraceState state;
    ErrorHandler errors{state, pump};
    FolderOps folderOps{trace, errors};
    Registry registry{errors, dir.Folder()};
    FolderFinder finder{errors, trace, folderOps, registry, dialogs, dir.Folder()};
};

TEST_F(FolderFinderTest, ExistingFolderIsFoundAsItIs) {
    fs::create_directories(dir.Path() / "Serveur" / "Config");
    std::string folder = dir.Folder() + "Serveur/Config/";
    std::string tried;
    EXPECT_TRUE(finder.FolderFound(folder, tried));
    EXPECT_EQ(folder, dir.Folder() + "Serveur/Config/");
    EXPECT_EQ(tried, folder + ",,");
}

TEST_F(FolderFinderTest, ExistingFolderIsFoundWhateverTheCaseOfItsName) {
    fs::create_directories(dir.Path() / "SERVEUR");
    std::string folder = dir.Folder() + "serveur/";
    std::string tried;
    EXPECT_TRUE(finder.FolderFound(folder, tried));
    EXPECT_EQ(folder, dir.Folder() + "serveur/");
}

TEST_F(FolderFinderTest, BlankFolderIsNotFoundAndNothingIsTried) {
    std::string folder = "   ";
    std::string tried;
    EXPECT_FALSE(finder.FolderFound(folder, tried));
    EXPECT_EQ(folder, "   ");
    EXPECT_EQ(tried, "");
    EXPECT_FALSE(IsDir(dir.Folder() + "Velmora"));
}

TEST_F(FolderFinderTest, MissingFolderBecomesTheSuiteDefaultFolderUnderTheProgramFolder) {
    std::string folder = dir.Folder() + "Absent/";
    std::string tried;
    EXPECT_TRUE(finder.FolderFound(folder, tried));
    const std::string suite = dir.Folder() + "Velmora/Kestrel/Config/";
    EXPECT_EQ(folder, suite);
    EXPECT_TRUE(IsDir(suite));
    EXPECT_FALSE(IsDir(dir.Folder() + "Absent"));
    EXPECT_EQ(tried, dir.Folder() + "Absent/,," + suite + ",,");
}

TEST_F(FolderFinderTest, MissingFolderBecomesTheConfigFolderOfTheRecordedMenuProgram) {
    const std::string install = dir.Folder() + "Kestrel3/";
    ASSERT_EQ(registry.Reg_SetValue(kHkeyLocalMachine, kMenuAppPath, "", install + "KS3_Menu.exe"),
              kRegOk);
    std::string folder = dir.Folder() + "Absent/";
    std::string tried;
    EXPECT_TRUE(finder.FolderFound(folder, tried));
    EXPECT_EQ(folder, install + "Config/");
    EXPECT_TRUE(IsDir(install + "Config"));
}

TEST_F(FolderFinderTest, RecordedValueThatDoesNotNameTheMenuProgramGivesTheDefault) {
    ASSERT_EQ(registry.Reg_SetValue(kHkeyLocalMachine, kMenuAppPath, "", "/opt/autre.exe"), kRegOk);
    EXPECT_EQ(finder.SuiteConfigFolder(), dir.Folder() + "Velmora/Kestrel/Config/");
}

TEST_F(FolderFinderTest, MissingNetworkFolderIsNotReplaced) {
    std::string folder = "//serveur-absent/partage/Config/";
    std::string tried;
    EXPECT_FALSE(finder.FolderFound(folder, tried));
    EXPECT_EQ(folder, "//serveur-absent/partage/Config/");
    EXPECT_FALSE(IsDir(dir.Folder() + "Velmora"));
}

TEST_F(FolderFinderTest, SuiteFolderThatCannotBeCreatedIsNotFound) {
    // A file where the suite's folder should be: nothing can be created below it.
    dir.Write("Velmora", "not a folder");
    std::string folder = dir.Folder() + "Absent/";
    std::string tried;
    EXPECT_FALSE(finder.FolderFound(folder, tried));
}

TEST_F(FolderFinderTest, SelectStartsAtTheCurrentFolderWithTheDefaultTitle) {
    fs::create_directories(dir.Path() / "Choisi");
    dialogs.folderAnswer = dir.Folder() + "Choisi/";
    EXPECT_EQ(finder.FolderSelect("/data/courant/", ""), dir.Folder() + "Choisi/");
    ASSERT_EQ(dialogs.folderRequests.size(), 1u);
    EXPECT_EQ(dialogs.folderRequests[0], "Sélectionnez un dossier: "_cp + "|/data/courant/");
}

TEST_F(FolderFinderTest, SelectKeepsAGivenTitle) {
    fs::create_directories(dir.Path() / "Choisi");
    dialogs.folderAnswer = dir.Folder() + "Choisi";
    finder.FolderSelect("", "Dossier Config (Serveur)");
    ASSERT_EQ(dialogs.folderRequests.size(), 1u);
    EXPECT_EQ(dialogs.folderRequests[0], "Dossier Config (Serveur)|");
}

TEST_F(FolderFinderTest, CancelledSelectionGivesAnEmptyResult) {
    dialogs.folderAnswer.reset();
    EXPECT_EQ(finder.FolderSelect(dir.Folder(), ""), "");
    EXPECT_FALSE(IsDir(dir.Folder() + "Velmora"));
}

TEST_F(FolderFinderTest, ChooserThatFailsIsReportedAndGivesAnEmptyResult) {
    struct BrokenChooser : test::FakeDialogs {
        std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override {
            throw std::runtime_error("no display");
        }
    } broken;
    FolderFinder failing{errors, trace, folderOps, registry, broken, dir.Folder()};
    EXPECT_EQ(failing.FolderSelect(dir.Folder(), ""), "");
    bool reported = false;
    for (const auto& line : trace.lines) {
        reported = reported || (line.incident &&
                                line.message.find("Lib_Systeme:FolderSelect") != std::string::npos);
    }
    EXPECT_TRUE(reported);
}

}  // namespace
}  // namespace ks
